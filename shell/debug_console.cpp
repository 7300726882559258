#include "shell/debug_console.h"

#include <algorithm>

namespace varnel {

void DebugConsole::SetLevel(int level) {
  level = std::max(level, 0);
  if (level == m_level) return;
  m_level = level;
  if (onChange) onChange(nullptr);
}

bool DebugConsole::Add(int level, ColourRef colour, std::string text) {
  level = std::clamp(level, kMinDebugLevel, kMaxDebugLevel);
  if (m_entries.size() >= kCapacity) m_entries.pop_front();
  m_entries.push_back({level, colour, std::move(text)});
  const bool shown = IsShown(m_entries.back());
  if (shown && onChange) onChange(&m_entries.back());
  return shown;
}

std::vector<DebugEntry> DebugConsole::ShownEntries() const {
  std::vector<DebugEntry> out;
  for (const DebugEntry& e : m_entries)
    if (IsShown(e)) out.push_back(e);
  return out;
}

}  // namespace varnel

#pragma once
// The debug console's contents: every diagnostic carries a level 1 to 6 and a colour, and is
// shown while its level is not above the console's level (DebugLevel, or the menu メッセージレベル).
// Messages above the level are kept, so raising the level later shows them too.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/colour.h"

namespace varnel {

inline constexpr int kMinDebugLevel = 1;
inline constexpr int kMaxDebugLevel = 6;

struct DebugEntry {
  int level;
  ColourRef colour;
  std::string text;
};

class DebugConsole {
 public:
  // The oldest messages go once this many are kept, so a long session cannot fill memory.
  static constexpr size_t kCapacity = 10000;

  // Level 0 shows nothing; levels beyond 6 show everything.
  void SetLevel(int level);
  int Level() const { return m_level; }

  // Keeps the message; answers whether it is shown at the current level. Levels outside 1…6
  // are clamped into that range.
  bool Add(int level, ColourRef colour, std::string text);

  bool IsShown(const DebugEntry& entry) const { return entry.level <= m_level; }
  std::vector<DebugEntry> ShownEntries() const;
  const std::deque<DebugEntry>& Entries() const { return m_entries; }
  void Clear() { m_entries.clear(); }

  // Called for every message that is shown when it arrives, and with no entry (null) after
  // the level changes, when a view must rebuild from ShownEntries().
  std::function<void(const DebugEntry*)> onChange;

 private:
  int m_level = 0;
  std::deque<DebugEntry> m_entries;
};

}  // namespace varnel

#include "cli/progress_host.h"

#include <unistd.h>

#include <cerrno>

namespace varnel::cli {
namespace {

// Back to the start of the line and clear it (ANSI erase to end of line).
constexpr const char* kWipe = "\r\x1b[K";

}  // namespace

bool WantsProgressLine(std::span<const std::string> args, bool stderrIsTerminal) {
  if (!stderrIsTerminal) return false;
  for (const std::string& arg : args)
    if (arg == kQuietOption) return false;
  return true;
}

ProgressHost::ProgressHost(bool shown, int fd) : ConsoleHost("varnel-cli"), m_shown(shown), m_fd(fd) {}

ProgressHost::~ProgressHost() { Wipe(); }

void ProgressHost::SetStatusText(std::string_view text) {
  if (!m_shown || text == m_line) return;
  if (text.empty()) {
    Wipe();
    return;
  }
  m_line = text;
  Put(kWipe + std::string("varnel-cli: ") + m_line);
}

int ProgressHost::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  Wipe();
  return ConsoleHost::MessageBox(text, caption, style);
}

void ProgressHost::DebugMessage(int level, ColourRef colour, std::string_view text) {
  Wipe();
  ConsoleHost::DebugMessage(level, colour, text);
}

void ProgressHost::Wipe() {
  if (m_line.empty()) return;
  m_line.clear();
  Put(kWipe);
}

void ProgressHost::Put(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a closed terminal loses the line, never the work
    done += static_cast<size_t>(n);
  }
}

}  // namespace varnel::cli

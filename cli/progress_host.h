#pragma once
// The progress line of varnel-cli: long reads and writes tell their state on stderr, on one
// line that is rewritten in place and wiped when the work ends, when stderr is a terminal and
// --quiet is not given. Messages and diagnostics are printed as the console host prints them.

#include <span>
#include <string>

#include "platform/host.h"

namespace varnel::cli {

inline constexpr const char* kQuietOption = "--quiet";

// Whether a run shows the progress line: only on a terminal, and never with --quiet.
bool WantsProgressLine(std::span<const std::string> args, bool stderrIsTerminal);

class ProgressHost : public ConsoleHost {
 public:
  // fd: where the line goes (stderr in the tool). With shown false this is a ConsoleHost.
  ProgressHost(bool shown, int fd);
  ~ProgressHost() override;

  void SetStatusText(std::string_view text) override;
  int MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  void DebugMessage(int level, ColourRef colour, std::string_view text) override;

 private:
  void Wipe();
  void Put(const std::string& bytes);

  bool m_shown;
  int m_fd;
  std::string m_line;  // what the line shows now; empty when it is wiped
};

}  // namespace varnel::cli

#pragma once
// The one way core code talks to the user: message boxes with Japanese text, the status-bar
// text with its percentage gauge, the wait cursor and the debug console. The desktop program
// installs a Qt host, the command-line tool a stdout/stderr host, tests a RecordingHost.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/colour.h"

namespace varnel {

// Message box styles and answers keep the values of the Windows API.
enum MessageBoxStyle : uint32_t {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbAbortRetryIgnore = 0x2,
  kMbYesNoCancel = 0x3,
  kMbYesNo = 0x4,
  kMbRetryCancel = 0x5,
  kMbButtonMask = 0xF,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kMbIconMask = 0xF0,
};

enum MessageBoxAnswer : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdAbort = 3,
  kIdRetry = 4,
  kIdIgnore = 5,
  kIdYes = 6,
  kIdNo = 7,
};

// The answer of a box that nobody can see: its first button (OK, Abort, Yes, Retry).
int DefaultAnswer(uint32_t style);

class Host {
 public:
  virtual ~Host() = default;
  // Shows a message (UTF-8) and answers which button was chosen.
  virtual int MessageBox(std::string_view text, std::string_view caption, uint32_t style) = 0;
  // Status-bar text; an empty text clears it.
  virtual void SetStatusText(std::string_view text) = 0;
  // Gauge beside the status text: 0 to 100, or -1 to hide it.
  virtual void SetProgress(int percent) = 0;
  // A diagnostic message, level 1 to 6, in its colour.
  virtual void DebugMessage(int level, ColourRef colour, std::string_view text) = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
};

// The host of this process. Until one is installed it is a ConsoleHost writing to stderr.
Host& GetHost();
// Installs a host (not owned; null goes back to the default). Answers the previous one.
Host* SetHost(Host* host);

// Shows the wait cursor for a scope.
class WaitCursor {
 public:
  WaitCursor() { GetHost().BeginWaitCursor(); }
  ~WaitCursor() { GetHost().EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// The host of the command-line tool: message boxes print "PROGRAM: TEXT" on stderr and answer
// DefaultAnswer; status text and gauge are silent; debug messages up to the debug level
// print on stderr.
class ConsoleHost : public Host {
 public:
  explicit ConsoleHost(std::string programName = "varnel", int debugLevel = 0);
  int MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  void SetStatusText(std::string_view text) override;
  void SetProgress(int percent) override;
  void DebugMessage(int level, ColourRef colour, std::string_view text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void SetDebugLevel(int level) { m_debugLevel = level; }

 private:
  std::string m_programName;
  int m_debugLevel;
};

// For tests: remembers everything shown, answers message boxes from a queue.
class RecordingHost : public Host {
 public:
  struct Box {
    std::string text;
    std::string caption;
    uint32_t style;
  };
  struct Debug {
    int level;
    ColourRef colour;
    std::string text;
  };

  int MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  void SetStatusText(std::string_view text) override;
  void SetProgress(int percent) override;
  void DebugMessage(int level, ColourRef colour, std::string_view text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

  // The next message boxes answer these, in order; then DefaultAnswer.
  void QueueAnswer(int answer) { m_answers.push_back(answer); }

  std::vector<Box> boxes;
  std::vector<std::string> statusTexts;  // every text set, in order
  std::vector<int> progress;             // every gauge value set, in order
  std::vector<Debug> debugMessages;
  int waitCursorDepth = 0;
  int waitCursorMaxDepth = 0;

 private:
  std::deque<int> m_answers;
};

// Installs a host for a scope and puts the previous one back.
class ScopedHost {
 public:
  explicit ScopedHost(Host& host) : m_previous(SetHost(&host)) {}
  ~ScopedHost() { SetHost(m_previous); }
  ScopedHost(const ScopedHost&) = delete;
  ScopedHost& operator=(const ScopedHost&) = delete;

 private:
  Host* m_previous;
};

}  // namespace varnel

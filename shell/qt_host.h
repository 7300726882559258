#pragma once
// The desktop program's host: real message boxes, the main frame's status bar and gauge,
// the wait cursor, and the debug console.

#include <QPointer>
#include <QString>

#include "platform/host.h"

class QWidget;

namespace varnel {

class DebugConsole;
class CMainFrame;

inline constexpr const char* kAppTitle = "Varnel";

class QtHost : public Host {
 public:
  explicit QtHost(DebugConsole& console);

  void SetMainFrame(CMainFrame* frame);
  // VARNEL_DEBUG_ECHO=1 also prints every shown debug message on stderr (for scripts and
  // tests that watch a running program).
  void SetEcho(bool echo) { m_echo = echo; }

  int MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  void SetStatusText(std::string_view text) override;
  void SetProgress(int percent) override;
  void DebugMessage(int level, ColourRef colour, std::string_view text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

 private:
  DebugConsole& m_console;
  QPointer<CMainFrame> m_frame;
  bool m_echo = false;
};

}  // namespace varnel

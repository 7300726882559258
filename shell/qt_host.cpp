#include "shell/qt_host.h"

#include <QApplication>
#include <cstdio>

#include "shell/debug_console.h"
#include "shell/main_frame.h"
#include "qtcommon/qt_message_box.h"

namespace varnel {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

QtHost::QtHost(DebugConsole& console) : m_console(console) {}

void QtHost::SetMainFrame(CMainFrame* frame) { m_frame = frame; }

int QtHost::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  return ShowMessageBox(m_frame.data(), text, caption, style, QString(kAppTitle));
}

void QtHost::SetStatusText(std::string_view text) {
  if (m_frame) m_frame->SetStatusText(FromUtf8(text));
}

void QtHost::SetProgress(int percent) {
  if (m_frame) m_frame->SetProgress(percent);
}

void QtHost::DebugMessage(int level, ColourRef colour, std::string_view text) {
  const bool shown = m_console.Add(level, colour, std::string(text));
  if (shown && m_echo) {
    std::fprintf(stderr, "[%d] %.*s\n", level, int(text.size()), text.data());
    std::fflush(stderr);
  }
}

void QtHost::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtHost::EndWaitCursor() {
  if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

}  // namespace varnel

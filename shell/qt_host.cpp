#include "shell/qt_host.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "shell/debug_console.h"
#include "shell/main_frame.h"

namespace varnel {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QMessageBox::StandardButtons ButtonsFor(uint32_t style) {
  switch (style & kMbButtonMask) {
    case kMbOkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case kMbAbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case kMbYesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case kMbYesNo: return QMessageBox::Yes | QMessageBox::No;
    case kMbRetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconFor(uint32_t style) {
  switch (style & kMbIconMask) {
    case kMbIconError: return QMessageBox::Critical;
    case kMbIconQuestion: return QMessageBox::Question;
    case kMbIconWarning: return QMessageBox::Warning;
    case kMbIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int AnswerFor(int button, uint32_t style) {
  switch (button) {
    case QMessageBox::Ok: return kIdOk;
    case QMessageBox::Cancel: return kIdCancel;
    case QMessageBox::Abort: return kIdAbort;
    case QMessageBox::Retry: return kIdRetry;
    case QMessageBox::Ignore: return kIdIgnore;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default:
      // Closed with Escape or the title bar: the box's cancelling answer.
      switch (style & kMbButtonMask) {
        case kMbOk: return kIdOk;
        case kMbYesNo: return kIdNo;
        case kMbAbortRetryIgnore: return kIdAbort;
        default: return kIdCancel;
      }
  }
}

}  // namespace

QtHost::QtHost(DebugConsole& console) : m_console(console) {}

void QtHost::SetMainFrame(CMainFrame* frame) { m_frame = frame; }

int QtHost::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  QMessageBox box(IconFor(style), caption.empty() ? QString(kAppTitle) : FromUtf8(caption),
                  FromUtf8(text), ButtonsFor(style), m_frame.data());
  return AnswerFor(box.exec(), style);
}

void QtHost::SetStatusText(std::string_view text) {
  if (m_frame) m_frame->SetStatusText(FromUtf8(text));
}

void QtHost::SetProgress(int percent) {
  if (m_frame) m_frame->SetProgress(percent);
}

void QtHost::DebugMessage(int level, uint32_t colour, std::string_view text) {
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

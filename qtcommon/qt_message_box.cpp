#include "qtcommon/qt_message_box.h"

#include <QMessageBox>

#include "platform/host.h"

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

int ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, uint32_t style,
                   const QString& defaultCaption) {
  QMessageBox box(IconFor(style), caption.empty() ? defaultCaption : FromUtf8(caption), FromUtf8(text),
                  ButtonsFor(style), owner);
  return AnswerFor(box.exec(), style);
}

}  // namespace varnel

#include "iogate/dialog_host.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace varnel::iogate {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

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
      // Closed without a button: the box's cancelling answer.
      switch (style & kMbButtonMask) {
        case kMbOk: return kIdOk;
        case kMbYesNo: return kIdNo;
        case kMbAbortRetryIgnore: return kIdAbort;
        default: return kIdCancel;
      }
  }
}

}  // namespace

int DialogHost::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "Iogate: %.*s\n", static_cast<int>(text.size()), text.data());
    return DefaultAnswer(style);
  }
  QWidget* owner = QApplication::activeModalWidget();
  if (owner == nullptr) owner = QApplication::activeWindow();
  QMessageBox box(IconFor(style), caption.empty() ? QStringLiteral("Varnel") : FromUtf8(caption), FromUtf8(text),
                  ButtonsFor(style), owner);
  return AnswerFor(box.exec(), style);
}

}  // namespace varnel::iogate

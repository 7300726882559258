#include "iogate/dialog_host.h"

#include <QApplication>
#include <cstdio>

#include "qtcommon/qt_message_box.h"

namespace varnel::iogate {

int DialogHost::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "Iogate: %.*s\n", static_cast<int>(text.size()), text.data());
    return DefaultAnswer(style);
  }
  QWidget* owner = QApplication::activeModalWidget();
  if (owner == nullptr) owner = QApplication::activeWindow();
  return ShowMessageBox(owner, text, caption, style, QStringLiteral("Varnel"));
}

}  // namespace varnel::iogate

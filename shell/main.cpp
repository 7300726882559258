// varnel: the desktop program.

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "platform/profile.h"
#include "shell/varnel_app.h"

namespace {

// Menus, dialogs and messages are Japanese: prefer a CJK face so every glyph has one look.
void UseJapaneseFont(QApplication& app) {
  const QStringList families = QFontDatabase::families();
  for (const char* name : {"Noto Sans CJK JP", "Noto Sans JP", "IPAGothic"}) {
    if (families.contains(QString::fromUtf8(name))) {
      QFont font = app.font();
      font.setFamily(QString::fromUtf8(name));
      app.setFont(font);
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Varnel");
  QApplication::setApplicationVersion(VARNEL_VERSION);
  UseJapaneseFont(app);

  varnel::Profile& profile = varnel::AppProfile();
  varnel::CVarnelApp theApp(profile);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  switch (theApp.InitInstance(arguments)) {
    case varnel::CVarnelApp::StartResult::kHandedOver: return 0;
    case varnel::CVarnelApp::StartResult::kFailed: return 1;
    case varnel::CVarnelApp::StartResult::kRunning: break;
  }
  return app.exec();
}

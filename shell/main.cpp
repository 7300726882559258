// varnel: the desktop program.

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "core/blend.h"
#include "core/undo.h"
#include "platform/profile.h"
#include "qtcommon/selection_paste_guard.h"
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
  // Every tablet sample is a dab: a fast stroke must not have its pressure samples merged.
  QCoreApplication::setAttribute(Qt::AA_CompressTabletEvents, false);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Varnel");
  QApplication::setApplicationVersion(VARNEL_VERSION);
  UseJapaneseFont(app);
  varnel::InstallQtTranslations();
  varnel::GuardSelectionPaste(app);

  // Undo steps go to disk in the background for the whole run; the writer stops only after
  // every document (and with it every step) is gone.
  varnel::InitBlendTables();
  varnel::StartSpillWriter();
  int status = 0;
  {
    varnel::CVarnelApp theApp(varnel::AppProfile());
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    switch (theApp.InitInstance(arguments)) {
      case varnel::CVarnelApp::StartResult::kHandedOver: status = 0; break;
      case varnel::CVarnelApp::StartResult::kFailed: status = 1; break;
      case varnel::CVarnelApp::StartResult::kRunning: status = app.exec(); break;
    }
  }
  varnel::StopSpillWriter();
  varnel::ReleaseBlendTables();
  return status;
}

#pragma once
// What the tests of Ext/Huebox.so and of the program's host for it share: the program folder
// pointed elsewhere for a scope, and acting on the library's popup or dialog from inside the
// event loop the call under test runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <string>

namespace varnel::test {

// Sets VARNEL_HOME for a scope (empty: unset) and puts the old value back.
class ProgramFolderScope {
 public:
  explicit ProgramFolderScope(const std::string& folder) {
    if (const char* old = std::getenv("VARNEL_HOME")) {
      m_old = old;
      m_had = true;
    }
    if (folder.empty()) {
      unsetenv("VARNEL_HOME");
    } else {
      setenv("VARNEL_HOME", folder.c_str(), 1);
    }
  }
  ~ProgramFolderScope() {
    if (m_had) {
      setenv("VARNEL_HOME", m_old.c_str(), 1);
    } else {
      unsetenv("VARNEL_HOME");
    }
  }
  ProgramFolderScope(const ProgramFolderScope&) = delete;
  ProgramFolderScope& operator=(const ProgramFolderScope&) = delete;

 private:
  std::string m_old;
  bool m_had = false;
};

// Acts on the first window find answers, once it is there. A window a failed action leaves
// open is closed after a while, so the test ends with its failure instead of hanging.
inline void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  const QDeadlineTimer deadline(10000);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, deadline, find, act] {
    if (QWidget* window = find()) {
      timer->stop();
      timer->deleteLater();
      QPointer<QWidget> guarded(window);
      act(window);
      QTimer::singleShot(8000, [guarded] {
        if (guarded && guarded->isVisible()) {
          ADD_FAILURE() << "a window was left open";
          guarded->close();
        }
      });
    } else if (deadline.hasExpired()) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "the window did not appear";
    }
  });
  timer->start();
}

inline void WhenPopupShown(std::function<void(QWidget*)> act) {
  WhenShown([] { return QApplication::activePopupWidget(); }, std::move(act));
}

inline void WhenModalShown(std::function<void(QWidget*)> act) {
  WhenShown([] { return QApplication::activeModalWidget(); }, std::move(act));
}

}  // namespace varnel::test

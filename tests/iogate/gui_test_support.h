#pragma once
// Driving the gateway's dialogs with input events on the offscreen platform.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

namespace varnel::iogate::testing {

inline QLineEdit* FileNameEdit(QWidget& dialog) { return dialog.findChild<QLineEdit*>("fileNameEdit"); }
inline QComboBox* TypeCombo(QWidget& dialog) { return dialog.findChild<QComboBox*>("fileTypeCombo"); }

inline QStringList ComboTexts(QComboBox* combo) {
  QStringList texts;
  for (int i = 0; combo != nullptr && i < combo->count(); ++i) texts << combo->itemText(i);
  return texts;
}

// Puts a name into the name box as a user pasting it does: everything selected, Ctrl+V.
// (Typed character by character, a path would have the dialog select every folder on the way
// as it came to exist.) The completion list that may open takes Return for itself, so it is
// closed with Escape, as a user would. When the name matches a file, the dialog selects it and
// shows only its name.
inline void TypeName(QWidget& dialog, const std::string& text) {
  QLineEdit* edit = FileNameEdit(dialog);
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QApplication::clipboard()->setText(QString::fromStdString(text));
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  QTest::qWait(50);
  if (QCompleter* completer = edit->completer(); completer != nullptr && completer->popup()->isVisible()) {
    QTest::keyClick(completer->popup(), Qt::Key_Escape);
  }
}

// Types a name and presses Return, as a user choosing a file by name.
inline void TypeAndAccept(QWidget& dialog, const std::string& text) {
  TypeName(dialog, text);
  QTest::keyClick(FileNameEdit(dialog), Qt::Key_Return);
}

inline void PressEscape(QWidget& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }

// Opens a folder by typing its path into the name box and pressing Return, then waits until
// the dialog lists it.
inline void GoToFolder(QFileDialog& dialog, const std::string& folder) {
  TypeAndAccept(dialog, folder);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.directory().absolutePath() == QString::fromStdString(folder); }, 5000));
}

// Clicks a file of the folder shown, once the dialog has read the folder.
inline void ClickFile(QFileDialog& dialog, const QString& name) {
  auto* list = dialog.findChild<QListView*>("listView");
  ASSERT_NE(list, nullptr);
  QModelIndex found;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QAbstractItemModel* model = list->model();
        for (int row = 0; row < model->rowCount(list->rootIndex()); ++row) {
          const QModelIndex index = model->index(row, 0, list->rootIndex());
          if (index.data().toString() == name) {
            found = index;
            return true;
          }
        }
        return false;
      },
      5000))
      << name.toStdString();
  list->scrollTo(found);
  const QRect rect = list->visualRect(found);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

// Chooses a file type with the arrow keys on the type list.
inline void ChooseType(QFileDialog& dialog, int index) {
  QComboBox* combo = TypeCombo(dialog);
  ASSERT_NE(combo, nullptr);
  combo->setFocus();
  while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
  while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
}

// A test that failed half-way leaves its dialog open: close it after a while, so that the
// test ends with its failure instead of hanging.
inline void CloseIfStillOpen(QWidget* window, int milliseconds = 8000) {
  QPointer<QWidget> guarded(window);
  QTimer::singleShot(milliseconds, [guarded] {
    if (guarded && guarded->isVisible()) {
      ADD_FAILURE() << guarded->objectName().toStdString() << " was left open";
      guarded->close();
    }
  });
}

// Acts on the next modal window that matches, from inside whatever modal loop is running.
inline void WhenModal(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  const QDeadlineTimer deadline(10000);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, deadline, match, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && match(modal)) {
      timer->stop();
      timer->deleteLater();
      act(modal);
      CloseIfStillOpen(modal);
    } else if (deadline.hasExpired()) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "no such modal window appeared";
      if (modal != nullptr) modal->close();
    }
  });
  timer->start();
}

}  // namespace varnel::iogate::testing

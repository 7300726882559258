// Single-instance mode with real processes of the desktop program.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <fstream>

#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::TempFolder;

const QString kProgram = QStringLiteral(VARNEL_PROGRAM_DIR "/varnel");

class Copy {
 public:
  Copy(const TempFolder& dir, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VARNEL_CONFIG", QString::fromStdString(dir.File("varnel.ini")));
    env.insert("VARNEL_DEBUG_ECHO", "1");
    // The lock and the socket live in the temporary folder: each test gets its own.
    env.insert("TMPDIR", QString::fromStdString(dir.Path().string()));
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    m_process.start(kProgram, arguments);
    m_process.waitForStarted(10000);
  }
  ~Copy() {
    if (m_process.state() != QProcess::NotRunning) {
      m_process.kill();
      m_process.waitForFinished(5000);
    }
  }

  // Waits until the copy's stderr holds the text.
  bool WaitFor(const QString& text, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
      m_err += QString::fromUtf8(m_process.readAllStandardError());
      if (m_err.contains(text)) return true;
      if (m_process.state() == QProcess::NotRunning) {
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        return m_err.contains(text);
      }
      m_process.waitForReadyRead(100);
    }
    return false;
  }
  bool Finishes(int ms) { return m_process.waitForFinished(ms); }
  bool Running() { return m_process.state() != QProcess::NotRunning; }
  int ExitCode() const { return m_process.exitCode(); }
  QString Err() {
    m_err += QString::fromUtf8(m_process.readAllStandardError());
    return m_err;
  }

 private:
  QProcess m_process;
  QString m_err;
};

void WriteSettings(const TempFolder& dir, int mutex) {
  std::ofstream(dir.File("varnel.ini")) << "[Settings]\nMUTEX=" << mutex << "\nDebugLevel=5\n";
  std::ofstream(dir.File("drawing.vlb")) << "picture";
}

TEST(SingleInstance, WithMutexASecondStartHandsItsFileToTheFirstAndExitsWithoutAWindow) {
  TempFolder dir;
  WriteSettings(dir, 1);
  Copy first(dir, {});
  ASSERT_TRUE(first.WaitFor("初期化終了")) << first.Err().toStdString();
  // A relative path is handed over as the absolute path it names.
  Copy second(dir, {"drawing.vlb"});
  ASSERT_TRUE(second.Finishes(15000));
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_FALSE(second.Err().contains("初期化終了")) << "the second copy finished start-up";
  const QString expected = QString::fromStdString(dir.File("drawing.vlb"));
  EXPECT_TRUE(first.WaitFor("受け取ったファイル: " + expected)) << first.Err().toStdString();
  EXPECT_TRUE(first.Running());
}

TEST(SingleInstance, WithMutexASecondStartWithoutAFileBringsTheFirstForwardAndExits) {
  TempFolder dir;
  WriteSettings(dir, 1);
  Copy first(dir, {});
  ASSERT_TRUE(first.WaitFor("初期化終了"));
  Copy second(dir, {});
  ASSERT_TRUE(second.Finishes(15000));
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_FALSE(second.Err().contains("初期化終了")) << "the second copy finished start-up";
  EXPECT_TRUE(first.WaitFor("二重起動: ウィンドウを前面に表示")) << first.Err().toStdString();
  EXPECT_TRUE(first.Running());
}

TEST(SingleInstance, WithoutMutexEveryStartKeepsItsOwnWindowAndItsOwnFile) {
  TempFolder dir;
  WriteSettings(dir, 0);
  Copy first(dir, {});
  ASSERT_TRUE(first.WaitFor("初期化終了"));
  Copy second(dir, {"drawing.vlb"});
  // The second copy opens the file itself (and, as no reader knows it, says so and waits for
  // the user); it neither exits nor hands the file over.
  EXPECT_FALSE(second.Finishes(3000));
  EXPECT_TRUE(second.Running());
  EXPECT_FALSE(first.Err().contains("受け取ったファイル"));
  Copy third(dir, {});
  EXPECT_TRUE(third.WaitFor("初期化終了"));
}

TEST(SingleInstance, ACopyThatDiedLeavesNoLockBehindForTheNextStart) {
  TempFolder dir;
  WriteSettings(dir, 1);
  {
    Copy first(dir, {});
    ASSERT_TRUE(first.WaitFor("初期化終了"));
  }  // killed, no clean shutdown
  Copy next(dir, {});
  ASSERT_TRUE(next.WaitFor("初期化終了"));
  Copy second(dir, {"drawing.vlb"});
  ASSERT_TRUE(second.Finishes(15000));
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_TRUE(next.WaitFor("受け取ったファイル"));
}

}  // namespace
}  // namespace varnel

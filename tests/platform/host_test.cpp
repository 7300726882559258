#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "platform/host.h"
#include "platform_test_support.h"

namespace varnel {
namespace {

// Runs `body` with stderr sent to a file and answers what was written.
std::string CaptureStderr(const std::function<void()>& body) {
  test::TempFolder folder;
  std::string path = folder / "stderr.txt";
  std::fflush(stderr);
  int saved = dup(STDERR_FILENO);
  int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(file, STDERR_FILENO);
  close(file);
  body();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  return test::ReadFile(path);
}

TEST(Host, DefaultAnswerIsTheFirstButton) {
  struct Case {
    uint32_t style;
    int answer;
  } cases[] = {
      {kMbOk, kIdOk},
      {kMbOkCancel, kIdOk},
      {kMbAbortRetryIgnore, kIdAbort},
      {kMbYesNoCancel, kIdYes},
      {kMbYesNo, kIdYes},
      {kMbRetryCancel, kIdRetry},
      {kMbYesNo | kMbIconQuestion, kIdYes},
      {kMbRetryCancel | kMbIconWarning, kIdRetry},
  };
  for (const Case& c : cases) EXPECT_EQ(DefaultAnswer(c.style), c.answer) << c.style;
}

TEST(Host, SetHostInstallsAndAnswersThePreviousOne) {
  RecordingHost first;
  RecordingHost second;
  Host* original = SetHost(&first);
  EXPECT_EQ(&GetHost(), &first);
  EXPECT_EQ(SetHost(&second), &first);
  EXPECT_EQ(&GetHost(), &second);
  EXPECT_EQ(SetHost(original), &second);
}

TEST(Host, NullGoesBackToAConsoleHost) {
  RecordingHost recording;
  SetHost(&recording);
  SetHost(nullptr);
  EXPECT_NE(dynamic_cast<ConsoleHost*>(&GetHost()), nullptr);
}

TEST(Host, ScopedHostPutsThePreviousHostBack) {
  RecordingHost outer;
  RecordingHost inner;
  ScopedHost outerScope(outer);
  {
    ScopedHost innerScope(inner);
    GetHost().SetStatusText("inner");
  }
  GetHost().SetStatusText("outer");
  EXPECT_EQ(inner.statusTexts, std::vector<std::string>{"inner"});
  EXPECT_EQ(outer.statusTexts, std::vector<std::string>{"outer"});
}

TEST(RecordingHost, RecordsEverythingInOrder) {
  RecordingHost host;
  host.SetStatusText("読み込み中");
  host.SetStatusText("");
  host.SetProgress(0);
  host.SetProgress(50);
  host.SetProgress(-1);
  host.DebugMessage(3, ColourRef{0x0000FF}, "red");
  host.MessageBox("本文", "題名", kMbYesNo | kMbIconQuestion);

  EXPECT_EQ(host.statusTexts, (std::vector<std::string>{"読み込み中", ""}));
  EXPECT_EQ(host.progress, (std::vector<int>{0, 50, -1}));
  ASSERT_EQ(host.debugMessages.size(), 1u);
  EXPECT_EQ(host.debugMessages[0].level, 3);
  EXPECT_EQ(host.debugMessages[0].colour, ColourRef{0x0000FFu});
  EXPECT_EQ(host.debugMessages[0].text, "red");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "本文");
  EXPECT_EQ(host.boxes[0].caption, "題名");
  EXPECT_EQ(host.boxes[0].style, kMbYesNo | kMbIconQuestion);
}

TEST(RecordingHost, AnswersFromTheQueueThenDefaults) {
  RecordingHost host;
  host.QueueAnswer(kIdNo);
  host.QueueAnswer(kIdCancel);
  EXPECT_EQ(host.MessageBox("a", "", kMbYesNoCancel), kIdNo);
  EXPECT_EQ(host.MessageBox("b", "", kMbYesNoCancel), kIdCancel);
  EXPECT_EQ(host.MessageBox("c", "", kMbYesNoCancel), kIdYes);
  EXPECT_EQ(host.MessageBox("d", "", kMbAbortRetryIgnore), kIdAbort);
}

TEST(RecordingHost, WaitCursorDepthNeverGoesBelowZeroAndRemembersTheMaximum) {
  RecordingHost host;
  ScopedHost scope(host);
  {
    WaitCursor outer;
    {
      WaitCursor inner;
      EXPECT_EQ(host.waitCursorDepth, 2);
    }
    EXPECT_EQ(host.waitCursorDepth, 1);
  }
  EXPECT_EQ(host.waitCursorDepth, 0);
  host.EndWaitCursor();
  EXPECT_EQ(host.waitCursorDepth, 0);
  host.BeginWaitCursor();
  EXPECT_EQ(host.waitCursorDepth, 1);
  EXPECT_EQ(host.waitCursorMaxDepth, 2);
}

TEST(ConsoleHost, MessageBoxPrintsOneLineAndAnswersTheDefault) {
  ConsoleHost host("vcli");
  int answer = 0;
  std::string written = CaptureStderr([&] {
    answer = host.MessageBox("ファイルを保存できません。\r\n別の名前で保存してください。",
                             "Varnel", kMbRetryCancel | kMbIconError);
  });
  EXPECT_EQ(answer, kIdRetry);
  EXPECT_EQ(written, "vcli: ファイルを保存できません。 別の名前で保存してください。\n");
}

TEST(ConsoleHost, DebugMessagesUpToTheDebugLevelArePrinted) {
  ConsoleHost host("varnel", 2);
  std::string written = CaptureStderr([&] {
    host.DebugMessage(1, ColourRef{0}, "one");
    host.DebugMessage(2, ColourRef{0}, "two");
    host.DebugMessage(3, ColourRef{0}, "three");
    host.SetDebugLevel(0);
    host.DebugMessage(1, ColourRef{0}, "silenced");
    host.SetStatusText("status is silent");
    host.SetProgress(10);
  });
  EXPECT_EQ(written, "[1] one\n[2] two\n");
}

TEST(ConsoleHost, TheDefaultHostWritesToStderr) {
  SetHost(nullptr);
  std::string written = CaptureStderr([] { GetHost().MessageBox("hello", "", kMbOk); });
  EXPECT_EQ(written, "varnel: hello\n");
}

}  // namespace
}  // namespace varnel

// The program's recovery copies: what a crashed run left is offered at start and reopened as a
// modified picture without a file, and copies of this run come and go with the pictures.

#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <filesystem>

#include "shell/recovery_service.h"
#include "shell/varnel_doc.h"
#include "shell_fixture.h"

namespace varnel {
namespace {

ProcessIdentity DeadProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ProcessIdentity dead = ProcessIdentity::Of(child);
  waitpid(child, nullptr, 0);
  return dead;
}

class RecoveryServiceTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    const char* old = std::getenv("XDG_DATA_HOME");
    m_oldDataHome = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_DATA_HOME", m_dir.File("data").c_str(), 1);
    RecoveryService::askForTest = [this](const char* question, uint32_t) {
      m_asked.push_back(question);
      if (m_answers.empty()) return static_cast<int>(kIdNo);
      const int answer = m_answers.front();
      m_answers.erase(m_answers.begin());
      return answer;
    };
  }
  void TearDown() override {
    ShellTest::TearDown();
    RecoveryService::askForTest = nullptr;
    if (m_oldDataHome) setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
  }

  // A two-layer picture as a run that crashed left it.
  RecoveryStore LeaveCrashedCopy(const RecoveryInfo& info) {
    Canvas canvas;
    auto base = std::make_unique<Layer>();
    base->Create({5, 4});
    base->Row(1)[2] = 0x80102030;
    canvas.InitWithLayer(std::move(base));
    auto top = std::make_unique<Layer>();
    top->Create({2, 3});
    top->SetName("上");
    top->SetOffset(3, 1);
    top->SetBlendMode(BlendMode::kMultiply);
    canvas.AppendLayer(std::move(top), false);
    canvas.ComposeAll();
    RecoveryStore store(DefaultRecoveryFolder(), DeadProcess());
    EXPECT_TRUE(store.Write(1, *CanvasSnapshot::Take(canvas, {}), info));
    return store;
  }

  std::vector<CVarnelDoc*> Documents() {
    std::vector<CVarnelDoc*> docs;
    for (QMdiSubWindow* window : m_app->MainFrame()->MdiArea()->subWindowList())
      if (auto* frame = qobject_cast<CChildFrame*>(window)) docs.push_back(frame->GetActiveDocument());
    return docs;
  }

  void FinishCopies(RecoveryService& service) {
    QElapsedTimer clock;
    clock.start();
    while (service.IsCopying() && clock.elapsed() < 10000) QApplication::processEvents();
    service.WaitForWriter();
  }

  std::optional<std::string> m_oldDataHome;
  std::vector<int> m_answers;
  std::vector<std::string> m_asked;
};

TEST_F(RecoveryServiceTest, ReopensWhatACrashedRunLeftAsAModifiedPictureWithoutAFile) {
  m_answers = {kIdYes};
  const RecoveryStore crashed = LeaveCrashedCopy({"/pictures/絵.vlb", "絵.vlb", ""});
  Start();
  ASSERT_EQ(m_asked, std::vector<std::string>{kRecoveryQuestion});
  // The start's untouched blank picture makes way for the recovered one.
  QApplication::processEvents();
  const auto docs = Documents();
  ASSERT_EQ(docs.size(), 1u);
  CVarnelDoc* doc = docs.front();
  EXPECT_EQ(doc->Title(), QString("絵.vlb"));
  EXPECT_TRUE(doc->PathName().isEmpty());
  EXPECT_TRUE(doc->IsModified());
  const Canvas& canvas = doc->GetCanvas();
  ASSERT_EQ(canvas.LayerCount(), 2);
  EXPECT_EQ(canvas.GetLayer(0)->Row(1)[2], 0x80102030u);
  EXPECT_EQ(canvas.GetLayer(1)->Name(), "上");
  EXPECT_EQ(canvas.GetLayer(1)->OffsetX(), 3);
  EXPECT_EQ(canvas.GetLayer(1)->BlendMode(), BlendMode::kMultiply);
  // The crashed run's copy outlives the reopening, so that a second crash still finds the
  // picture, until this run has written its own copy.
  EXPECT_TRUE(std::filesystem::exists(crashed.PicturePath(1)));
  RecoveryService& service = *m_app->Recovery();
  service.AutosaveNow();
  FinishCopies(service);
  QApplication::processEvents();
  EXPECT_FALSE(std::filesystem::exists(crashed.PicturePath(1)));
  EXPECT_TRUE(std::filesystem::exists(service.Store().PicturePath(service.DocumentNumber(doc))));
  EXPECT_TRUE(service.Store().ListAbandoned().empty());
}

TEST_F(RecoveryServiceTest, AReopenedPictureClosedBeforeItsFirstCopyTakesTheCrashedCopyWithIt) {
  m_answers = {kIdYes};
  const RecoveryStore crashed = LeaveCrashedCopy({"", "Image2", ""});
  Start();
  QApplication::processEvents();
  ASSERT_TRUE(std::filesystem::exists(crashed.PicturePath(1)));
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdNo);  // the changes are not to be saved
  m_app->MainFrame()->MdiArea()->closeAllSubWindows();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(recorder.boxes.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(crashed.PicturePath(1)));
}

TEST_F(RecoveryServiceTest, CopiesNotReopenedAreDeletedOnlyWhenTheUserSaysSo) {
  struct Case {
    const char* name;
    std::vector<int> answers;
    bool kept;
  };
  const Case cases[] = {
      {"declined and kept", {kIdNo, kIdNo}, true},
      {"declined and deleted", {kIdNo, kIdYes}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_answers = c.answers;
    m_asked.clear();
    const RecoveryStore crashed = LeaveCrashedCopy({"", "Image4", ""});
    Start();
    EXPECT_EQ(m_asked, (std::vector<std::string>{kRecoveryQuestion, kRecoveryDiscardQuestion}));
    EXPECT_EQ(Documents().size(), 1u);
    EXPECT_EQ(std::filesystem::exists(crashed.PicturePath(1)), c.kept);
    EXPECT_EQ(std::filesystem::exists(crashed.InfoPath(1)), c.kept);
    m_app.reset();
    QApplication::processEvents();
    if (c.kept) RecoveryStore::Remove(crashed.ListAbandoned().front());
  }
}

TEST_F(RecoveryServiceTest, AsksNothingWhenNoRunCrashed) {
  Start();
  EXPECT_TRUE(m_asked.empty());
}

TEST_F(RecoveryServiceTest, CopiesModifiedPicturesAndRemovesThemOnSaveCloseAndCleanEnd) {
  Start({{"AUTOSAVEMINUTES", 0}});
  RecoveryService& service = *m_app->Recovery();
  CVarnelDoc* doc = Documents().front();
  // An unmodified picture has nothing to recover.
  service.AutosaveNow();
  FinishCopies(service);
  EXPECT_EQ(service.DocumentNumber(doc), 0u);

  doc->GetCanvas().GetLayer(0)->Row(0)[0] = 0xFF00FF00;
  doc->SetModifiedFlag(true);
  service.AutosaveNow();
  FinishCopies(service);
  const uint64_t number = service.DocumentNumber(doc);
  ASSERT_NE(number, 0u);
  const std::string copy = service.Store().PicturePath(number);
  LayerList layers;
  ASSERT_EQ(ReadAnyLayerFile(copy, layers), 0);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0]->Row(0)[0], 0xFF00FF00u);

  // Saved: the flag clears, and the copy goes.
  doc->SetModifiedFlag(false);
  service.RemoveCopiesOfSavedPictures();
  EXPECT_FALSE(std::filesystem::exists(copy));

  doc->SetModifiedFlag(true);
  service.AutosaveNow();
  FinishCopies(service);
  ASSERT_TRUE(std::filesystem::exists(copy));
  // Closed with its changes thrown away.
  doc->SetModifiedFlag(false);
  m_app->MainFrame()->ActiveChildFrame()->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(std::filesystem::exists(copy));

  m_app->OnFileNew()->SetModifiedFlag(true);
  service.AutosaveNow();
  FinishCopies(service);
  const std::string folder = service.Store().Folder();
  ASSERT_FALSE(std::filesystem::is_empty(folder));
  m_app.reset();
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
}  // namespace varnel

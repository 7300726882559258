// The document menus driven as a user drives them: menu actions and their shortcuts, with the
// file and number dialogs answered through their test hooks.

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QWheelEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QMessageBox>
#include <QMimeData>
#include <QApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QScrollBar>
#include <QSpinBox>
#include <QTreeWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "core/layer.h"
#include "core/paint_object.h"
#include "document/bitmap_file.h"
#include "document/layer_file.h"
#include "document/tool_state.h"
#include "core/region.h"
#include "platform/host.h"
#include "platform/program_folder.h"
#include "shell/brush_browser.h"
#include "shell/command_ids.h"
#include "shell/custom_brush_panel.h"
#include "shell/command_table.h"
#include "shell/document_commands.h"
#include "shell/file_dialogs.h"
#include "shell/layer_panel.h"
#include "shell/object_palette.h"
#include "settings/app_settings.h"
#include "tests/huebox/huebox_test_support.h"
#include "shell/tool_palette.h"
#include "shell/value_dialog.h"
#include "shell/varnel_doc.h"
#include "shell_fixture.h"

namespace varnel {
namespace {

class CommandTest : public ShellTest {
 protected:
  void TearDown() override {
    if (m_programFolderSet) unsetenv("VARNEL_HOME");
    SetFileDialogHookForTesting(nullptr);
    SetValueDialogHookForTesting(nullptr);
    ShellTest::TearDown();
  }

  CMainFrame& Frame() { return *m_app->MainFrame(); }
  CVarnelDoc& Doc() { return *ActiveView()->GetDocument(); }
  Canvas& ActiveCanvas() { return Doc().GetCanvas(); }

  // Triggers a menu command as a click on its menu item does.
  void Trigger(int id) {
    QAction* action = Frame().Command(id);
    ASSERT_NE(action, nullptr) << id;
    Frame().UpdateCommandStates();
    action->trigger();
    QApplication::processEvents();
  }

  // The file dialogs answer these paths in turn and remember what they were asked.
  void AnswerFileDialogs(std::vector<QString> answers) {
    m_fileAnswers = std::move(answers);
    SetFileDialogHookForTesting([this](const FileDialogRequest& request) -> std::optional<QString> {
      m_fileRequests.push_back(request);
      if (m_fileAnswers.empty()) return std::nullopt;
      QString answer = m_fileAnswers.front();
      m_fileAnswers.erase(m_fileAnswers.begin());
      return answer;
    });
  }

  void AnswerValueDialogs(std::optional<std::vector<int>> answer) {
    SetValueDialogHookForTesting([this, answer](const QString& title, const std::vector<ValueField>& fields) {
      m_valueTitles.push_back(title);
      m_valueFields = fields;
      return answer;
    });
  }

  QString TempPath(const char* name) { return QString::fromStdString(m_dir.File(name)); }

  // A program folder of the test's own (files the commands write there stay private).
  std::filesystem::path UseProgramFolder() {
    const std::filesystem::path home = m_dir.File("home");
    std::filesystem::create_directories(home);
    setenv("VARNEL_HOME", home.c_str(), 1);
    m_programFolderSet = true;
    return home;
  }
  bool m_programFolderSet = false;

  std::vector<QString> m_fileAnswers;
  std::vector<FileDialogRequest> m_fileRequests;
  std::vector<QString> m_valueTitles;
  std::vector<ValueField> m_valueFields;
};

// ---- the menus -------------------------------------------------------------------------------

struct MenuEntry {
  int id;
  const char* text;      // the label before the tab
  const char* shortcut;  // as Qt writes it, or empty
};

TEST_F(CommandTest, EveryCommandOfTheTableIsInTheMenusWithItsLabelAndShortcut) {
  Start();
  const MenuEntry entries[] = {
      {57643, "アンドゥ(&U)", "Ctrl+Z"},
      {57644, "リドゥ(&R)", "Ctrl+R"},
      {57603, "上書き保存(&S)", "Ctrl+S"},
      {57604, "名前を付けて保存(&A)...", ""},
      {32959, "クイックセーブ(&Q)", "Ctrl+W"},
      {32960, "クイックセーブディレクトリを空にする(&Q)", ""},
      {32891, "アンドゥバッファを空にする(&E)", ""},
      {32876, "レイヤ読み込み(&L)", ""},
      {32931, "アクティブなレイヤを保存(&S)", ""},
      {33097, "アクティブレイヤをクローンソースに(&A)", ""},
      {33141, "256色で保存", ""},
      {57635, "切り取り(&T)", "Ctrl+X"},
      {57634, "ｺﾋﾟｰ(&C)", "Ctrl+C"},
      {32940, "ビットマップとしてコピー(&B)", ""},
      {32982, "表示サーフェイスのコピー(&S)", ""},
      {32905, "全体を選択(&A)", "Ctrl+A"},
      {32939, "選択を解除(&E)", "Ctrl+Q"},
      {33018, "選択の反転(&R)", ""},
      {32902, "選択範囲をレイヤ化(&B)", ""},
      {32930, "アルファチャンネルを領域に変換(&S)", ""},
      {33062, "領域->アルファチャンネル変換", ""},
      {32976, "選択領域の膨張(&O)", ""},
      {32975, "選択領域の収縮(&X)", ""},
      {32983, "選択領域をぼかす(&G)", ""},
      {32862, "選択領域の保存(&W)", ""},
      {32861, "選択領域の読み込み(&L)", ""},
      {32802, "選択領域を塗りつぶし(&F)", ""},
      {33104, "なし", ""},
      {33103, "反転表示", ""},
      {33105, "黒", ""},
      {33106, "チェック", ""},
      {33107, "白", ""},
      {33108, "暗く", ""},
      {33109, "明るく", ""},
      {32946, "赤", ""},
      {32949, "アルファ(不透明度)", ""},
      {32951, "赤", ""},
      {32955, "アルファ", ""},
      {32938, "アルファチャンネルの統一(&A)", ""},
      {32829, "画像の任意回転(&R)", ""},
      {33073, "直線にあわせて回転(&P)", ""},
      {33037, "アクティブなレイヤのみに適用", ""},
      {33038, "すべてのレイヤに適用", ""},
      {33183, "右90度回転", ""},
      {33184, "左90度回転", ""},
      {33187, "上下反転", ""},
      {33186, "左右反転", ""},
      {33028, "キャンバスのサイズ変更(&C)", ""},
      {33070, "余白追加(&M)", ""},
      {32890, "色調補正(&C)", ""},
      {33064, "明度・コントラスト調整(&V)", ""},
      {33143, "トーンバランス(&T)", ""},
      {33083, "RGBA値操作(&R)", ""},
      {33031, "フィルタバッチ処理", ""},
      {33096, "Script(&S)", ""},
      {33086, "アクティブレイヤの複製(&P)", ""},
      {32911, "レイヤの削除&D)", ""},
      {33087, "アクティブレイヤを上へ(&U)", "Shift+Up"},
      {33088, "アクティブレイヤを下へ(&D)", "Shift+Down"},
      {33188, "新規レイヤ(&N)", "Ctrl+L"},
      {33098, "レイヤとして追加(&L)", "Ctrl+V"},
      {33092, "画像編集モード(&G)", ""},
      {33093, "マスク編集モード(&M)", ""},
      {33094, "領域をレイヤマスクに追加(&A)", ""},
      {32889, "画像情報(&I)", ""},
      {33210, "画像統計情報", ""},
      {33144, "パレット抽出(&P)", ""},
      {33041, "ツール状態の保存(&T)", ""},
      {33043, "ツール状態の読み込み(&N)", ""},
  };
  for (const MenuEntry& entry : entries) {
    SCOPED_TRACE(entry.id);
    QAction* action = Frame().Command(entry.id);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString::fromUtf8(entry.text));
    EXPECT_EQ(action->shortcut().toString(), QString::fromUtf8(entry.shortcut));
    EXPECT_EQ(action->data().toInt(), entry.id);
  }
  // The channel-to-layer commands carry their tool tips.
  EXPECT_EQ(Frame().Command(32942)->toolTip(), QString("赤色のみをレイヤ化"));
  EXPECT_EQ(Frame().Command(32945)->toolTip(), QString("アルファチャンネルをレイヤ化"));
}

TEST_F(CommandTest, EveryCommandsWorkHasArrivedSoNoneIsShownDisabledForIt) {
  Start();
  Frame().UpdateCommandStates();
  EXPECT_TRUE(Frame().ComingCommands().empty());
  EXPECT_TRUE(Frame().Command(33096)->isEnabled());
  EXPECT_TRUE(Frame().Command(cmd::kCanvasSize)->isEnabled());
}

TEST(CommandTable, EachIdHasOneRowAndEveryMenuIsClosed) {
  std::set<int> ids;
  int depth = 0;
  for (const CommandRow& row : CommandTable()) {
    if (row.kind == CommandRow::Kind::kCommand) {
      EXPECT_TRUE(ids.insert(row.id).second) << "twice: " << row.id;
    } else if (row.kind == CommandRow::Kind::kMenu) {
      ++depth;
    } else if (row.kind == CommandRow::Kind::kEnd) {
      ASSERT_GE(--depth, 0);
    }
  }
  EXPECT_EQ(depth, 0);
}

TEST(CommandTable, ButtonTextsAndShortcutsComeFromTheLabels) {
  struct Case {
    int id;
    const char* text;
    const char* shortcut;
  };
  for (const Case& c : {Case{cmd::kNewLayer, "新規レイヤ", "Ctrl+L"}, Case{cmd::kDeleteLayer, "レイヤの削除", ""},
                        Case{cmd::kLayerUp, "アクティブレイヤを上へ", "Shift+Up"},
                        Case{cmd::kFileOpen, "開く...", "Ctrl+O"}, Case{cmd::kRegionViewDarker, "暗く", ""}}) {
    EXPECT_EQ(CommandText(c.id), c.text) << c.id;
    EXPECT_EQ(LabelShortcut(FindCommand(c.id)->label), c.shortcut) << c.id;
  }
}

TEST_F(CommandTest, WithoutAPictureTheDocumentCommandsAreDisabled) {
  Start();
  Frame().MdiArea()->closeAllSubWindows();
  QApplication::processEvents();
  Frame().UpdateCommandStates();
  EXPECT_FALSE(Frame().Command(cmd::kNewLayer)->isEnabled());
  EXPECT_FALSE(Frame().Command(cmd::kFileSave)->isEnabled());
  EXPECT_TRUE(Frame().Command(cmd::kFileOpen)->isEnabled());
}

// ---- saving and opening ------------------------------------------------------------------------

TEST_F(CommandTest, SaveWithoutAPathAsksForANameAndTheNameBecomesTheDocumentsPath) {
  Start();
  const QString path = TempPath("picture.vlb");
  AnswerFileDialogs({path});
  Trigger(cmd::kFileSave);
  ASSERT_EQ(m_fileRequests.size(), 1u);
  EXPECT_FALSE(m_fileRequests[0].open);
  EXPECT_EQ(m_fileRequests[0].defaultExtension, QString("*.VLB"));
  EXPECT_EQ(m_fileRequests[0].filter, QString("Varnel layer format(*.vlb)| *.vlb;|24bit Bitmap File(*.bmp)| *.bmp;|"));
  EXPECT_TRUE(std::filesystem::exists(path.toStdString()));
  EXPECT_EQ(Doc().PathName(), path);
  EXPECT_EQ(Doc().Title(), QString("picture.vlb"));
  EXPECT_FALSE(Doc().IsModified());
  // A second save goes to that path without asking.
  Trigger(cmd::kFileSave);
  EXPECT_EQ(m_fileRequests.size(), 1u);
}

TEST_F(CommandTest, ACancelledSaveDialogWritesNothingAndKeepsTheDocumentModified) {
  Start();
  Doc().SetModifiedFlag(true);
  AnswerFileDialogs({});
  Trigger(cmd::kFileSaveAs);
  EXPECT_EQ(m_fileRequests.size(), 1u);
  EXPECT_TRUE(Doc().PathName().isEmpty());
  EXPECT_TRUE(Doc().IsModified());
}

TEST_F(CommandTest, SavingTwoLayersAsABitmapAsksTheFormatWarningAndNoWritesNothing) {
  Start();
  ActiveCanvas().AddLayer();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdNo);
  const QString path = TempPath("flat.bmp");
  AnswerFileDialogs({path});
  Trigger(cmd::kFileSaveAs);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "VLB形式以外ではレイヤ情報が失われます。よろしいですか？");
  EXPECT_FALSE(std::filesystem::exists(path.toStdString()));
  EXPECT_TRUE(Doc().PathName().isEmpty());
}

TEST_F(CommandTest, OpenThroughTheMenuShowsTheChosenFile) {
  Start();
  const QString path = TempPath("two.vlb");
  AnswerFileDialogs({path});
  ActiveCanvas().AddLayer();
  Trigger(cmd::kFileSaveAs);
  Trigger(cmd::kFileNew);  // the saved picture stays open behind
  AnswerFileDialogs({path});
  Trigger(cmd::kFileOpen);
  EXPECT_TRUE(m_fileRequests.back().open);
  // Already open, the file is not opened a second time: its window comes to the front.
  EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(ActiveCanvas().LayerCount(), 2);
  EXPECT_EQ(Doc().PathName(), path);
}

TEST_F(CommandTest, LoadingLayersAddsThemOnTopOfTheActivePicture) {
  Start();
  const QString path = TempPath("extra.vlb");
  AnswerFileDialogs({path});
  ActiveCanvas().AddLayer();
  Trigger(cmd::kFileSaveAs);  // two layers on disk
  AnswerFileDialogs({path});
  Trigger(cmd::kLoadLayers);
  EXPECT_EQ(ActiveCanvas().LayerCount(), 4);
  EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 1);
  EXPECT_TRUE(Doc().IsModified());
}

TEST_F(CommandTest, SavingIn256ColoursWritesAnEightBitBitmapThroughTheSystemDialog) {
  Start();
  const QString path = TempPath("few.bmp");
  AnswerFileDialogs({path});
  Trigger(cmd::kSave256Colours);
  ASSERT_EQ(m_fileRequests.size(), 1u);
  EXPECT_FALSE(m_fileRequests[0].useGateway);
  EXPECT_EQ(m_fileRequests[0].defaultExtension, QString("*.BMP"));
  EXPECT_EQ(m_fileRequests[0].filter, QString("Windows Bitmap(*.bmp)| *.bmp;||"));
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 1078u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[28], 8);  // bits per pixel
  EXPECT_EQ(bytes[10] | bytes[11] << 8, 1078);
}

TEST_F(CommandTest, ChangesThatLeaveNoUndoStepStillMarkThePictureChangedButNoOpsDoNot) {
  Start();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  QImage image(3, 2, QImage::Format_ARGB32);
  image.fill(Qt::red);
  struct Case {
    const char* name;
    std::function<void()> run;
    bool marks;
  } cases[] = {
      {"new layer", [&] { Trigger(cmd::kNewLayer); }, true},
      {"the top layer up", [&] { Trigger(cmd::kLayerUp); }, false},
      {"a layer down", [&] { Trigger(cmd::kLayerDown); }, true},
      {"duplicate", [&] { Trigger(cmd::kDuplicateLayer); }, true},
      {"delete, answered No", [&] { recorder.QueueAnswer(kIdNo); Trigger(cmd::kDeleteLayer); }, false},
      {"delete", [&] { recorder.QueueAnswer(kIdYes); Trigger(cmd::kDeleteLayer); }, true},
      {"canvas size", [&] { AnswerValueDialogs(std::vector<int>{120, 90}); Trigger(cmd::kCanvasSize); }, true},
      {"paste as layer", [&] { QApplication::clipboard()->setImage(image); Trigger(cmd::kPasteAsLayer); }, true},
  };
  for (const Case& c : cases) {
    Doc().SetModifiedFlag(false);
    const int32_t layers = ActiveCanvas().LayerCount();
    c.run();
    EXPECT_EQ(Doc().IsModified(), c.marks) << c.name << " (layers " << layers << " → " << ActiveCanvas().LayerCount() << ")";
  }
}

TEST_F(CommandTest, ClosingAModifiedPictureAsksAndCancelKeepsItOpen) {
  Start();
  Doc().SetModifiedFlag(true);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdCancel);
  Frame().MdiArea()->activeSubWindow()->close();
  QApplication::processEvents();
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_NE(recorder.boxes[0].text.find("への変更を保存しますか?"), std::string::npos);
  EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 1);
  recorder.QueueAnswer(kIdNo);
  Frame().MdiArea()->activeSubWindow()->close();
  QApplication::processEvents();
  EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 0);
}

TEST_F(CommandTest, QuittingAsksEveryModifiedPictureFirstAndCancelKeepsThemAllOpen) {
  Start();
  Doc().SetModifiedFlag(true);  // the first picture
  m_app->OnFileNew();           // a second, unmodified
  m_app->OnFileNew()->SetModifiedFlag(true);
  QApplication::processEvents();
  ASSERT_EQ(Frame().MdiArea()->subWindowList().size(), 3);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdNo);
  recorder.QueueAnswer(kIdCancel);
  Frame().close();
  QApplication::processEvents();
  EXPECT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 3);  // the unmodified one too
  EXPECT_TRUE(Frame().isVisible());
  // The picture answered No is asked again next time.
  recorder.QueueAnswer(kIdNo);
  recorder.QueueAnswer(kIdNo);
  Frame().close();
  QApplication::processEvents();
  EXPECT_EQ(recorder.boxes.size(), 4u);
  EXPECT_TRUE(Frame().MdiArea()->subWindowList().isEmpty());
}

TEST_F(CommandTest, AnsweringYesOnCloseSavesUnderTheChosenName) {
  Start();
  Doc().SetModifiedFlag(true);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdYes);
  const QString path = TempPath("kept.vlb");
  AnswerFileDialogs({path});
  Frame().MdiArea()->activeSubWindow()->close();
  QApplication::processEvents();
  EXPECT_TRUE(std::filesystem::exists(path.toStdString()));
  EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 0);
}

TEST_F(CommandTest, ToolStateSavedAndLoadedBringsTheBrushBack) {
  Start();
  BrushToolSettings& settings = ProgramBrushSettings();
  const BrushToolSettings before = settings;
  settings.minimumSize = 37;
  const QString path = TempPath("brush.vpo");
  AnswerFileDialogs({path});
  Trigger(cmd::kSaveToolState);
  ASSERT_TRUE(std::filesystem::exists(path.toStdString()));
  settings.minimumSize = 5;
  AnswerFileDialogs({path});
  Trigger(cmd::kLoadToolState);
  EXPECT_EQ(settings.minimumSize, 37);
  settings = before;
  RebuildProgramBrush();
}

TEST_F(CommandTest, TheSystemSaveDialogAsksBeforeANameTypedWithoutItsExtensionReplacesAFile) {
  Start();
  const std::string existing = m_dir.File("state.vpo");
  std::ofstream(existing) << "kept";
  bool asked = false;
  test::WhenModalShown([&](QWidget* window) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    // The question comes up inside the dialog's accepting; "いいえ" leaves the dialog open.
    test::WhenShown([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
                    [&](QWidget* question) {
                      asked = true;
                      QTest::keyClick(question, Qt::Key_Escape);
                    });
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(TempPath("state"));
    QTest::keyClick(name, Qt::Key_Return);
    if (dialog->isVisible()) dialog->reject();
  });
  Trigger(cmd::kSaveToolState);
  EXPECT_TRUE(asked);
  std::ifstream in(existing);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept");
}

TEST_F(CommandTest, TheNextSystemDialogOpensWhereTheLastFileWasChosen) {
  Start();
  test::WhenModalShown([&](QWidget* window) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(TempPath("kept"));
    QTest::keyClick(name, Qt::Key_Return);
  });
  Trigger(cmd::kSaveToolState);
  // The extension a name is given is in lower case, which is what is typed to open it again.
  ASSERT_TRUE(std::filesystem::exists(TempPath("kept.vpo").toStdString()));
  QString opened;
  test::WhenModalShown([&](QWidget* window) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    opened = dialog->directory().absolutePath();
    dialog->reject();
  });
  Trigger(cmd::kLoadToolState);
  EXPECT_EQ(opened, QFileInfo(TempPath("kept.vpo")).absolutePath());
}

TEST_F(CommandTest, AToolStateOfAToolThatIsNotTheBrushChangesNothing) {
  Start();
  BrushToolSettings& settings = ProgramBrushSettings();
  const BrushToolSettings before = settings;
  // What another tool saved: its own name on the first line, then its record.
  BrushToolState state(settings);
  const std::string path = TempPath("ruler.vpo").toStdString();
  ASSERT_EQ(SaveToolStateFile(path, "定規", state), 0);
  settings.minimumSize = 37;
  settings.kind = kBrushBlur;
  const BrushEngine* brush = ProgramBrush();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  AnswerFileDialogs({QString::fromStdString(path)});
  Trigger(cmd::kLoadToolState);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "サポートされていないオブジェクト形式です");
  EXPECT_EQ(settings.minimumSize, 37);
  EXPECT_EQ(settings.kind, kBrushBlur);
  EXPECT_EQ(ProgramBrush(), brush);  // not rebuilt
  settings = before;
  RebuildProgramBrush();
}

TEST_F(CommandTest, ObjectPaletteKeepsToolStatesAsEntriesAndGivesThemBack) {
  Start();
  BrushToolSettings& settings = ProgramBrushSettings();
  const BrushToolSettings before = settings;
  const std::string folder = m_dir.File("Object");
  ObjectPalette palette(*Frame().Commands(), *m_profile, folder);
  settings.minimumSize = 37;
  ASSERT_TRUE(palette.AddEntry("soft/brush"));  // a separator cannot take the entry elsewhere
  settings.minimumSize = 5;
  ASSERT_TRUE(palette.AddEntry("thin"));
  ASSERT_EQ(palette.Entries().size(), 2u);
  // The buttons for an entry wait until one is chosen.
  auto* apply = palette.findChild<QPushButton*>("ObjectApply");
  auto* list = palette.findChild<QListWidget*>("ObjectList");
  ASSERT_TRUE(apply && list);
  EXPECT_FALSE(apply->isEnabled());
  palette.show();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
  EXPECT_TRUE(apply->isEnabled());
  palette.hide();
  EXPECT_EQ(palette.Entries()[0].name, "soft_brush");
  EXPECT_EQ(palette.Entries()[0].toolName, kBrushToolName);
  palette.ApplyEntry(0);
  EXPECT_EQ(settings.minimumSize, 37);

  // Copied and pasted, an entry comes back under a name of its own.
  palette.CopyEntry(1);
  ASSERT_TRUE(palette.PasteEntry());
  ASSERT_EQ(palette.Entries().size(), 3u);
  EXPECT_EQ(palette.Entries()[2].name, "thin (2)");
  ASSERT_TRUE(palette.RenameEntry(2, "fine"));
  EXPECT_EQ(palette.Entries()[0].name, "fine");

  // Replacing and deleting an entry lose what it kept: each happens only on a yes.
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdNo);
  settings.minimumSize = 60;
  EXPECT_FALSE(palette.AddEntry("soft/brush"));
  recorder.QueueAnswer(kIdNo);
  EXPECT_FALSE(palette.DeleteEntry(0));
  ASSERT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(recorder.boxes[0].text, "「soft_brush」は既にあります。上書きしますか？");
  EXPECT_EQ(recorder.boxes[1].text, "「fine」を削除します。よろしいですか？");
  ASSERT_EQ(palette.Entries().size(), 3u);
  palette.ApplyEntry(1);
  EXPECT_EQ(settings.minimumSize, 37);
  recorder.QueueAnswer(kIdYes);
  settings.minimumSize = 60;
  EXPECT_TRUE(palette.AddEntry("soft/brush"));
  settings.minimumSize = 5;
  palette.ApplyEntry(1);
  EXPECT_EQ(settings.minimumSize, 60);
  recorder.QueueAnswer(kIdYes);
  EXPECT_TRUE(palette.DeleteEntry(0));
  EXPECT_EQ(palette.Entries().size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(folder + "/fine.vpo"));

  // A file that is no tool state is not an entry; foreign clipboard data is not pasted.
  std::ofstream(folder + "/junk.vpo") << "hello\n";
  palette.Reload();
  EXPECT_EQ(palette.Entries().size(), 2u);
  auto* data = new QMimeData;
  data->setData("application/x-CF_VN_OBJECT", "not a tool state");
  QGuiApplication::clipboard()->setMimeData(data);
  EXPECT_FALSE(palette.PasteEntry());
  settings = before;
  RebuildProgramBrush();
}

TEST_F(CommandTest, ExtractingThePaletteWritesAColourDefinitionFile) {
  Start();
  const QString path = TempPath("palette.cd");
  AnswerFileDialogs({path});
  Trigger(cmd::kExtractPalette);
  std::ifstream in(path.toStdString());
  std::string first;
  std::getline(in, first);
  // A white picture has the one colour white.
  EXPECT_EQ(first, "255 255 255");
}

// ---- undo ----------------------------------------------------------------------------------------

TEST_F(CommandTest, ClearingTheUndoBufferAsksAndOnlyOkEmptiesTheHistory) {
  Start();
  Layer* layer = ActiveCanvas().ActiveLayer();
  layer->BackupAll(false, true);
  ASSERT_EQ(layer->Undo().StepCount(), 1u);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdCancel);
  Trigger(cmd::kClearUndoBuffer);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "アンドゥバッファをクリアします。よろしいですか？");
  EXPECT_EQ(recorder.boxes[0].style & kMbButtonMask, static_cast<uint32_t>(kMbOkCancel));
  EXPECT_EQ(layer->Undo().StepCount(), 1u);
  recorder.QueueAnswer(kIdOk);
  Trigger(cmd::kClearUndoBuffer);
  EXPECT_EQ(layer->Undo().StepCount(), 0u);
}

TEST_F(CommandTest, ClearingTheUndoBufferEmptiesTheActiveLayersHistoryOnly) {
  Start();
  Layer* base = ActiveCanvas().ActiveLayer();
  Layer* other = ActiveCanvas().AddLayer();
  base->BackupAll(false, true);
  other->BackupAll(false, true);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdOk);
  Trigger(cmd::kClearUndoBuffer);
  EXPECT_EQ(base->Undo().StepCount(), 0u);
  EXPECT_EQ(other->Undo().StepCount(), 1u);
}

// ---- tools ---------------------------------------------------------------------------------------

TEST_F(CommandTest, DrawingAPointPutsOneDabOfTheBrushInTheMiddleAsOneStep) {
  Start();
  Layer* layer = ActiveCanvas().ActiveLayer();
  QAction* action = Frame().Command(cmd::kDrawPoint);
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->text(), QString("現在のブラシで点を描く"));
  Trigger(cmd::kDrawPoint);
  // The 2 × 2 brush at ((300 − 2) / 2, (300 − 2) / 2) = (149, 149) covers (148, 148)–(149, 149).
  uint32_t pixel = 0;
  ASSERT_EQ(layer->GetPixel(149, 149, &pixel), 1);
  EXPECT_EQ(pixel, 0xFF000000u);
  ASSERT_EQ(layer->GetPixel(148, 148, &pixel), 1);
  EXPECT_EQ(pixel, 0xFF000000u);
  ASSERT_EQ(layer->GetPixel(150, 150, &pixel), 1);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  EXPECT_EQ(layer->Undo().StepCount(), 1u);
  Trigger(cmd::kEditUndo);
  ASSERT_EQ(layer->GetPixel(149, 149, &pixel), 1);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
}

// ---- panels --------------------------------------------------------------------------------------

TEST_F(CommandTest, TheWheelOverThePanelsChangesOnlyAFocusedControl) {
  Start();
  auto* mode = Frame().ToolOptions()->findChild<QComboBox*>("ColourMaskMode");
  ASSERT_NE(mode, nullptr);
  mode->setCurrentIndex(1);
  auto wheel = [](QWidget* control) {
    const QPointF at(5, 5);
    QWheelEvent event(at, control->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(control, &event);
  };
  wheel(mode);
  EXPECT_EQ(mode->currentIndex(), 1);  // scrolling past it changes nothing
  // So too in a tool's panel the window took after the brush's.
  auto* size = Frame().ToolOptions()->findChild<QSpinBox*>("CurveSize");
  ASSERT_NE(size, nullptr);
  size->setValue(4);
  wheel(size);
  EXPECT_EQ(size->value(), 4);
  Frame().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
  mode->setFocus();
  ASSERT_TRUE(mode->hasFocus());
  wheel(mode);
  EXPECT_EQ(mode->currentIndex(), 2);
}

// ---- image ---------------------------------------------------------------------------------------

TEST_F(CommandTest, CanvasSizeDialogStartsFromTheSizeAndResizesTheCanvasAndTheView) {
  Start();
  AnswerValueDialogs(std::vector<int>{640, 480});
  Trigger(cmd::kCanvasSize);
  ASSERT_EQ(m_valueFields.size(), 2u);
  EXPECT_EQ(m_valueFields[0].value, 300);
  EXPECT_EQ(m_valueFields[1].value, 300);
  EXPECT_EQ(ActiveCanvas().GetSize().width, 640);
  EXPECT_EQ(ActiveCanvas().GetSize().height, 480);
  EXPECT_EQ(ActiveView()->sizeHint().width(), 640 + 2 * CVarnelView::kMargin + 2 * ActiveView()->frameWidth());
}

TEST_F(CommandTest, CancelledOrOutOfRangeSizesNeverReachTheCanvas) {
  Start();
  AnswerValueDialogs(std::nullopt);
  Trigger(cmd::kCanvasSize);
  EXPECT_EQ(ActiveCanvas().GetSize().width, 300);
  AnswerValueDialogs(std::vector<int>{0, -5});
  Trigger(cmd::kCanvasSize);
  EXPECT_EQ(ActiveCanvas().GetSize().width, 1);
  EXPECT_EQ(ActiveCanvas().GetSize().height, 1);
}

TEST_F(CommandTest, AddingAMarginAsANewLayerKeepsTheOldOne) {
  Start();
  AnswerValueDialogs(std::vector<int>{10, 20, 5, 0, 0});
  Trigger(cmd::kAddMargin);
  ASSERT_EQ(ActiveCanvas().LayerCount(), 2);
  const Layer* added = ActiveCanvas().GetLayer(1);
  EXPECT_EQ(added->Width(), 330);
  EXPECT_EQ(added->Height(), 305);
  EXPECT_EQ(added->OffsetX(), -10);
  EXPECT_EQ(added->OffsetY(), -5);
}

TEST_F(CommandTest, TheAreaOutsideTheSelectionSettingIsCheckedAndStored) {
  Start();
  for (int mode = 0; mode < 7; ++mode) {
    SCOPED_TRACE(mode);
    Trigger(kRegionViewCommands[mode]);
    EXPECT_EQ(m_profile->GetInt("Settings", "REGIONVIEWMODE", -1), mode);
    Frame().UpdateCommandStates();
    EXPECT_TRUE(Frame().Command(kRegionViewCommands[mode])->isChecked());
  }
}

// ---- layers --------------------------------------------------------------------------------------

TEST_F(CommandTest, LayerShortcutsAddAndMoveLayers) {
  Start();
  QWidget* view = ActiveView()->viewport();
  QTest::keyClick(view, Qt::Key_L, Qt::ControlModifier);
  ASSERT_EQ(ActiveCanvas().LayerCount(), 2);
  Layer* bottom = ActiveCanvas().GetLayer(0);
  EXPECT_EQ(ActiveCanvas().ActiveIndex(), 0);
  // Down moves the active layer toward the top of the stack (a higher index).
  QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(ActiveCanvas().GetLayer(1), bottom);
  EXPECT_EQ(ActiveCanvas().ActiveIndex(), 1);
  QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(ActiveCanvas().GetLayer(0), bottom);
  EXPECT_EQ(ActiveCanvas().ActiveIndex(), 0);
}

TEST_F(CommandTest, DeletingAsksAndKeepsTheBottomLayer) {
  Start();
  ActiveCanvas().AddLayer();
  ActiveCanvas().SetActiveLayer(1);
  Frame().Layers()->Refresh();  // the panel selects the layer made active
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdYes);
  Trigger(cmd::kDeleteLayer);
  EXPECT_EQ(recorder.boxes.at(0).text, "レイヤを削除します。よろしいですか？");
  EXPECT_EQ(ActiveCanvas().LayerCount(), 1);
}

TEST_F(CommandTest, MergingIntoANewDocumentOpensAWindowWithOneWhiteLayer) {
  Start();
  ActiveCanvas().AddLayer();
  Trigger(cmd::kMergeAll);
  ASSERT_EQ(Frame().MdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(ActiveCanvas().LayerCount(), 1);
  uint32_t pixel = 0;
  ASSERT_TRUE(ActiveCanvas().GetLayer(0)->GetPixel(10, 10, &pixel));
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  EXPECT_TRUE(Doc().IsModified());
}

// A tool that records what reaches it.
class RecordingTool : public PaintObject {
 public:
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override {
    keys.push_back({message, key, repeat, flags});
    return true;
  }
  struct Key {
    int32_t message, key, repeat;
    uint32_t flags;
  };
  std::vector<Key> keys;
};

TEST_F(CommandTest, KeysReachTheActiveToolUnchanged) {
  Start();
  auto tool = std::make_unique<RecordingTool>();
  RecordingTool* raw = tool.get();
  ActiveCanvas().SetTool(5, std::move(tool));
  ActiveCanvas().SelectTool(5);
  ActiveView()->setFocus();
  QTest::keyPress(ActiveView(), Qt::Key_X, Qt::ShiftModifier);
  QTest::keyRelease(ActiveView(), Qt::Key_X, Qt::ShiftModifier);
  // Shift itself goes down first, as the keyboard sends it.
  std::vector<RecordingTool::Key> x;
  for (const auto& key : raw->keys)
    if (key.key == Qt::Key_X) x.push_back(key);
  ASSERT_EQ(x.size(), 2u);
  EXPECT_EQ(x[0].message, kToolKeyDown);
  EXPECT_EQ(x[0].repeat, 1);
  EXPECT_EQ(x[0].flags, static_cast<uint32_t>(kToolShift));
  EXPECT_EQ(x[1].message, kToolKeyUp);
}

// ---- mask editing --------------------------------------------------------------------------------

TEST_F(CommandTest, PaintingInMaskEditModeHidesTheLayerWhereTheMaskIsBlack) {
  Start();
  Layer* top = ActiveCanvas().AddLayer();
  // An opaque red top layer over the white base.
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 300; ++x) top->SetPixel(x, y, 0xFFFF0000u);
  top->Undo().PushUndoStep(*top, true);  // painted, as a finished stroke leaves it
  ActiveCanvas().SetActiveLayer(1);
  Trigger(cmd::kMaskEditMode);
  ASSERT_NE(ActiveCanvas().MaskImage(), nullptr);
  EXPECT_TRUE(Frame().Command(cmd::kMaskEditMode)->isChecked());
  // A new mask starts white (all shown); black paint on its left half hides the layer there.
  ImageSurface* mask = ActiveCanvas().MaskImage();
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 150; ++x) mask->SetPixel(x, y, 0xFF000000u);
  Trigger(cmd::kImageEditMode);
  EXPECT_EQ(ActiveCanvas().MaskImage(), nullptr);
  ASSERT_EQ(top->Masks().Count(), 1);
  EXPECT_TRUE(top->Masks().IsEnabled(0));
  ASSERT_NE(top->Masks().EnabledRegion(0), nullptr);
  EXPECT_EQ(top->Masks().EnabledRegion(0)->At(200, 10), 255);
  EXPECT_EQ(top->Masks().EnabledRegion(0)->At(10, 10), 0);
  uint32_t left = 0, right = 0;
  ActiveCanvas().Composite().GetPixel(10, 10, &left);
  ActiveCanvas().Composite().GetPixel(200, 10, &right);
  EXPECT_EQ(left & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(right & 0xFFFFFF, 0xFF0000u);
  // Editing again starts from that mask.
  Trigger(cmd::kMaskEditMode);
  uint32_t grey = 0;
  ActiveCanvas().MaskImage()->GetPixel(10, 10, &grey);
  EXPECT_EQ(grey & 0xFFFFFF, 0u);
  ActiveCanvas().MaskImage()->GetPixel(200, 10, &grey);
  EXPECT_EQ(grey & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(CommandTest, AMaskThatWasOffIsOnOnceItHasBeenPainted) {
  Start();
  Layer* top = ActiveCanvas().AddLayer();
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 300; ++x) top->SetPixel(x, y, 0xFFFF0000u);
  top->Undo().PushUndoStep(*top, true);
  ActiveCanvas().SetActiveLayer(1);
  // A mask from a selection starts off, as masks read from a file do.
  Trigger(cmd::kSelectAll);
  Trigger(cmd::kSelectionToMask);
  ASSERT_EQ(top->Masks().Count(), 1);
  ASSERT_FALSE(top->Masks().IsEnabled(0));
  Trigger(cmd::kSelectNone);
  Trigger(cmd::kMaskEditMode);
  ImageSurface* mask = ActiveCanvas().MaskImage();
  ASSERT_NE(mask, nullptr);
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 150; ++x) mask->SetPixel(x, y, 0xFF000000u);
  Trigger(cmd::kImageEditMode);
  EXPECT_TRUE(top->Masks().IsEnabled(0));
  uint32_t left = 0, right = 0;
  ActiveCanvas().Composite().GetPixel(10, 10, &left);
  ActiveCanvas().Composite().GetPixel(200, 10, &right);
  EXPECT_EQ(left & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(right & 0xFFFFFF, 0xFF0000u);
}

TEST_F(CommandTest, SavingWhileAMaskIsPaintedKeepsTheMaskAndLeavesTheTintOutOfTheFile) {
  Start();
  Trigger(cmd::kMaskEditMode);
  ImageSurface* mask = ActiveCanvas().MaskImage();
  ASSERT_NE(mask, nullptr);
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 100; ++x) mask->SetPixel(x, y, 0xFF000000u);
  ActiveCanvas().ComposeAll();
  const QString path = TempPath("masked.bmp");
  AnswerFileDialogs({path});
  Trigger(cmd::kFileSaveAs);
  // Still painting the mask, which is now the layer's.
  ASSERT_NE(ActiveCanvas().MaskImage(), nullptr);
  EXPECT_EQ(ActiveCanvas().ActiveLayer()->Masks().Count(), 1);
  ImageSurface saved;
  std::string message;
  ASSERT_EQ(ReadBitmapFile(path.toStdString(), saved, message), 0);
  uint32_t pixel = 0;
  saved.GetPixel(150, 150, &pixel);
  EXPECT_EQ(pixel & 0xFFFFFF, 0xFFFFFFu);
  // The masked part of the only layer shows nothing over the white composite either.
  saved.GetPixel(50, 150, &pixel);
  EXPECT_EQ(pixel & 0xFFFFFF, 0xFFFFFFu);
}

// ---- the view commands ---------------------------------------------------------------------------

TEST_F(CommandTest, FitToWindowTogglesBetweenTheFittingZoomAndOne) {
  Start();
  AnswerValueDialogs(std::vector<int>{2000, 1000});
  Trigger(cmd::kCanvasSize);
  CVarnelView* view = ActiveView();
  Trigger(cmd::kFitToWindow);
  const QSize room = view->maximumViewportSize() - QSize(40, 40);
  EXPECT_DOUBLE_EQ(view->Zoom(), std::min(room.width() / 2000.0, room.height() / 1000.0));
  EXPECT_TRUE(view->IsFitToWindow());
  Trigger(cmd::kFitToWindow);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.0);
}

TEST_F(CommandTest, ScrollCommandsMoveBy50) {
  Start();
  AnswerValueDialogs(std::vector<int>{3000, 3000});
  Trigger(cmd::kCanvasSize);
  CVarnelView* view = ActiveView();
  Trigger(cmd::kScrollDown);
  Trigger(cmd::kScrollRight);
  Trigger(cmd::kScrollRight);
  EXPECT_EQ(view->verticalScrollBar()->value(), 50);
  EXPECT_EQ(view->horizontalScrollBar()->value(), 100);
  Trigger(cmd::kScrollLeft);
  Trigger(cmd::kScrollUp);
  EXPECT_EQ(view->verticalScrollBar()->value(), 0);
  EXPECT_EQ(view->horizontalScrollBar()->value(), 50);
}

TEST_F(CommandTest, TheBrushOutlineFollowsThePointerOnlyWhenSwitchedOn) {
  Start({{"BRUSHCURSORON", 1}});
  BrushToolSettings& settings = ProgramBrushSettings();
  const BrushToolSettings before = settings;
  settings.kind = kBrushNormal;  // a square outline
  settings.SetSize(21, 21);
  RebuildProgramBrush();
  Frame().resize(1200, 900);
  Frame().MdiArea()->activeSubWindow()->showMaximized();
  QApplication::processEvents();
  CVarnelView* view = ActiveView();
  const QPoint at(120, 120);
  ASSERT_GT(view->viewport()->width(), 150);
  ASSERT_GT(view->viewport()->height(), 150);
  QTest::mouseMove(view->viewport(), at);
  QApplication::processEvents();
  const QImage shot = view->viewport()->grab().toImage();
  // The square's left edge is 10 pixels left of the pointer, XOR-ed onto white: black.
  EXPECT_EQ(shot.pixel(at.x() - 10, at.y()) & 0xFFFFFF, 0u);
  EXPECT_EQ(shot.pixel(at.x(), at.y()) & 0xFFFFFF, 0xFFFFFFu);
  // Panning with the middle button keeps the hand while the pointer moves.
  QTest::mousePress(view->viewport(), Qt::MiddleButton, {}, at);
  QMouseEvent drag(QEvent::MouseMove, QPointF(at + QPoint(5, 5)), view->viewport()->mapToGlobal(QPointF(at + QPoint(5, 5))),
                   Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &drag);
  EXPECT_EQ(view->viewport()->cursor().shape(), Qt::ClosedHandCursor);
  QTest::mouseRelease(view->viewport(), Qt::MiddleButton, {}, at + QPoint(5, 5));
  settings = before;
  RebuildProgramBrush();
}


// ---- selections, channels and the clipboard --------------------------------------------------

TEST_F(CommandTest, SelectAllShowsTheOutlineAndTheOutsideModeShadesOnlyTheView) {
  Start({{"REGIONVIEWMODE", 2}});  // black outside
  AnswerValueDialogs(std::vector<int>{100, 100});
  Trigger(cmd::kCanvasSize);
  CVarnelView* view = ActiveView();
  QTest::keyClick(view->viewport(), Qt::Key_A, Qt::ControlModifier);
  const Region* selection = ActiveCanvas().Selection();
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(selection->Bounds().left, 0);
  EXPECT_EQ(selection->Bounds().right, 99);
  EXPECT_EQ(selection->At(99, 99), 255);
  QImage shot = view->viewport()->grab().toImage();
  const int m = CVarnelView::kMargin;
  // The outline runs along all four edges of the picture, the right and bottom ones too, dashed
  // black and white; inside, the picture is untouched.
  const auto along = [&shot](QPoint from, QPoint step) {
    std::set<QRgb> seen;
    for (int i = 0; i < 16; ++i) seen.insert(shot.pixel(from + i * step) & 0xFFFFFF);
    return seen;
  };
  const std::set<QRgb> dashed{0u, 0xFFFFFFu};
  EXPECT_EQ(along({m, m + 40}, {0, 1}), dashed);
  EXPECT_EQ(along({m + 99, m + 40}, {0, 1}), dashed);
  EXPECT_EQ(along({m + 40, m}, {1, 0}), dashed);
  EXPECT_EQ(along({m + 40, m + 99}, {1, 0}), dashed);
  EXPECT_EQ(shot.pixel(m + 50, m + 50) & 0xFFFFFF, 0xFFFFFFu);
  // Shrinking leaves the border pixels outside: they show black, and the composite stays white.
  Trigger(cmd::kShrinkSelection);
  shot = view->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixel(m, m + 50) & 0xFFFFFF, 0u);
  uint32_t composite = 0;
  ActiveCanvas().Composite().GetPixel(0, 50, &composite);
  EXPECT_EQ(composite & 0xFFFFFF, 0xFFFFFFu);
  // Undo brings the whole selection back, and with it the white border.
  Trigger(cmd::kEditUndo);
  ASSERT_NE(ActiveCanvas().Selection(), nullptr);
  EXPECT_EQ(ActiveCanvas().Selection()->At(0, 50), 255);
  shot = view->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixel(m + 1, m + 50) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(CommandTest, SelectionCommandsWaitForASelection) {
  Start();
  Frame().UpdateCommandStates();
  for (int id : {cmd::kInvertSelection, cmd::kGrowSelection, cmd::kShrinkSelection, cmd::kFeatherSelection,
                 cmd::kSaveSelection, cmd::kFillSelection, cmd::kRegionToAlpha, cmd::kSelectionToMask}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(Frame().Command(id)->isEnabled());
  }
  Trigger(cmd::kSelectAll);
  Frame().UpdateCommandStates();
  EXPECT_TRUE(Frame().Command(cmd::kSelectionToMask)->isEnabled());
  Trigger(cmd::kSelectNone);
  EXPECT_EQ(ActiveCanvas().Selection(), nullptr);
}

TEST_F(CommandTest, FillingTheSelectionUsesTheForegroundColour) {
  Start();
  Frame().Commands()->foregroundColour = [] { return ColourRef{0x00FF8040u}; };  // red 0x40, green 0x80, blue 0xFF
  auto region = std::make_unique<Region>();
  ASSERT_EQ(region->Create({10, 10, 19, 19}, 255), 0);
  ActiveCanvas().ReplaceSelection(std::move(region), true);
  Trigger(cmd::kFillSelection);
  uint32_t inside = 0, outside = 0;
  ActiveCanvas().ActiveLayer()->GetPixel(15, 15, &inside);
  ActiveCanvas().ActiveLayer()->GetPixel(25, 15, &outside);
  EXPECT_EQ(inside, 0xFF4080FFu);
  EXPECT_EQ(outside, 0xFFFFFFFFu);
  Trigger(cmd::kEditUndo);
  ActiveCanvas().ActiveLayer()->GetPixel(15, 15, &inside);
  EXPECT_EQ(inside, 0xFFFFFFFFu);
}

TEST_F(CommandTest, ChannelCommandsChangeOneChannelOfTheActiveLayer) {
  Start();
  Trigger(cmd::kClearRed + 1);  // green of white → 0
  uint32_t pixel = 0;
  ActiveCanvas().ActiveLayer()->GetPixel(3, 3, &pixel);
  EXPECT_EQ(pixel, 0xFFFF00FFu);
  Trigger(cmd::kInvertBlue);
  ActiveCanvas().ActiveLayer()->GetPixel(3, 3, &pixel);
  EXPECT_EQ(pixel, 0xFFFF0000u);
  AnswerValueDialogs(std::vector<int>{128});
  Trigger(cmd::kUnifyAlpha);
  ASSERT_EQ(m_valueFields.size(), 1u);
  EXPECT_EQ(m_valueFields[0].label, QString("アルファ値"));
  ActiveCanvas().ActiveLayer()->GetPixel(3, 3, &pixel);
  EXPECT_EQ(pixel, 0x80FF0000u);
  Trigger(cmd::kRedToLayer);
  ASSERT_EQ(ActiveCanvas().LayerCount(), 2);
}

TEST_F(CommandTest, CopyThenPasteAddsTheSelectedPartAsALayer) {
  UseProgramFolder();  // the copy goes through a file there, which a test running alongside may write too
  Start();
  Layer* base = ActiveCanvas().ActiveLayer();
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 300; ++x) base->SetPixel(x, y, 0xFF000000u | uint32_t(x) << 8 | uint32_t(y));
  base->Undo().PushUndoStep(*base, true);
  auto region = std::make_unique<Region>();
  ASSERT_EQ(region->Create({40, 50, 59, 79}, 255), 0);
  ActiveCanvas().ReplaceSelection(std::move(region), true);
  Trigger(cmd::kEditCopy);
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  ASSERT_TRUE(data->hasFormat("application/x-CF_VN_LAYERDATA"));
  Trigger(cmd::kPasteAsLayer);
  ASSERT_EQ(ActiveCanvas().LayerCount(), 2);
  const Layer* pasted = ActiveCanvas().GetLayer(1);
  EXPECT_EQ(pasted->Width(), 20);
  EXPECT_EQ(pasted->Height(), 30);
  EXPECT_EQ(pasted->OffsetX(), 40);
  EXPECT_EQ(pasted->OffsetY(), 50);
  uint32_t pixel = 0;
  pasted->GetPixel(0, 0, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u | 40u << 8 | 50u);
}

TEST_F(CommandTest, CutClearsTheSelectedPartAndABitmapOnTheClipboardPastesAsALayer) {
  UseProgramFolder();
  Start();
  auto region = std::make_unique<Region>();
  ASSERT_EQ(region->Create({0, 0, 9, 9}, 255), 0);
  ActiveCanvas().ReplaceSelection(std::move(region), true);
  Trigger(cmd::kEditCut);
  uint32_t pixel = 1;
  ActiveCanvas().ActiveLayer()->GetPixel(5, 5, &pixel);
  EXPECT_EQ(pixel, 0u);
  QImage image(7, 4, QImage::Format_ARGB32);
  image.fill(QColor(10, 20, 30));
  QApplication::clipboard()->setImage(image);
  Trigger(cmd::kPasteAsLayer);
  ASSERT_EQ(ActiveCanvas().LayerCount(), 2);
  EXPECT_EQ(ActiveCanvas().GetLayer(1)->Width(), 7);
  ActiveCanvas().GetLayer(1)->GetPixel(6, 3, &pixel);
  EXPECT_EQ(pixel, 0xFF0A141Eu);
}

TEST_F(CommandTest, CopyingAsABitmapAndTheDisplayPutPicturesOnTheClipboard) {
  Start();
  Trigger(cmd::kCopyDisplaySurface);
  QImage copied = QApplication::clipboard()->image();
  EXPECT_EQ(copied.size(), QSize(300, 300));
  auto region = std::make_unique<Region>();
  ASSERT_EQ(region->Create({5, 5, 14, 24}, 255), 0);
  ActiveCanvas().ReplaceSelection(std::move(region), true);
  Trigger(cmd::kCopyAsBitmap);
  copied = QApplication::clipboard()->image();
  EXPECT_EQ(copied.size(), QSize(10, 20));
}

TEST_F(CommandTest, ASelectionSavedAndLoadedComesBackThroughTheRegionDialog) {
  Start();
  Trigger(cmd::kSelectAll);
  Trigger(cmd::kShrinkSelection);
  const QString path = TempPath("area.vrd");
  AnswerFileDialogs({path});
  Trigger(cmd::kSaveSelection);
  EXPECT_EQ(m_fileRequests.back().filter, QString("Region Data| *.vrd;||"));
  EXPECT_EQ(m_fileRequests.back().defaultExtension, QString("*.VRD"));
  Trigger(cmd::kSelectNone);
  AnswerFileDialogs({path});
  Trigger(cmd::kLoadSelection);
  ASSERT_NE(ActiveCanvas().Selection(), nullptr);
  EXPECT_EQ(ActiveCanvas().Selection()->Bounds().left, 1);
  EXPECT_EQ(ActiveCanvas().Selection()->Bounds().right, 298);
}

TEST_F(CommandTest, FeatherAsksItsWidthAndAddingTheSelectionToTheMaskList) {
  Start();
  Trigger(cmd::kSelectAll);
  Trigger(cmd::kShrinkSelection);
  AnswerValueDialogs(std::vector<int>{6});
  Trigger(cmd::kFeatherSelection);
  ASSERT_EQ(m_valueFields.size(), 1u);
  ASSERT_NE(ActiveCanvas().Selection(), nullptr);
  EXPECT_LT(ActiveCanvas().Selection()->At(1, 150), 255);
  Trigger(cmd::kSelectionToMask);
  EXPECT_EQ(ActiveCanvas().ActiveLayer()->Masks().Count(), 1);
}

TEST_F(CommandTest, CtrlWOnAPictureQuickSavesItAndLeavesItsWindowOpen) {
  const std::filesystem::path folder = UseProgramFolder() / "Save";
  Start();
  {
    // Without its Save folder the quick save fails with the file error and makes no folder.
    RecordingHost recorder;
    ScopedHost scoped(recorder);
    QTest::keyClick(ActiveView()->viewport(), Qt::Key_W, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_NE(recorder.boxes[0].text.find("/Save/Y"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder));
  }
  std::filesystem::create_directory(folder);
  QTest::keyClick(ActiveView()->viewport(), Qt::Key_W, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(CommandTest, EmptyingTheQuickSaveFolderRemovesOnlyQuickSaves) {
  const std::filesystem::path folder = UseProgramFolder() / "Save";
  std::filesystem::create_directories(folder);
  Start();
  std::ofstream(folder / "Y2005M 3D 7H 9M 5S 2.VLB") << "x";
  std::ofstream(folder / "keep.txt") << "x";
  Trigger(cmd::kEmptyQuickSaveFolder);
  EXPECT_FALSE(std::filesystem::exists(folder / "Y2005M 3D 7H 9M 5S 2.VLB"));
  EXPECT_TRUE(std::filesystem::exists(folder / "keep.txt"));
}

// 画像情報 is Huebox's window (tests/huebox and the Huebox host's tests).
TEST_F(CommandTest, PictureStatisticsAreShownInAMessageBox) {
  Start();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  Trigger(cmd::kPictureStatistics);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_NE(recorder.boxes[0].text.find("255"), std::string::npos);
}

TEST_F(CommandTest, TheCloneSourceCommandWritesTheActiveLayerForTheBrush) {
  const std::filesystem::path file = UseProgramFolder() / "cloneSource.vlb";
  Start();
  Trigger(cmd::kCloneSource);
  EXPECT_TRUE(std::filesystem::exists(file));
  LayerList layers;
  EXPECT_EQ(ReadLayerList(file.string(), layers), 0);
  EXPECT_EQ(layers.size(), 1u);
}

// ---- the panels around the pictures ------------------------------------------------------------

TEST_F(CommandTest, TheBrushSizeStartsAsStoredAndItsStepsAreWrittenBackAtTheEnd) {
  Start({{"BRUSHSIZE", PackSize(7, 7)}});
  EXPECT_EQ(ProgramBrushSettings().width, 7);
  // The option panel shows the size the brush starts with.
  bool shown = false;
  for (const QSpinBox* box : Frame().ToolOptions()->findChildren<QSpinBox*>())
    shown = shown || (box->isEnabled() && box->value() == 7);
  EXPECT_TRUE(shown);
  ActiveView()->setFocus();
  QTest::keyClick(ActiveView(), Qt::Key_BracketRight);  // "ブラシサイズ+4"
  EXPECT_EQ(ProgramBrushSettings().width, 11);
  QTest::keyClick(ActiveView(), Qt::Key_BracketLeft);
  EXPECT_EQ(ProgramBrushSettings().width, 7);
  Trigger(cmd::kBrushSizeUp);
  EXPECT_EQ(ProgramBrushSettings().width, 11);
  EXPECT_EQ(ProgramBrushSettings().height, 11);
  ASSERT_TRUE(Frame().close());
  const Profile stored(m_dir.File("varnel.ini"));
  EXPECT_EQ(stored.GetInt("Settings", "BRUSHSIZE", -1), PackSize(11, 11));
  ProgramBrushSettings().SetSize(2, 2);
  RebuildProgramBrush();
}

TEST_F(CommandTest, TheLayerPanelFollowsTheActivePictureAndItsCommands) {
  Start();
  LayerPanel* panel = Frame().Layers();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->Document(), &Doc());
  Trigger(cmd::kNewLayer);
  Trigger(cmd::kNewLayer);
  // The panel's selection drives the merge: both new layers merge into the base.
  panel->SetSelectedIndices({0, 1, 2});
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdNo);  // keep the merged layers
  Trigger(cmd::kMergeWithBase);
  EXPECT_EQ(ActiveCanvas().LayerCount(), 3);
  // Another picture: the panel shows that one.
  QTest::keyClick(ActiveView()->viewport(), Qt::Key_N, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(panel->Document(), &Doc());
  EXPECT_EQ(Doc().GetCanvas().LayerCount(), 1);
}

TEST_F(CommandTest, TheLayerPanelsButtonsRunTheLayerMenuCommands) {
  Start();
  LayerPanel* panel = Frame().Layers();
  emit panel->commandRequested(cmd::kNewLayer);
  QApplication::processEvents();
  EXPECT_EQ(ActiveCanvas().LayerCount(), 2);
  emit panel->commandRequested(cmd::kDuplicateLayer);
  QApplication::processEvents();
  EXPECT_EQ(ActiveCanvas().LayerCount(), 3);
}

// Chooses a brush kind through its item in the brush kind menu.
void ChooseBrushKind(CMainFrame& frame, int32_t kind) {
  const int id = kBrushKindCommandBase + kind;
  QAction* chosen = nullptr;
  frame.RebuildBrushKindMenu();
  std::function<void(QMenu*)> find = [&](QMenu* menu) {
    for (QAction* action : menu->actions()) {
      if (action->menu()) find(action->menu());
      else if (action->data().toInt() == id) chosen = action;
    }
  };
  find(frame.BrushKindMenu());
  ASSERT_NE(chosen, nullptr);
  chosen->trigger();
}

TEST_F(CommandTest, ChoosingABrushKindNamesItInTheToolOptions) {
  Start();
  ChooseBrushKind(Frame(), kBrushBlur);
  EXPECT_EQ(ProgramBrushSettings().kind, kBrushBlur);
  EXPECT_EQ(Frame().ToolOptions()->BrushPanel()->BrushName(), QString::fromUtf8(BrushKindLabel(kBrushBlur)));
  ProgramBrushSettings().kind = kBrushNormal;
  RebuildProgramBrush();
}

TEST_F(CommandTest, TheBrushBrowserShowsNewPresetsAtOnceAndMarksTheBrushInUse) {
  const test::ScopedEnv programFolder("VARNEL_HOME", m_dir.File("program"));  // presets are saved there
  BrushToolSettings& settings = ProgramBrushSettings();
  const BrushToolSettings before = settings;
  settings.presetsFolder = ProgramPath("Brush/Presets");
  Start();
  BrushBrowser* browser = Frame().Browser();
  browser->show();
  QApplication::processEvents();
  auto current = [browser] {
    QTreeWidgetItem* item = browser->Tree()->currentItem();
    return item != nullptr && item->isSelected() ? item->text(0) : QString();
  };
  EXPECT_EQ(current(), "ノーマル描画");

  // A preset saved into a new group while the browser is open appears in it.
  RecordingHost recorder;  // answers the saved message
  ScopedHost scoped(recorder);
  const auto dialog = Frame().CustomBrush()->MakeSaveDialog();
  dialog->GroupBox()->setEditText("水彩");
  dialog->NameEdit()->setText("にじみ");
  ASSERT_TRUE(Frame().CustomBrush()->SaveFromDialog(*dialog));
  QTreeWidgetItem* preset = browser->FindItem("プリセット/水彩/にじみ");
  ASSERT_NE(preset, nullptr);

  // The highlight follows the brush however it was chosen: in the tree, the menu or a tool state.
  // A loaded custom brush is no preset: it takes neither the preset's title nor the last label.
  browser->Tree()->scrollToItem(preset);
  QTest::mouseClick(browser->Tree()->viewport(), Qt::LeftButton, {},
                    browser->Tree()->visualItemRect(preset).center());
  EXPECT_EQ(Frame().ToolOptions()->BrushPanel()->BrushName(), "にじみ");
  EXPECT_EQ(current(), "にじみ");
  const std::string path = m_dir.File("custom.VPO");
  ASSERT_TRUE(Frame().Commands()->SaveToolStateTo(path));
  ChooseBrushKind(Frame(), kBrushBlur);
  EXPECT_EQ(current(), "ぼかし");
  Frame().Commands()->LoadToolStateFrom(path);
  EXPECT_EQ(ProgramBrushSettings().kind, kBrushCustom);
  EXPECT_EQ(current(), "現在のカスタムブラシ");
  EXPECT_EQ(Frame().ToolOptions()->findChild<QLabel*>("BrushName")->text(), "現在のカスタムブラシ");
  settings = before;
  RebuildProgramBrush();
}

TEST_F(CommandTest, TheFillUsesThePalettesForegroundColour) {
  Start();
  Frame().Palette()->SetForeground(ColourRef{0x000000FFu});  // red, as 0x00BBGGRR
  Trigger(cmd::kSelectAll);
  Trigger(cmd::kFillSelection);
  uint32_t pixel = 0;
  ActiveCanvas().ActiveLayer()->GetPixel(7, 7, &pixel);
  EXPECT_EQ(pixel, 0xFFFF0000u);
}

}  // namespace
}  // namespace varnel

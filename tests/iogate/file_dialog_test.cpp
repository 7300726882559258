// The gateway's open and save dialogs, run by GetFileName and driven with input events on
// the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QInputDialog>
#include <QTest>
#include <filesystem>

#include "iogate/file_dialogs.h"
#include "iogate/iogate_testing.h"
#include "iogate/preview_file_dialog.h"
#include "iogate/save_file_dialog_ext.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "tests/iogate/gui_test_support.h"
#include "tests/iogate/iogate_test_support.h"

namespace varnel::iogate {
namespace {

using testing::ProgramFolder;

constexpr const char* kProgramSaveFilter = "Varnel layer format(*.vlb)| *.vlb;|24bit Bitmap File(*.bmp)| *.bmp;|";

class FileDialogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetDialogShownHookForTesting({});
    ForgetPluginsForTesting();
  }

  // Runs GetFileName as the program does, with hook driving the dialog it opens.
  int32_t Open(const std::function<void(QFileDialog&)>& hook, int32_t size = 1024, const char* extra = "") {
    m_shown = 0;
    SetDialogShownHookForTesting([this, hook](QFileDialog& dialog) {
      ++m_shown;
      hook(dialog);
      testing::CloseIfStillOpen(&dialog);
    });
    m_result.assign(static_cast<size_t>(size > 0 ? size : 1), 'z');
    return GetFileName(1, nullptr, nullptr, 6, extra, m_result.data(), size, nullptr, nullptr, nullptr);
  }

  int32_t Save(const std::function<void(QFileDialog&)>& hook, const char* fileName = "") {
    m_shown = 0;
    SetDialogShownHookForTesting([this, hook](QFileDialog& dialog) {
      ++m_shown;
      hook(dialog);
      testing::CloseIfStillOpen(&dialog);
    });
    m_result.assign(1024, 'z');
    return GetFileName(0, "*.VLB", fileName, 6, kProgramSaveFilter, m_result.data(), 1024, &m_info, m_bits, nullptr);
  }

  std::string Result() const { return std::string(m_result.data()); }
  bool ResultIsZeroed() const {
    for (char c : m_result) {
      if (c != '\0') return false;
    }
    return true;
  }

  ProgramFolder m_folder;
  RecordingHost m_host;
  ScopedHost m_scoped{m_host};
  std::vector<char> m_result;
  int m_shown = 0;
  VarnelWriteInfo m_info{};
  uint32_t m_bits[4] = {};
};

TEST_F(FileDialogTest, TheOpenDialogIsQtsOwnTitledOpenImageWithThePluginTypes) {
  m_folder.Install("reader", "a.spi");
  m_folder.Install("no_description", "b.spi");
  const int32_t answer = Open([](QFileDialog& dialog) {
    EXPECT_TRUE(dialog.inherits("varnel::iogate::CPreviewFileDialog"));
    EXPECT_EQ(dialog.windowTitle(), "open image");
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(testing::ComboTexts(testing::TypeCombo(dialog)),
              (QStringList{"all image", "Fake One", "Windows Bitmap", "すべてのファイル (*.*)"}));
    EXPECT_EQ(dialog.nameFilters().front(), "all image (*.vlb *.fk1 *.bmp)");
    EXPECT_EQ(dialog.nameFilters().back(), "すべてのファイル (*.*) (*)");
    testing::PressEscape(dialog);
  }, 1024, "*.vlb;");
  EXPECT_EQ(m_shown, 1);
  EXPECT_EQ(answer, -1);
  EXPECT_TRUE(ResultIsZeroed());
}

TEST_F(FileDialogTest, AFileChosenByNameIsReturnedWithItsFullPath) {
  const std::string path = m_folder.Picture("chosen.fk1");
  testing::WriteFake24(path, 2, 2, [](int, int) { return 0u; });
  EXPECT_EQ(Open([&](QFileDialog& dialog) { testing::TypeAndAccept(dialog, path); }), 0);
  EXPECT_EQ(Result(), path);
  EXPECT_EQ(m_result[path.size()], '\0');
}

TEST_F(FileDialogTest, APathOfExactlyTheBufferSizeMinusOneIsReturnedOneMoreIsNot) {
  const std::string path = m_folder.Picture("exact.bmp");
  testing::WriteBitmapFile(path, 2, 2, [](int, int) { return 0u; });
  const auto choose = [&](QFileDialog& dialog) { testing::TypeAndAccept(dialog, path); };
  EXPECT_EQ(Open(choose, static_cast<int32_t>(path.size()) + 1), 0);
  EXPECT_EQ(Result(), path);
  EXPECT_EQ(Open(choose, static_cast<int32_t>(path.size())), -1);
  EXPECT_EQ(m_shown, 1);
  EXPECT_TRUE(ResultIsZeroed());
}

TEST_F(FileDialogTest, NoUsableBufferShowsNoDialog) {
  EXPECT_EQ(Open([](QFileDialog& dialog) { testing::PressEscape(dialog); }, 0), -1);
  EXPECT_EQ(m_shown, 0);
}

TEST_F(FileDialogTest, ClickingABitmapPreviewsItFittedWithItsFileLines) {
  const std::string path = m_folder.Picture("wide.bmp");
  testing::WriteBitmapFile(path, 400, 100, [](int, int) { return 0x3366CCu; });
  Open([&](QFileDialog& dialog) {
    testing::GoToFolder(dialog, m_folder.PictureFolder());
    testing::ClickFile(dialog, "wide.bmp");
    auto* area = dialog.findChild<PreviewArea*>("previewArea");
    ASSERT_NE(area, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !area->Picture().isNull(); }, 2000));
    EXPECT_EQ(area->Picture().size(), QSize(120, 30));
    const QImage shot = area->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(122, 122));
    EXPECT_EQ(shot.pixel(0, 0) | 0xFF000000u, 0xFFFFFFFFu);
    EXPECT_EQ(shot.pixel(1, 1) | 0xFF000000u, 0xFF3366CCu);
    EXPECT_EQ(shot.pixel(120, 30) | 0xFF000000u, 0xFF3366CCu);
    EXPECT_EQ(shot.pixel(120, 31) | 0xFF000000u, 0xFFFFFFFFu);
    EXPECT_EQ(shot.pixel(121, 1) | 0xFF000000u, 0xFFFFFFFFu);
    EXPECT_EQ(dialog.findChild<QLabel*>("fileSizeLine")->text(), "ファイルサイズ : 120054Bytes");
    EXPECT_TRUE(dialog.findChild<QLabel*>("modifiedLine")->text().startsWith("最終変更 : "));
    EXPECT_TRUE(dialog.findChild<QLabel*>("createdLine")->text().startsWith("作成日時 : "));
    testing::PressEscape(dialog);
  });
}

TEST_F(FileDialogTest, APluginPictureIsPreviewedAndAnUnreadableFileSaysNotSupported) {
  m_folder.Install("reader", "a.spi");
  testing::WriteFake24(m_folder.Picture("tall.fk1"), 100, 400, [](int, int) { return 0x00FF00u; });
  testing::WriteBytes(m_folder.Picture("note.txt"), {'h', 'i'});
  Open([&](QFileDialog& dialog) {
    testing::GoToFolder(dialog, m_folder.PictureFolder());
    testing::ChooseType(dialog, 3);  // all files, so that note.txt is listed
    auto* area = dialog.findChild<PreviewArea*>("previewArea");
    testing::ClickFile(dialog, "tall.fk1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !area->Picture().isNull(); }, 2000));
    EXPECT_EQ(area->Picture().size(), QSize(30, 120));
    EXPECT_EQ(area->grab().toImage().pixel(30, 120) | 0xFF000000u, 0xFF00FF00u);
    testing::ClickFile(dialog, "note.txt");
    ASSERT_TRUE(QTest::qWaitFor([&] { return area->Picture().isNull(); }, 2000));
    EXPECT_EQ(area->Notice(), "not supported...");
    EXPECT_EQ(dialog.findChild<QLabel*>("fileSizeLine")->text(), "ファイルサイズ : 2Bytes");
    testing::PressEscape(dialog);
  });
}

TEST_F(FileDialogTest, RegisteredFoldersAreWrittenToTheGatewaysProfileWhenTheDialogCloses) {
  const std::string pictures = m_folder.PictureFolder();
  Open([&](QFileDialog& dialog) {
    testing::GoToFolder(dialog, pictures);
    auto* button = dialog.findChild<QPushButton*>("registerFolderButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "フォルダ登録");
    QTest::mouseClick(button, Qt::LeftButton);
    testing::PressEscape(dialog);
  });
  Profile profile(m_folder.Config("iogate.ini"));
  EXPECT_EQ(profile.GetString("History", "Folder 0", ""), pictures);
  EXPECT_FALSE(profile.Has("History", "Folder 1"));
}

TEST_F(FileDialogTest, RecallingARegisteredFolderMovesTheDialogThere) {
  const std::string pictures = m_folder.PictureFolder();
  {
    Profile profile(m_folder.Config("iogate.ini"));
    profile.WriteString("History", "Folder 0", "/");
    profile.WriteString("History", "Folder 2", pictures);
  }
  Open([&](QFileDialog& dialog) {
    auto* button = dialog.findChild<QPushButton*>("recallFolderButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "フォルダ呼び出し");
    testing::WhenModal([](QWidget* w) { return w->objectName() == "CFolderDialog"; },
                       [&](QWidget* folders) {
                         EXPECT_EQ(folders->windowTitle(), "フォルダ呼び出し");
                         auto* list = folders->findChild<QListWidget*>("registeredFolders");
                         ASSERT_NE(list, nullptr);
                         ASSERT_EQ(list->count(), 2);
                         EXPECT_EQ(list->item(0)->text(), "/");
                         QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                                           list->visualItemRect(list->item(1)).center());
                         QTest::keyClick(list, Qt::Key_Return);
                       });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(dialog.directory().absolutePath().toStdString(), pictures);
    testing::PressEscape(dialog);
  });
  // Written back as read: index 0 and 1, the gap closed.
  Profile profile(m_folder.Config("iogate.ini"));
  EXPECT_EQ(profile.GetString("History", "Folder 1", ""), pictures);
  EXPECT_FALSE(profile.Has("History", "Folder 2"));
}

TEST_F(FileDialogTest, TheSaveDialogAddsEachSavePluginsTypeAfterTheCallersAndADefaultExtension) {
  m_folder.Install("jpeg_a", "a.spi");
  m_folder.Install("reader", "b.spi");
  m_folder.Install("jpeg_b", "c.spi");
  const std::string target = m_folder.Picture("drawing");
  const int32_t answer = Save([&](QFileDialog& dialog) {
    EXPECT_TRUE(dialog.inherits("varnel::iogate::CSaveFileDialogExt"));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(testing::ComboTexts(testing::TypeCombo(dialog)),
              (QStringList{"Varnel layer format(*.vlb)", "24bit Bitmap File(*.bmp)", "JPEG A(*.jpg)", "JPEG B(*.jpg)"}));
    testing::TypeAndAccept(dialog, target);
  });
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(Result(), target + ".vlb");
}

TEST_F(FileDialogTest, TheChosenTypesExtensionIsAddedToANameTypedWithoutOne) {
  m_folder.Install("jpeg_a", "a.spi");
  const std::string target = m_folder.Picture("drawing");
  EXPECT_EQ(Save([&](QFileDialog& dialog) {
              testing::ChooseType(dialog, 2);
              testing::TypeAndAccept(dialog, target);
            }),
            0);
  EXPECT_EQ(Result(), target + ".jpg");
}

TEST_F(FileDialogTest, TheProposedNameIsReturnedWhenTheUserJustConfirms) {
  const std::string proposal = m_folder.Picture("layer 1.vlb");
  EXPECT_EQ(Save(
                [&](QFileDialog& dialog) {
                  EXPECT_EQ(testing::FileNameEdit(dialog)->text(), "layer 1.vlb");
                  QTest::keyClick(testing::FileNameEdit(dialog), Qt::Key_Return);
                },
                proposal.c_str()),
            0);
  EXPECT_EQ(Result(), proposal);
}

TEST_F(FileDialogTest, AProposedFolderOpensTheDialogThereWithNoNameTyped) {
  const std::string folder = m_folder.Picture("shapes");
  std::filesystem::create_directories(folder);
  for (const std::string& proposal : {folder + "/", folder}) {
    EXPECT_EQ(Save(
                  [&](QFileDialog& dialog) {
                    EXPECT_EQ(dialog.directory().absolutePath().toStdString(), folder) << proposal;
                    EXPECT_EQ(testing::FileNameEdit(dialog)->text(), "") << proposal;
                    testing::PressEscape(dialog);
                  },
                  proposal.c_str()),
              -1);
  }
}

TEST_F(FileDialogTest, TheSettingsButtonOpensTheOptionsOfTheFirstPluginThatSavesTheChosenExtension) {
  const std::string a = m_folder.Install("jpeg_a", "a.spi");
  const std::string b = m_folder.Install("jpeg_b", "b.spi");
  const testing::FakeLogOf logA(a);
  const testing::FakeLogOf logB(b);
  Save([&](QFileDialog& dialog) {
    auto* button = dialog.findChild<QPushButton*>("settingsButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "設定");
    // The program's own types have no save plug-in: nothing opens.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(logA->openConfig, 0);
    // "JPEG B" is chosen, but "jpg" goes to the plug-in found first, as writing does.
    testing::ChooseType(dialog, 3);
    // The plug-in asks for a number through the gateway; the user types 7 and confirms.
    QTimer::singleShot(0, [] {
      auto* ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(ask, nullptr);
      EXPECT_EQ(ask->windowTitle(), QString("Fake の設定"));
      EXPECT_EQ(ask->labelText(), QString("数 (0-10)"));
      EXPECT_EQ(ask->intValue(), 4);
      ask->setIntValue(7);
      ask->accept();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(logA->openConfig, 1);
    EXPECT_EQ(logA->lastWindow, static_cast<void*>(static_cast<QWidget*>(&dialog)));
    EXPECT_EQ(logA->asked, 1);
    EXPECT_EQ(logA->answer, 7);
    EXPECT_EQ(logB->openConfig, 0);
    testing::PressEscape(dialog);
  });
}

TEST_F(FileDialogTest, TheFlagsChooseExistingFilesOnlyAndTheOverwriteQuestion) {
  const auto fileMode = [&](int32_t mode, uint32_t flags) {
    QFileDialog::FileMode seen = QFileDialog::Directory;
    bool confirms = false;
    SetDialogShownHookForTesting([&](QFileDialog& dialog) {
      seen = dialog.fileMode();
      confirms = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
      testing::PressEscape(dialog);
    });
    char result[64];
    GetFileName(mode, "*.VLB", "", flags, "", result, sizeof result, nullptr, nullptr, nullptr);
    return std::pair(seen, confirms);
  };
  EXPECT_EQ(fileMode(1, 6).first, QFileDialog::AnyFile);
  EXPECT_EQ(fileMode(1, 0x1006).first, QFileDialog::ExistingFile);
  EXPECT_TRUE(fileMode(0, 6).second);
  EXPECT_FALSE(fileMode(0, 4).second);
}

TEST_F(FileDialogTest, ThePaneDrawsItsNoticesAtTenTenOnAClearedArea) {
  PreviewArea area;
  Preview preview;
  preview.status = PreviewStatus::kBroken;
  area.Show(preview);
  EXPECT_EQ(area.Notice(), "dbgError : Initializing fail!");
  const auto inked = [](const QImage& shot, const QRect& where) {
    for (int y = where.top(); y <= where.bottom(); ++y)
      for (int x = where.left(); x <= where.right(); ++x)
        if ((shot.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu) return true;
    return false;
  };
  QImage shot = area.grab().toImage();
  EXPECT_FALSE(inked(shot, QRect(0, 0, 122, 10)));
  EXPECT_FALSE(inked(shot, QRect(0, 0, 10, 122)));
  EXPECT_TRUE(inked(shot, QRect(10, 10, 112, 30)));
  preview.status = PreviewStatus::kNotSupported;
  area.Show(preview);
  EXPECT_EQ(area.Notice(), "not supported...");
  area.Clear();
  EXPECT_FALSE(inked(area.grab().toImage(), QRect(0, 0, 122, 122)));
}

TEST_F(FileDialogTest, AnExceptionWhileBuildingTheDialogShowsTheWarningAndCountsAsCancelled) {
  m_folder.Install("throw_info", "a.spi");
  EXPECT_EQ(Open([](QFileDialog& dialog) { testing::PressEscape(dialog); }), -1);
  EXPECT_EQ(m_shown, 0);
  EXPECT_TRUE(ResultIsZeroed());
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].text,
            "不明な例外を捕捉しました。作業中のデータを保存してアプリケーションを終了することを推奨します。");
}

TEST_F(FileDialogTest, AnExceptionFromAPluginWhileTheDialogRunsClosesItWithTheWarning) {
  m_folder.Install("throw_read", "a.spi");
  testing::WriteBytes(m_folder.Picture("x.thr"), {'x'});
  EXPECT_EQ(Open([&](QFileDialog& dialog) {
              testing::GoToFolder(dialog, m_folder.PictureFolder());
              testing::ClickFile(dialog, "x.thr");
            }),
            -1);
  EXPECT_TRUE(ResultIsZeroed());
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].text,
            "不明な例外を捕捉しました。作業中のデータを保存してアプリケーションを終了することを推奨します。");
}

TEST_F(FileDialogTest, ThePluginListIsLoadedOnceSoTooManyPluginsWarnOnlyOnce) {
  for (int i = 0; i < 51; ++i) m_folder.Install("no_description", "p" + std::to_string(100 + i) + ".spi");
  const auto cancel = [](QFileDialog& dialog) { testing::PressEscape(dialog); };
  EXPECT_EQ(Open(cancel), -1);
  EXPECT_EQ(Open(cancel), -1);
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].text, "プラグインが多すぎます！");
}

}  // namespace
}  // namespace varnel::iogate

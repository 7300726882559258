// Sievehost.so's PaintMsg as the program calls it: the library loaded with dlopen over a
// program folder whose Filter/ holds the recording probe, its "フィルタ/効果" dialog driven
// through its controls.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "core/surface.h"
#include "sievehost/batch_run.h"
#include "tests/huebox/huebox_test_support.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

class Library {
 public:
  explicit Library(const std::string& path) : m_handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (m_handle != nullptr) dlclose(m_handle);
  }
  template <typename F>
  F Get(const char* name) const {
    return m_handle ? reinterpret_cast<F>(dlsym(m_handle, name)) : nullptr;
  }

 private:
  void* m_handle;
};

// Sievehost.so builds its library list once, when it is first loaded (it stays loaded, as it
// links Qt): every test here shares one program folder and one load.
struct Program {
  Program() {
    std::filesystem::create_directories(home.Path() / "Filter");
    std::filesystem::copy_file(std::string(VARNEL_SIEVEHOST_PROBE_DIR) + "/BatchProbe.so", probePath);
    const test::ProgramFolderScope scope(home.Path().string());
    sievehost = std::make_unique<Library>(SIEVEHOST_LIBRARY);
  }
  test::TempFolder home;
  const std::string probePath = (home.Path() / "Filter" / "BatchProbe.so").string();
  std::unique_ptr<Library> sievehost;
};

Program& TheProgram() {
  static Program program;
  return program;
}

class SievehostDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    paintMsg = TheProgram().sievehost->Get<SievehostPaintMsg>("PaintMsg");
    ASSERT_NE(paintMsg, nullptr);
    ASSERT_EQ(layer.Create({20, 10}), 0);  // opaque white
    layer.BackupAll(false, false);         // as the canvas backs the target up first
    head = layer.Descriptor();
    TakeLog();
  }

  static std::string TakeLog() {
    const Library probe(TheProgram().probePath);
    const auto take = probe.Get<const char* (*)()>("ProbeTakeLog");
    return take ? take() : "(no probe)";
  }

  SievehostPaintMsg paintMsg = nullptr;
  ImageSurface layer;
  ImageDescriptor* head = nullptr;
};

template <typename T>
T* Control(QWidget* dialog, int id) {
  return dialog->findChild<T*>(QString::number(id));
}

TEST_F(SievehostDialogTest, PaintMsgOpensTheDialogOnlyForItsCodeWithAnImage) {
  ImageDescriptor* none = nullptr;
  struct Case {
    const char* name;
    int32_t code, count;
    ImageDescriptor** image;
    bool shown;
  } cases[] = {
      {"the filter dialog", kPaintMsgFilterDialog, 1, &head, true},
      {"another code", 32775, 1, &head, false},
      {"no count", kPaintMsgFilterDialog, 0, &head, false},
      {"no image", kPaintMsgFilterDialog, 1, &none, false},
      {"no head", kPaintMsgFilterDialog, 1, nullptr, false},
  };
  for (const Case& c : cases) {
    bool shown = false;
    QString title;
    if (c.shown) {
      test::WhenModalShown([&](QWidget* dialog) {
        shown = true;
        title = dialog->windowTitle();
        dialog->close();
      });
    }
    EXPECT_EQ(paintMsg(c.code, c.count, c.image), 0) << c.name;
    EXPECT_EQ(shown, c.shown) << c.name;
    if (c.shown) {
      EXPECT_EQ(title.toStdString(), "フィルタ/効果") << c.name;
    }
  }
}

TEST_F(SievehostDialogTest, AChosenFilterFillsTheSlidersPreviewsCopiesAndRunsOnOk) {
  struct Seen {
    int min = -1, max = -1, position = -1;
    QString name, value, valueAfterMove, clipboard;
    bool secondSlotHidden = false;
    std::string previewLog, moveLog;
  } seen;
  head->dirtyBottom = -1;
  test::WhenModalShown([&](QWidget* dialog) {
    auto* tree = dialog->findChild<QTreeWidget*>();
    QTreeWidgetItem* library = tree ? tree->topLevelItem(0) : nullptr;
    if (library == nullptr || library->childCount() < 1) {
      dialog->close();
      return;
    }
    tree->setCurrentItem(library->child(0));  // "Mark"
    auto* slider = Control<QSlider>(dialog, 8011);
    seen.min = slider->minimum(), seen.max = slider->maximum(), seen.position = slider->value();
    seen.name = Control<QLabel>(dialog, 8017)->text();
    seen.value = Control<QLabel>(dialog, 8023)->text();
    seen.secondSlotHidden = Control<QSlider>(dialog, 8012)->isHidden();
    seen.previewLog = TakeLog();
    slider->setValue(55);
    seen.valueAfterMove = Control<QLabel>(dialog, 8023)->text();
    seen.moveLog = TakeLog();
    Control<QPushButton>(dialog, 8029)->click();
    seen.clipboard = QApplication::clipboard()->text();
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      if (button->text() == QStringLiteral("OK")) button->click();
  });
  EXPECT_EQ(paintMsg(kPaintMsgFilterDialog, 1, &head), 0);
  EXPECT_EQ(seen.min, 0);
  EXPECT_EQ(seen.max, 100);
  EXPECT_EQ(seen.position, 40);
  EXPECT_EQ(seen.name.toStdString(), "Level");
  EXPECT_EQ(seen.value.toStdString(), "Mark 0: 40%");
  EXPECT_TRUE(seen.secondSlotHidden);
  EXPECT_EQ(seen.previewLog, "Execute Mark 1:40;");  // the preview never calls ProcessFilter
  EXPECT_EQ(seen.valueAfterMove.toStdString(), "Mark 0: 55%");
  EXPECT_EQ(seen.moveLog, "Execute Mark 1:55;");
  EXPECT_EQ(seen.clipboard.toStdString(), "BatchProbe.so:Mark:55");
  EXPECT_EQ(TakeLog(), "ProcessFilter Mark 1:55;");
  EXPECT_EQ(layer.Row(0)[0], 0xFF000001u);
  // The whole image is marked for drawing and the head written back.
  EXPECT_EQ(layer.DirtyRect(), (Rect{0, 0, 19, 9}));
}

}  // namespace
}  // namespace varnel

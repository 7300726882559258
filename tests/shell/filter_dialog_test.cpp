// The filter dialog driven through its widgets on the offscreen platform, over copies of the
// probe filter libraries (each writes a marker: alpha = the entry point, red = the value count,
// green:blue = the sum of the values) and the samples of the program folder.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <string>

#include "core/canvas.h"
#include "core/region.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/filter_dialog.h"
#include "shell/varnel_doc.h"
#include "shell_fixture.h"

namespace varnel {
namespace {

constexpr uint32_t kMarkExecute = 0x11, kMarkProcessFilter = 0x22, kMarkAlias = 0x33, kMarkBothNamed = 0x44;

constexpr uint32_t Marker(uint32_t mark, uint32_t count, uint32_t sum) { return mark << 24 | count << 16 | sum; }
// The picture's own pixels: every one different, so a pixel in the wrong place shows.
constexpr uint32_t Original(int32_t x, int32_t y) { return 0xFF000000u | uint32_t(x) << 16 | uint32_t(y) << 8 | 0x5A; }

class FilterDialogTest : public ShellTest {
 protected:
  void TearDown() override {
    FilterProgressDialog::shownHookForTesting = nullptr;
    m_dialog.reset();
    ShellTest::TearDown();
  }

  // A picture of width × height with the Original pattern, and the dialog over the probes.
  void StartWithPicture(int32_t width, int32_t height) {
    Start({{"NEWIMAGESIZE", PackSize(width, height)}});
    Layer& layer = *Canvas().ActiveLayer();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) layer.Row(y)[x] = Original(x, y);
    layer.DiscardBackups();
    Canvas().ComposeAll();
    for (const char* probe : {"probe_name", "probe_alias", "probe_both", "probe_none"})
      std::filesystem::copy_file(std::string(VARNEL_FILTER_PROBE_DIR) + "/" + probe + ".so",
                                 m_probes.File(std::string(probe) + ".so"));
    m_libraries = std::make_unique<FilterLibraryList>(m_probes.Path().string());
    m_dialog = std::make_unique<FilterDialog>(*m_libraries, *m_profile, [this] { return ActiveView()->GetDocument(); });
    m_dialog->show();
    QApplication::processEvents();
  }

  varnel::Canvas& Canvas() { return ActiveView()->GetDocument()->GetCanvas(); }

  void Choose(const char* library, const char* filter) {
    auto* tree = m_dialog->findChild<QTreeWidget*>("FilterTree");
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      QTreeWidgetItem* top = tree->topLevelItem(i);
      if (top->text(0) != library) continue;
      if (filter == nullptr) return tree->setCurrentItem(top);
      for (int j = 0; j < top->childCount(); ++j)
        if (top->child(j)->text(0) == filter) return tree->setCurrentItem(top->child(j));
    }
    FAIL() << library << " / " << (filter ? filter : "");
  }

  QScrollBar* Bar(int slot) { return m_dialog->findChild<QScrollBar*>(QString("ParameterBar%1").arg(slot)); }
  QString ValueText(int slot) { return m_dialog->findChild<QLabel*>(QString("ParameterValue%1").arg(slot))->text(); }
  int VisibleSlots() {
    int count = 0;
    for (int i = 0; i < kFilterSlots; ++i) count += Bar(i)->isVisible() ? 1 : 0;
    return count;
  }

  // The preview frame as drawn, 0x00RRGGBB (the frame shows the colour bytes opaque).
  uint32_t Shown(int x, int y) {
    const QImage shot = m_dialog->findChild<QWidget*>("PreviewFrame")->grab().toImage();
    return shot.pixel(x, y) & 0x00FFFFFFu;
  }

  // The centre of one part of a slot's scroll bar, as the style lays it out.
  static QPoint PartCentre(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
  }

  void Click(const char* button) {
    QTest::mouseClick(m_dialog->findChild<QPushButton*>(button), Qt::LeftButton);
    QApplication::processEvents();
  }

  test::TempFolder m_probes;
  std::unique_ptr<FilterLibraryList> m_libraries;
  std::unique_ptr<FilterDialog> m_dialog;
};

// ---- choosing a filter: its slots and the preview through the preview's entry point ----

TEST_F(FilterDialogTest, ChoosingAFilterShowsItsSlotsAndPreviewsThroughThePreviewEntry) {
  struct Case {
    const char* library;
    const char* filter;
    int slotCount;
    uint32_t previewPixel;  // what the filter wrote, every pixel alike
  };
  // A 10 × 40 layer: taller than wide, so the preview is 40 × 160 (the alias probe writes rows
  // of at most 64 pixels).
  const Case cases[] = {
      {"probe_name.so", "Fill", 2, Marker(kMarkExecute, 2, 10 + 20)},  // Execute, not ProcessFilter
      {"probe_name.so", "Bare", 0, Marker(kMarkExecute, 0, 0)},
      // Six slots; the seventh runs at its default: 1 + 11 + 21 + 31 + 41 + 51 + 61.
      {"probe_name.so", "Seven", 6, Marker(kMarkExecute, 7, 217)},
      {"probe_alias.so", "Stamp", 1, Marker(kMarkAlias, 1, 50)},
      {"probe_both.so", "Named", 1, Marker(kMarkBothNamed, 1, 1)},  // both exported: the name interface
  };
  StartWithPicture(10, 40);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.library) + " " + c.filter);
    Choose(c.library, c.filter);
    QApplication::processEvents();
    EXPECT_EQ(VisibleSlots(), c.slotCount);
    ASSERT_EQ(m_dialog->PreviewSurface().GetSize(), (Size{40, 160}));
    EXPECT_EQ(m_dialog->PreviewSurface().Row(0)[0], c.previewPixel);
    EXPECT_EQ(Shown(39, 159), c.previewPixel & 0x00FFFFFFu);
  }
}

TEST_F(FilterDialogTest, ALibraryItemKeepsTheSlotsAndShowsTheLayerUnfilteredByNearestNeighbour) {
  StartWithPicture(10, 40);
  Choose("probe_name.so", "Fill");
  Choose("probe_name.so", nullptr);
  QApplication::processEvents();
  EXPECT_EQ(VisibleSlots(), 2);
  EXPECT_FALSE(m_dialog->Selection().has_value());
  // Preview pixel (x, y) of 40 × 160 takes layer pixel (x × 10 / 40, y × 40 / 160).
  for (const auto& [x, y] : {std::pair{0, 0}, {39, 159}, {17, 93}, {4, 3}}) {
    EXPECT_EQ(m_dialog->PreviewSurface().Row(y)[x], Original(x * 10 / 40, y * 40 / 160));
    EXPECT_EQ(Shown(x, y), Original(x * 10 / 40, y * 40 / 160) & 0x00FFFFFFu);
  }
  // Nothing is chosen, so "実行" leaves the picture alone.
  Click("ApplyButton");
  EXPECT_EQ(Canvas().ActiveLayer()->Row(0)[0], Original(0, 0));
}

// ---- the scroll bars: steps, and the preview only at the end of an action ----

TEST_F(FilterDialogTest, ArrowsStepOnePagesAndEndsFiveAndThePreviewFollowsWhenTheActionEnds) {
  struct Case {
    const char* name;
    std::function<void(QScrollBar*)> act;
    int expected;  // from the default 10 of "Red" (0…255)
  };
  const Case cases[] = {
      {"right arrow", [](QScrollBar* bar) { QTest::mouseClick(bar, Qt::LeftButton, {}, PartCentre(bar, QStyle::SC_ScrollBarAddLine)); }, 11},
      {"left arrow", [](QScrollBar* bar) { QTest::mouseClick(bar, Qt::LeftButton, {}, PartCentre(bar, QStyle::SC_ScrollBarSubLine)); }, 9},
      {"page right", [](QScrollBar* bar) { QTest::mouseClick(bar, Qt::LeftButton, {}, PartCentre(bar, QStyle::SC_ScrollBarAddPage)); }, 15},
      {"key right", [](QScrollBar* bar) { QTest::keyClick(bar, Qt::Key_Right); }, 11},
      {"key end", [](QScrollBar* bar) { QTest::keyClick(bar, Qt::Key_End); }, 15},
      {"key home", [](QScrollBar* bar) { QTest::keyClick(bar, Qt::Key_Home); }, 5},
  };
  StartWithPicture(10, 40);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Choose("probe_name.so", "Bare");
    Choose("probe_name.so", "Fill");
    QApplication::processEvents();
    QScrollBar* bar = Bar(0);
    bar->setFocus();
    c.act(bar);
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), c.expected);
    EXPECT_EQ(ValueText(0), QString("p0=%1").arg(c.expected));
    EXPECT_EQ(m_dialog->PreviewSurface().Row(0)[0], Marker(kMarkExecute, 2, uint32_t(c.expected + 20)));
    EXPECT_EQ(m_dialog->CurrentValues(), (std::vector<int32_t>{c.expected, 20}));
  }
}

TEST_F(FilterDialogTest, DraggingTheThumbUpdatesValueTextAndPreviewOnlyWhenReleased) {
  StartWithPicture(10, 40);
  Choose("probe_name.so", "Fill");
  QScrollBar* bar = Bar(0);
  const QPoint thumb = PartCentre(bar, QStyle::SC_ScrollBarSlider);
  const QPoint page = PartCentre(bar, QStyle::SC_ScrollBarAddPage);
  QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
  QMouseEvent move(QEvent::MouseMove, QPointF(page), bar->mapToGlobal(QPointF(page)), Qt::NoButton, Qt::LeftButton, {});
  QApplication::sendEvent(bar, &move);
  QApplication::processEvents();
  const int dragged = bar->sliderPosition();
  ASSERT_GT(dragged, 15);
  EXPECT_EQ(ValueText(0), "p0=10");
  EXPECT_EQ(m_dialog->PreviewSurface().Row(0)[0], Marker(kMarkExecute, 2, 30));
  QTest::mouseRelease(bar, Qt::LeftButton, {}, page);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), dragged);
  EXPECT_EQ(ValueText(0), QString("p0=%1").arg(dragged));
  EXPECT_EQ(m_dialog->PreviewSurface().Row(0)[0], Marker(kMarkExecute, 2, uint32_t(dragged + 20)));
}

// ---- "実行": the real entry point in "Progress", undoable, through the selection ----

TEST_F(FilterDialogTest, ApplyRunsTheRealEntryOnTheLayerOrTheSelectionAndUndoGivesItBack) {
  struct Case {
    const char* name;
    const char* library;
    const char* filter;
    bool selection;  // a hard selection of (2, 3)–(6, 9) with a hole at (4, 5)
    uint32_t written;
  };
  const Case cases[] = {
      {"ProcessFilter on the layer", "probe_name.so", "Fill", false, Marker(kMarkProcessFilter, 2, 30)},
      {"ProcessFilter through the selection", "probe_name.so", "Fill", true, Marker(kMarkProcessFilter, 2, 30)},
      {"Execute when it is the only entry", "probe_both.so", "Named", false, Marker(kMarkBothNamed, 1, 1)},
      {"the alias interface", "probe_alias.so", "Stamp", false, Marker(kMarkAlias, 1, 50)},
  };
  StartWithPicture(10, 40);
  CVarnelDoc& doc = *ActiveView()->GetDocument();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.SetModifiedFlag(false);
    if (c.selection) {
      auto region = std::make_unique<Region>();
      ASSERT_EQ(region->Create({2, 3, 6, 9}, 255), 0);
      region->Row(5 - 3)[4 - 2] = 0;
      Canvas().SetSelection(std::move(region));
    } else {
      Canvas().ClearSelection();
    }
    Choose(c.library, c.filter);
    Click("ApplyButton");
    const Layer& layer = *Canvas().ActiveLayer();
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 10; ++x) {
        const bool inside = !c.selection || (x >= 2 && x <= 6 && y >= 3 && y <= 9 && !(x == 4 && y == 5));
        ASSERT_EQ(layer.Row(y)[x], inside ? c.written : Original(x, y)) << x << "," << y;
      }
    EXPECT_TRUE(doc.IsModified());
    ASSERT_NE(Canvas().Undo(), -1);
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(layer.Row(y)[x], Original(x, y)) << x << "," << y;
  }
}

TEST_F(FilterDialogTest, AfterARunThePreviewShowsTheLayerAsItIsNow) {
  // The alias probe writes nothing wider than 64 pixels, so the 160-pixel-wide preview of this
  // picture shows its source as loaded, while the run fills the 60-pixel-wide layer.
  StartWithPicture(60, 10);
  Choose("probe_alias.so", "Stamp");
  EXPECT_EQ(m_dialog->PreviewSurface().Row(0)[0], Original(0, 0));
  Click("ApplyButton");
  ASSERT_EQ(Canvas().ActiveLayer()->Row(0)[0], Marker(kMarkAlias, 1, 50));
  EXPECT_EQ(m_dialog->PreviewSurface().Row(0)[0], Marker(kMarkAlias, 1, 50));
}

TEST_F(FilterDialogTest, TheRunStartsFiftyMillisecondsAfterProgressShowsAndAbortStopsTheFilter) {
  StartWithPicture(10, 40);
  Choose("probe_name.so", "Fill");
  QElapsedTimer shown;
  bool seen = false;
  FilterProgressDialog::shownHookForTesting = [&](FilterProgressDialog& progress) {
    seen = true;
    EXPECT_EQ(progress.windowTitle(), "Progress");
    shown.start();
    QTest::mouseClick(progress.AbortButton(), Qt::LeftButton);
  };
  Click("ApplyButton");
  ASSERT_TRUE(seen);
  EXPECT_GE(shown.elapsed(), 50);
  // The probe writes a row, asks ProgressHandler, sees -1 and returns: the first row stays
  // written (the undo step covers it), the rest is untouched.
  const Layer& layer = *Canvas().ActiveLayer();
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(layer.Row(0)[x], Marker(kMarkProcessFilter, 2, 30));
  for (int32_t y = 1; y < 40; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(layer.Row(y)[x], Original(x, y));
}

// ---- "CopyParameter" ----

TEST_F(FilterDialogTest, CopyParameterPutsTheBatchLineOnTheClipboard) {
  struct Case {
    const char* library;
    const char* filter;
    const char* text;
  };
  const Case cases[] = {
      {"probe_name.so", "Fill", "probe_name.so:Fill:10,20"},
      {"probe_name.so", "Bare", "probe_name.so:Bare:"},
      {"probe_name.so", "Seven", "probe_name.so:Seven:1,11,21,31,41,51,61"},
      {"probe_alias.so", "Stamp", "probe_alias.so:Stamp:50"},
  };
  StartWithPicture(10, 40);
  for (const Case& c : cases) {
    Choose(c.library, c.filter);
    Click("CopyParameterButton");
    EXPECT_EQ(QApplication::clipboard()->text(), c.text);
  }
}

// ---- the command, its check mark, its keys and the dialog's place ----

TEST_F(FilterDialogTest, CtrlFTogglesTheDialogAtItsStoredPlaceWhichIsKeptWhenTheProgramEnds) {
  // The program folder's Filter/ holds the samples.
  setenv("VARNEL_HOME", VARNEL_PROGRAM_DIR, 1);
  m_profile->WriteInt("Settings", "FILTERUIXPOS", 120);
  m_profile->WriteInt("Settings", "FILTERUIYPOS", 90);
  Start({{"NEWIMAGESIZE", PackSize(20, 10)}});
  CMainFrame& frame = *m_app->MainFrame();
  QAction* command = frame.Command(cmd::kFilterDialog);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->shortcut(), QKeySequence("Ctrl+F"));
  command->trigger();
  QApplication::processEvents();
  auto* dialog = frame.findChild<FilterDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->pos(), QPoint(120, 90));
  frame.UpdateCommandStates();
  EXPECT_TRUE(command->isChecked());

  // The program's samples: Invert turns the opaque white picture black, as the view shows.
  auto* tree = dialog->findChild<QTreeWidget*>("FilterTree");
  const auto found = tree->findItems("Invert", Qt::MatchExactly | Qt::MatchRecursive);
  ASSERT_EQ(found.size(), 1);
  tree->setCurrentItem(found[0]);
  QTest::mouseClick(dialog->findChild<QPushButton*>("ApplyButton"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(ActiveView()->GetDocument()->GetCanvas().ActiveLayer()->Row(0)[0], 0xFF000000u);
  EXPECT_EQ(ViewPixel(ActiveView(), 25, 25), 0xFF000000u);
  EXPECT_TRUE(ActiveView()->GetDocument()->IsModified());

  // Keys in the dialog go to the main window's commands first: Ctrl+F hides it again.
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_FALSE(dialog->isVisible());
  frame.UpdateCommandStates();
  EXPECT_FALSE(command->isChecked());
  command->trigger();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(frame.findChildren<FilterDialog*>().size(), 1);
  EXPECT_EQ(tree->currentItem(), found[0]);

  dialog->move(200, 150);
  m_app.reset();
  QApplication::processEvents();
  EXPECT_EQ(m_profile->GetInt("Settings", "FILTERUIXPOS", 0), 200);
  EXPECT_EQ(m_profile->GetInt("Settings", "FILTERUIYPOS", 0), 150);
  unsetenv("VARNEL_HOME");
}

}  // namespace
}  // namespace varnel

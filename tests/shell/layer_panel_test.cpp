// The layer panel, driven with real input events on the offscreen platform. Coordinates are
// worked out from the item geometry: t = 55 for the active item and 40 for the others, item
// heights 65 and 50, the base layer's item at the top.

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QDropEvent>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/blend.h"
#include "document/bitmap_file.h"
#include "core/region.h"
#include "document/layer_commands.h"
#include "platform/host.h"
#include "shell/layer_panel.h"
#include "shell/varnel_doc.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::TempFolder;
using Part = LayerPanel::Part;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;

// Fills a layer without tile backups: the test sets up pictures, it does not paint.
void Fill(Layer& layer, uint32_t colour) {
  for (int32_t y = 0; y < layer.Height(); ++y)
    for (int32_t x = 0; x < layer.Width(); ++x) layer.Row(y)[x] = colour;
}

class LayerPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // cached.bmp goes to the program folder, mask files to the temporary folder.
    std::filesystem::create_directories(m_dir.Path() / "home");
    std::filesystem::create_directories(m_dir.Path() / "tmp");
    setenv("VARNEL_HOME", (m_dir.Path() / "home").c_str(), 1);
    setenv("TMPDIR", (m_dir.Path() / "tmp").c_str(), 1);
    m_previousHost = SetHost(&m_host);
    MakeDocument({20, 10}, 3);
  }

  void TearDown() override {
    m_panel.reset();
    m_doc.reset();
    SetHost(m_previousHost);
    unsetenv("VARNEL_HOME");
    unsetenv("TMPDIR");
    QApplication::processEvents();
  }

  // A document of the given size with `layers` layers (the base opaque white, the others
  // transparent), shown by a fresh panel.
  void MakeDocument(Size size, int layers) {
    m_panel.reset();
    m_doc = std::make_unique<CVarnelDoc>();
    ASSERT_TRUE(m_doc->OnNewDocument(size));
    for (int i = 1; i < layers; ++i) m_doc->GetCanvas().AddLayer();
    m_doc->SetModifiedFlag(false);
    m_panel = std::make_unique<LayerPanel>();
    m_panel->resize(320, 520);
    m_panel->show();
    m_panel->SetDocument(m_doc.get());
    QApplication::processEvents();
  }

  Canvas& GetCanvas() { return m_doc->GetCanvas(); }
  QWidget* Viewport() { return m_panel->List()->viewport(); }
  QScrollBar* VerticalBar() { return m_panel->List()->verticalScrollBar(); }

  // The item's top in the list's content, from the heights 65 (active) and 50.
  int ItemTop(int item) {
    int top = 0;
    for (int i = 0; i < item; ++i) top += i == GetCanvas().ActiveIndex() ? 65 : 50;
    return top;
  }
  int Side(int item) { return item == GetCanvas().ActiveIndex() ? 55 : 40; }
  // A point of an item in viewport coordinates.
  QPoint At(int item, int x, int y) {
    return QPoint(x, ItemTop(item) + y) - QPoint(m_panel->List()->horizontalScrollBar()->value(), VerticalBar()->value());
  }
  // A point on the item's name, away from every toggle, thumbnail and mask.
  QPoint Elsewhere(int item) { return At(item, 200, 45); }
  // The centre of a 22 × 22 icon at the item's left, top.
  QPoint Icon(int item, int left, int top) { return At(item, left + 11, top + 11); }
  QPoint VisibilityIcon(int item) { return Icon(item, 27 + Side(item), 4); }
  QPoint SecondToggle(int item) { return Icon(item, 27 + Side(item), 26); }
  QPoint MaskToggle(int item) { return Icon(item, 5, 4 + Side(item) / 2 - 11); }
  QPoint Thumbnail(int item) { return At(item, 27 + Side(item) / 2, 4 + Side(item) / 2); }

  void Click(QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(Viewport(), Qt::LeftButton, modifiers, point);
  }

  QImage Shot() { return Viewport()->grab().toImage(); }
  QRgb ShotPixel(QPoint p) { return Shot().pixel(p) | 0xFF000000u; }

  uint32_t CompositePixel(int x, int y) {
    uint32_t c = 0;
    EXPECT_EQ(m_doc->Picture().GetPixel(x, y, &c), 1);
    return c;
  }

  // Recomposes after the test changed pixels behind the canvas's back.
  void Recompose() {
    GetCanvas().ComposeAll();
    m_doc->UpdateAllViews();
  }

  int AddMask(Layer& layer) {
    Region region;
    EXPECT_EQ(region.Create({0, 0, 3, 3}, 255), 0);
    return layer.Masks().AddMask(region);
  }

  TempFolder m_dir;
  RecordingHost m_host;
  Host* m_previousHost = nullptr;
  std::unique_ptr<CVarnelDoc> m_doc;
  std::unique_ptr<LayerPanel> m_panel;
};

// --- thumbnail, active layer, item heights ----------------------------------------------------

TEST_F(LayerPanelTest, ClickingAThumbnailMakesItsLayerActiveAndTheItemHeights65And50) {
  QSignalSpy changed(m_panel.get(), &LayerPanel::layersChanged);
  ASSERT_EQ(GetCanvas().ActiveIndex(), 0);
  // Active item 0 (t = 55) is 65 high: item 2 starts at 65 + 50.
  Click(QPoint(27 + 20, 115 + 4 + 20));
  EXPECT_EQ(GetCanvas().ActiveIndex(), 2);
  EXPECT_EQ(GetCanvas().ActiveLayer(), GetCanvas().GetLayer(2));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_FALSE(m_doc->IsModified());

  EXPECT_EQ(m_panel->ItemTop(0), 0);
  EXPECT_EQ(m_panel->ItemHeight(0), 50);
  EXPECT_EQ(m_panel->ItemTop(1), 50);
  EXPECT_EQ(m_panel->ItemHeight(1), 50);
  EXPECT_EQ(m_panel->ItemTop(2), 100);
  EXPECT_EQ(m_panel->ItemHeight(2), 65);

  // The active thumbnail's frame is red, the others' black: corners of the t × t squares.
  const QImage shot = Shot();
  EXPECT_EQ(shot.pixel(27, 100 + 4) | 0xFF000000u, kRed);
  EXPECT_EQ(shot.pixel(27 + 54, 100 + 4 + 54) | 0xFF000000u, kRed);
  EXPECT_EQ(shot.pixel(27, 4) | 0xFF000000u, 0xFF000000u);
  EXPECT_EQ(shot.pixel(27 + 39, 50 + 4 + 39) | 0xFF000000u, 0xFF000000u);
}

TEST_F(LayerPanelTest, TheThumbnailIsTheLayerStretchedIntoTheSquareWithTransparencyAsChecks) {
  // Layer 0 (20 × 10): left half red, right half blue, stretched into the 53 × 53 inside of the
  // active item's frame. Thumbnail column x samples source column (2x + 1) × 20 / 106.
  Layer& base = *GetCanvas().GetLayer(0);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 20; ++x) base.Row(y)[x] = x < 10 ? kRed : kBlue;
  m_panel->Refresh();
  QImage shot = Shot();
  EXPECT_EQ(shot.pixel(28 + 0, 5 + 0) | 0xFF000000u, kRed);
  EXPECT_EQ(shot.pixel(28 + 25, 5 + 40) | 0xFF000000u, kRed);   // 51 × 20 / 106 = 9
  EXPECT_EQ(shot.pixel(28 + 26, 5 + 40) | 0xFF000000u, kBlue);  // 53 × 20 / 106 = 10
  EXPECT_EQ(shot.pixel(28 + 52, 5 + 52) | 0xFF000000u, kBlue);
  // Layer 1 is white with alpha 0: light checks of 4 pixels, 0xFF then 0xCC.
  EXPECT_EQ(shot.pixel(28 + 0, 65 + 5) | 0xFF000000u, 0xFFFFFFFFu);
  EXPECT_EQ(shot.pixel(28 + 4, 65 + 5) | 0xFF000000u, 0xFFCCCCCCu);
  EXPECT_EQ(shot.pixel(28 + 4, 65 + 5 + 4) | 0xFF000000u, 0xFFFFFFFFu);

  // A change of the active layer that reaches the views shows in its thumbnail at once.
  Fill(base, 0xFF00FF00u);
  base.AddDirtyRect(0, 0, 19, 9);
  Recompose();
  EXPECT_EQ(ShotPixel({28 + 52, 5 + 52}), 0xFF00FF00u);
  // Other layers' thumbnails are rebuilt on Refresh.
  Fill(*GetCanvas().GetLayer(1), kBlue);
  m_panel->Refresh();
  EXPECT_EQ(ShotPixel({28 + 4, 65 + 5}), kBlue);
}

// --- visibility, second toggle, mask toggle ----------------------------------------------------

TEST_F(LayerPanelTest, TheVisibilityIconTogglesTheFlagAndRecomposesTheViews) {
  Layer& top = *GetCanvas().GetLayer(2);
  Fill(top, kRed);
  Recompose();
  ASSERT_EQ(CompositePixel(5, 5), kRed);
  QSignalSpy pictures(m_doc.get(), &CVNDocument::pictureChanged);
  QSignalSpy changed(m_panel.get(), &LayerPanel::layersChanged);
  const QRect icon(27 + 40, 115 + 4, 22, 22);
  const QImage before = Shot().copy(icon);

  Click(VisibilityIcon(2));
  EXPECT_FALSE(top.IsVisible());
  EXPECT_EQ(CompositePixel(5, 5), kWhite);
  EXPECT_EQ(pictures.count(), 1);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(m_doc->IsModified());
  EXPECT_NE(Shot().copy(icon), before);  // the icon shows the other state

  Click(VisibilityIcon(2));
  EXPECT_TRUE(top.IsVisible());
  EXPECT_EQ(CompositePixel(5, 5), kRed);
  EXPECT_EQ(Shot().copy(icon), before);
  EXPECT_EQ(GetCanvas().ActiveIndex(), 0);  // the icon does not pick the layer
}

TEST_F(LayerPanelTest, TheSecondToggleFlipsBit0AndTheMaskToggleBit1OfTheItemsFlags) {
  const QRect second(27 + 40, 65 + 26, 22, 22);
  const QRect maskToggle(5, 65 + 4 + 20 - 11, 22, 22);
  const QImage before = Shot().copy(second);
  const QImage maskBefore = Shot().copy(maskToggle);
  Click(SecondToggle(1));
  EXPECT_EQ(m_panel->DisplayFlags(1), 1u);
  EXPECT_EQ(m_panel->DisplayFlags(0), 0u);
  EXPECT_NE(Shot().copy(second), before);
  EXPECT_EQ(Shot().copy(maskToggle), maskBefore);
  Click(MaskToggle(1));
  EXPECT_EQ(m_panel->DisplayFlags(1), 3u);
  EXPECT_NE(Shot().copy(maskToggle), maskBefore);
  Click(SecondToggle(1));
  EXPECT_EQ(m_panel->DisplayFlags(1), 2u);
  EXPECT_EQ(Shot().copy(second), before);
  Click(MaskToggle(1));
  EXPECT_EQ(m_panel->DisplayFlags(1), 0u);
  EXPECT_EQ(Shot().copy(maskToggle), maskBefore);
  // Neither toggle touches the layer.
  EXPECT_TRUE(GetCanvas().GetLayer(1)->IsVisible());
  EXPECT_EQ(GetCanvas().ActiveIndex(), 0);
  EXPECT_FALSE(m_doc->IsModified());
}

TEST_F(LayerPanelTest, ShowingMasksWidensTheListBy36PixelsAMask) {
  Layer& layer = *GetCanvas().GetLayer(1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(AddMask(layer), i);
  m_panel->Refresh();
  Click(Thumbnail(1));  // the active item is the widest while no masks show
  const int before = m_panel->ContentWidth();
  Click(MaskToggle(1));
  EXPECT_EQ(m_panel->ContentWidth(), before + 3 * 36);
  QScrollBar* bar = m_panel->List()->horizontalScrollBar();
  EXPECT_EQ(bar->maximum(), std::max(0, m_panel->ContentWidth() - Viewport()->width()));
  m_panel->resize(120, 520);
  QApplication::processEvents();
  EXPECT_EQ(bar->maximum(), m_panel->ContentWidth() - Viewport()->width());
  Click(MaskToggle(1));
  EXPECT_EQ(m_panel->ContentWidth(), before);
}

// --- the order in which the parts are tried --------------------------------------------------

TEST_F(LayerPanelTest, PartsAreTriedSecondToggleThumbnailVisibilityMaskToggleMasks) {
  // Points at the edges where the parts meet, on inactive item 1 (t = 40, top 65): each goes to
  // exactly one part, the first in the order that holds it.
  struct Case {
    const char* name;
    QPoint point;  // in the item
    Part part;
  };
  const Case cases[] = {
      {"second toggle's top-left, beside the thumbnail", {67, 26}, Part::kSecondToggle},
      {"thumbnail's right column at the second toggle's top", {66, 26}, Part::kThumbnail},
      {"visibility's bottom-left", {67, 25}, Part::kVisibility},
      {"second toggle's bottom-right", {88, 47}, Part::kSecondToggle},
      {"past the second toggle", {89, 47}, Part::kItem},
      {"mask toggle's right column", {26, 13}, Part::kMaskToggle},
      {"thumbnail's left column", {27, 13}, Part::kThumbnail},
      {"above the mask toggle", {15, 12}, Part::kItem},
      {"below the mask toggle", {15, 35}, Part::kItem},
      {"thumbnail's bottom row", {40, 43}, Part::kThumbnail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeDocument({20, 10}, 3);
    const Layer* layer = GetCanvas().GetLayer(1);
    const QPoint point = At(1, c.point.x(), c.point.y());
    EXPECT_EQ(m_panel->HitTest(point).part, c.part);
    Click(point);
    EXPECT_EQ(m_panel->DisplayFlags(1) & 1u, c.part == Part::kSecondToggle ? 1u : 0u);
    EXPECT_EQ(GetCanvas().ActiveIndex(), c.part == Part::kThumbnail || c.part == Part::kItem ? 1 : 0);
    EXPECT_EQ(layer->IsVisible(), c.part != Part::kVisibility);
    EXPECT_EQ(m_panel->DisplayFlags(1) & 2u, c.part == Part::kMaskToggle ? 2u : 0u);
    EXPECT_EQ(m_panel->SelectedIndices(), std::vector<int32_t>{c.part == Part::kItem || c.part == Part::kThumbnail ? 1 : 0});
  }
}

TEST_F(LayerPanelTest, ADoubleClickOnAMaskSwitchesItAndTheToggleTipsSayWhatTheyDo) {
  Layer& base = *GetCanvas().GetLayer(0);
  ASSERT_EQ(AddMask(base), 0);
  m_panel->Refresh();
  Click(MaskToggle(0));
  const QPoint mask = At(0, 49 + 55 + 16, 4 + 16);
  ASSERT_FALSE(base.Masks().IsEnabled(0));
  QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, mask);
  EXPECT_TRUE(base.Masks().IsEnabled(0));
  EXPECT_TRUE(m_doc->IsModified());
  QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, mask);
  EXPECT_FALSE(base.Masks().IsEnabled(0));
  const QPoint offset(m_panel->List()->horizontalScrollBar()->value(), VerticalBar()->value());
  for (const QPoint& toggle : {VisibilityIcon(0), SecondToggle(0), MaskToggle(0), Thumbnail(0), mask})
    EXPECT_FALSE(m_panel->ToolTipAt(toggle + offset).isEmpty()) << toggle.x() << "," << toggle.y();
  EXPECT_TRUE(m_panel->ToolTipAt(Elsewhere(0) + offset).isEmpty());
}

TEST_F(LayerPanelTest, ADoubleClickOnTheNameRenamesTheLayerAndCancelKeepsIt) {
  // The dialog is modal: answer it from the event loop it runs, by typing as a user would.
  const auto answer = [](const QString& text, bool accept) {
    QTimer::singleShot(0, [text, accept] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(dialog, nullptr);
      auto* edit = dialog->findChild<QLineEdit*>();
      ASSERT_NE(edit, nullptr);
      edit->selectAll();
      QTest::keyClicks(edit, text);
      QTest::keyClick(edit, accept ? Qt::Key_Return : Qt::Key_Escape);
    });
  };
  answer("sketch 2", true);
  QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, Elsewhere(1));
  EXPECT_EQ(GetCanvas().GetLayer(1)->Name(), "sketch 2");
  EXPECT_TRUE(m_doc->IsModified());
  m_doc->SetModifiedFlag(false);
  answer("x", false);
  QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, Elsewhere(1));
  EXPECT_EQ(GetCanvas().GetLayer(1)->Name(), "sketch 2");
  EXPECT_FALSE(m_doc->IsModified());
}

TEST_F(LayerPanelTest, AMaskClickSelectsTheMaskAndFramesItIn0x5050FF) {
  Layer& base = *GetCanvas().GetLayer(0);
  ASSERT_EQ(AddMask(base), 0);
  ASSERT_EQ(AddMask(base), 1);
  m_panel->Refresh();
  QSignalSpy selected(m_panel.get(), &LayerPanel::maskSelected);
  // Hidden masks are not there to click: the point is the item's own.
  Click(At(0, 49 + 55 + 36 + 16, 20));
  EXPECT_EQ(m_panel->SelectedMask(0), -1);
  Click(MaskToggle(0));
  ASSERT_EQ(m_panel->DisplayFlags(0), 2u);

  // Mask thumbnails at 49 + t + 36 × i: a region all selected is black, disabled ones crossed
  // in red from corner to corner.
  const int mask0 = 49 + 55;
  const int mask1 = 49 + 55 + 36;
  QImage shot = Shot();
  EXPECT_EQ(shot.pixel(mask0, 4) | 0xFF000000u, kRed);
  EXPECT_EQ(shot.pixel(mask0 + 31, 4 + 31) | 0xFF000000u, kRed);
  EXPECT_EQ(shot.pixel(mask0 + 5, 4 + 20) | 0xFF000000u, 0xFF000000u);

  Click(At(0, mask1 + 16, 4 + 16));
  EXPECT_EQ(m_panel->SelectedMask(0), 1);
  ASSERT_EQ(selected.count(), 1);
  EXPECT_EQ(selected[0][0].toInt(), 0);
  EXPECT_EQ(selected[0][1].toInt(), 1);
  shot = Shot();
  const QRgb frame = qRgb(0x50, 0x50, 0xFF);
  EXPECT_EQ(shot.pixel(mask1 - 1, 20) | 0xFF000000u, frame);
  EXPECT_EQ(shot.pixel(mask1 + 32, 20) | 0xFF000000u, frame);
  EXPECT_EQ(shot.pixel(mask1 + 16, 3) | 0xFF000000u, frame);
  EXPECT_NE(shot.pixel(mask0 - 1, 20) | 0xFF000000u, frame);

  // Enabled, the mask loses its cross.
  base.Masks().SetMaskEnabled(0, true);
  m_panel->Refresh();
  EXPECT_EQ(ShotPixel({mask0, 4}), 0xFF000000u);

  Click(At(0, mask0 + 2, 4 + 2));
  EXPECT_EQ(m_panel->SelectedMask(0), 0);
  EXPECT_EQ(GetCanvas().ActiveIndex(), 0);
}

// --- the panel's selection ---------------------------------------------------------------------

TEST_F(LayerPanelTest, ClicksSelectItemsCtrlAddsOrRemovesShiftExtendsARange) {
  MakeDocument({8, 8}, 6);
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{0}));  // the active layer
  Click(Elsewhere(2));
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{2}));
  EXPECT_EQ(GetCanvas().ActiveIndex(), 2);  // a plain click on the row activates, as the thumbnail does
  Click(Elsewhere(4), Qt::ControlModifier);
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(GetCanvas().ActiveIndex(), 2);  // with Ctrl or Shift it only selects
  Click(Elsewhere(2), Qt::ControlModifier);
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{4}));
  Click(Elsewhere(1), Qt::ShiftModifier);  // from the anchor 2
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{1, 2}));
  Click(Elsewhere(5), Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  Click(Elsewhere(3));
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{3}));
  EXPECT_EQ(GetCanvas().ActiveIndex(), 3);
  // A thumbnail click selects its item too.
  Click(Thumbnail(5), Qt::ControlModifier);
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{3, 5}));
  EXPECT_EQ(GetCanvas().ActiveIndex(), 5);
}

TEST_F(LayerPanelTest, TheSelectionFollowsItsLayersThroughCommandsAndGoesWithThem) {
  MakeDocument({8, 8}, 6);
  Click(Elsewhere(2));
  Click(Elsewhere(4), Qt::ControlModifier);
  GetCanvas().SwapLayers(3, 4);
  m_panel->Refresh();
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{2, 3}));
  ASSERT_EQ(GetCanvas().DeleteLayer(3), 0);
  m_panel->Refresh();
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{2}));
  // A command that makes another layer active selects it alone.
  GetCanvas().SetActiveLayer(3);
  m_panel->Refresh();
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{3}));
  // Deleting every selected layer leaves the active one selected.
  GetCanvas().SetActiveLayer(2);
  m_panel->Refresh();
  ASSERT_EQ(GetCanvas().DeleteLayer(2), 0);
  m_panel->Refresh();
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{GetCanvas().ActiveIndex()}));
}

TEST_F(LayerPanelTest, SelectedIndicesAreAscendingWhateverTheClickOrderSoDeletingFromTheLastIsSafe) {
  MakeDocument({8, 8}, 6);
  std::vector<Layer*> layers;
  for (int i = 0; i < 6; ++i) layers.push_back(GetCanvas().GetLayer(i));
  Click(Elsewhere(4));
  Click(Elsewhere(1), Qt::ControlModifier);
  Click(Elsewhere(3), Qt::ControlModifier);
  const std::vector<int32_t> selected = m_panel->SelectedIndices();
  EXPECT_EQ(selected, (std::vector<int32_t>{1, 3, 4}));
  // The delete command visits the indices from the last to the first: with them ascending every
  // index still names its layer when its turn comes.
  m_host.QueueAnswer(kIdYes);
  DeleteSelectedLayers(GetCanvas(), selected);
  m_panel->Refresh();
  ASSERT_EQ(GetCanvas().LayerCount(), 3);
  EXPECT_EQ(GetCanvas().GetLayer(0), layers[0]);
  EXPECT_EQ(GetCanvas().GetLayer(1), layers[2]);
  EXPECT_EQ(GetCanvas().GetLayer(2), layers[5]);
}

TEST_F(LayerPanelTest, TheSelectionHoldsAtMost1000Indices) {
  MakeDocument({1, 1}, 1101);
  ASSERT_EQ(GetCanvas().LayerCount(), 1101);
  Click(Elsewhere(0));
  // Item 1100 starts at 65 + 1099 × 50.
  VerticalBar()->setValue(65 + 1099 * 50 - 200);
  QApplication::processEvents();
  Click(Elsewhere(1100), Qt::ShiftModifier);
  std::vector<int32_t> selected = m_panel->SelectedIndices();
  ASSERT_EQ(selected.size(), 1000u);
  EXPECT_EQ(selected.front(), 0);
  EXPECT_EQ(selected.back(), 999);
  Click(Elsewhere(1100), Qt::ControlModifier);
  EXPECT_EQ(m_panel->SelectedIndices().size(), 1000u);
  EXPECT_EQ(m_panel->SelectedIndices().back(), 999);
  Click(Elsewhere(999), Qt::ControlModifier);
  EXPECT_EQ(m_panel->SelectedIndices().size(), 999u);
  Click(Elsewhere(1100), Qt::ControlModifier);
  selected = m_panel->SelectedIndices();
  ASSERT_EQ(selected.size(), 1000u);
  EXPECT_EQ(selected.back(), 1100);
  m_panel->SetSelectedIndices(std::vector<int32_t>(1200, 7));
  EXPECT_EQ(m_panel->SelectedIndices(), (std::vector<int32_t>{7}));
  std::vector<int32_t> all(1101);
  for (int32_t i = 0; i < 1101; ++i) all[static_cast<size_t>(i)] = i;
  m_panel->SetSelectedIndices(all);
  EXPECT_EQ(m_panel->SelectedIndices().size(), 1000u);
}

// --- dragging ----------------------------------------------------------------------------------

TEST_F(LayerPanelTest, ADragStartsOnlyAfterMoreThan8PixelsOfTravel) {
  struct Case {
    QPoint move;
    bool drags;
  };
  const Case cases[] = {
      {{8, 0}, false}, {{0, -8}, false}, {{4, 4}, false}, {{-5, -3}, false},
      {{9, 0}, true},  {{0, 9}, true},   {{-4, 5}, true}, {{5, -4}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.move.x() << "," << c.move.y());
    int drags = 0;
    const Layer* dragged = nullptr;
    m_panel->execDrag = [&](QDrag& drag) {
      ++drags;
      const auto* data = qobject_cast<const LayerMimeData*>(drag.mimeData());
      dragged = data ? data->SourceLayer() : nullptr;
      return Qt::IgnoreAction;
    };
    const QPoint start = Elsewhere(1);
    QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(Viewport(), start + c.move);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, start + c.move);
    EXPECT_EQ(drags, c.drags ? 1 : 0);
    if (c.drags) {
      EXPECT_EQ(dragged, GetCanvas().GetLayer(1));
    }
  }
}

TEST_F(LayerPanelTest, ADraggedLayerIsOfferedAsCachedBmpWrittenOnlyWhenAsked) {
  Layer& layer = *GetCanvas().GetLayer(1);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 20; ++x) layer.Row(y)[x] = (uint32_t(x * 12) << 24) | (uint32_t(x * 10) << 16) | (uint32_t(y * 20) << 8) | 7u;
  const std::filesystem::path file = m_dir.Path() / "home" / "cached.bmp";
  bool existedBeforeAsking = true;
  QList<QUrl> urls;
  QByteArray bytes;
  m_panel->execDrag = [&](QDrag& drag) {
    const QMimeData* data = drag.mimeData();
    EXPECT_TRUE(data->hasFormat("text/uri-list"));
    EXPECT_TRUE(data->formats().contains("text/uri-list"));
    existedBeforeAsking = std::filesystem::exists(file);
    urls = data->urls();
    bytes = data->data("text/uri-list");
    return Qt::CopyAction;
  };
  const QPoint start = Elsewhere(1);
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseMove(Viewport(), start + QPoint(0, 9));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, start + QPoint(0, 9));

  EXPECT_FALSE(existedBeforeAsking);
  ASSERT_EQ(urls.size(), 1);
  EXPECT_EQ(urls[0], QUrl::fromLocalFile(QString::fromStdString(file.string())));
  EXPECT_EQ(bytes, urls[0].toEncoded() + "\r\n");
  // A 24-bit bitmap of the layer: the colours, alpha dropped.
  ImageSurface read;
  std::string message;
  ASSERT_EQ(ReadBitmapFile(file.string(), read, message), 0) << message;
  ASSERT_EQ(read.GetSize(), (Size{20, 10}));
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 20; ++x)
      ASSERT_EQ(read.Row(y)[x], 0xFF000000u | (uint32_t(x * 10) << 16) | (uint32_t(y * 20) << 8) | 7u) << x << "," << y;
}

TEST_F(LayerPanelTest, ALayerDeletedDuringItsDragIsNotWritten) {
  const std::filesystem::path file = m_dir.Path() / "home" / "cached.bmp";
  QList<QUrl> urls{QUrl("file:///placeholder")};
  m_panel->execDrag = [&](QDrag& drag) {
    EXPECT_EQ(GetCanvas().DeleteLayer(2), 0);
    urls = drag.mimeData()->urls();
    return Qt::IgnoreAction;
  };
  const QPoint start = Elsewhere(2);
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseMove(Viewport(), start + QPoint(9, 0));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, start + QPoint(9, 0));
  EXPECT_TRUE(urls.isEmpty());
  EXPECT_FALSE(std::filesystem::exists(file));
}

// Drops data at a point of the viewport as the platform's drag loop would.
bool DropAt(QWidget* viewport, const QMimeData* data, QPoint point) {
  QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QDragMoveEvent move(point, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
  QDropEvent drop(point, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  return drop.isAccepted();
}

TEST_F(LayerPanelTest, DroppingADraggedItemOnAnotherSwapsTheirLayers) {
  Fill(*GetCanvas().GetLayer(1), kRed);
  Fill(*GetCanvas().GetLayer(2), kBlue);
  Recompose();
  ASSERT_EQ(CompositePixel(3, 3), kBlue);
  Layer* first = GetCanvas().GetLayer(1);
  Layer* second = GetCanvas().GetLayer(2);
  QSignalSpy changed(m_panel.get(), &LayerPanel::layersChanged);
  bool accepted = false;
  m_panel->execDrag = [&](QDrag& drag) {
    accepted = DropAt(Viewport(), drag.mimeData(), Elsewhere(2));
    return Qt::MoveAction;
  };
  const QPoint start = Elsewhere(1);
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseMove(Viewport(), start + QPoint(0, 9));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, start + QPoint(0, 9));

  EXPECT_TRUE(accepted);
  EXPECT_EQ(GetCanvas().GetLayer(1), second);
  EXPECT_EQ(GetCanvas().GetLayer(2), first);
  EXPECT_EQ(CompositePixel(3, 3), kRed);
  EXPECT_EQ(changed.count(), 2);  // the press made it active, the drop swapped
  EXPECT_TRUE(m_doc->IsModified());
  // Pressing on the row made the dragged layer active, and it stays active at its new place.
  EXPECT_EQ(GetCanvas().ActiveLayer(), first);
  // The internal drop never asked for the file.
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "home" / "cached.bmp"));
  // The thumbnails changed places.
  EXPECT_EQ(ShotPixel(At(1, 30, 8)), kBlue);
  EXPECT_EQ(ShotPixel(At(2, 30, 8)), kRed);
}

TEST_F(LayerPanelTest, SwappingTheActiveLayerKeepsItActiveAtItsNewPlace) {
  Click(Thumbnail(1));
  Layer* active = GetCanvas().ActiveLayer();
  m_panel->execDrag = [&](QDrag& drag) {
    EXPECT_TRUE(DropAt(Viewport(), drag.mimeData(), Elsewhere(2)));
    return Qt::MoveAction;
  };
  const QPoint start = Elsewhere(1);
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseMove(Viewport(), start + QPoint(0, 9));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, start + QPoint(0, 9));
  EXPECT_EQ(GetCanvas().GetLayer(2), active);
  EXPECT_EQ(GetCanvas().ActiveIndex(), 2);
  EXPECT_EQ(GetCanvas().ActiveLayer(), active);
  EXPECT_EQ(m_panel->ItemHeight(2), 65);
}

TEST_F(LayerPanelTest, OnlyThisPanelsLayerDroppedOnAnotherItemSwaps) {
  Layer* layers[] = {GetCanvas().GetLayer(0), GetCanvas().GetLayer(1), GetCanvas().GetLayer(2)};
  auto unchanged = [&] {
    for (int i = 0; i < 3; ++i)
      if (GetCanvas().GetLayer(i) != layers[i]) return false;
    return true;
  };
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile("/tmp/x.bmp")});
  EXPECT_FALSE(DropAt(Viewport(), &files, Elsewhere(2)));
  EXPECT_FALSE(m_panel->DropSwap(&files, Elsewhere(2)));

  LayerMimeData self(m_panel.get(), m_doc.get(), layers[1]);
  EXPECT_FALSE(DropAt(Viewport(), &self, Elsewhere(1)));  // on itself
  EXPECT_FALSE(DropAt(Viewport(), &self, At(2, 10, 200)));  // below the last item
  LayerPanel other;
  LayerMimeData foreign(&other, m_doc.get(), layers[1]);
  EXPECT_FALSE(DropAt(Viewport(), &foreign, Elsewhere(2)));
  CVarnelDoc otherDoc;
  ASSERT_TRUE(otherDoc.OnNewDocument({4, 4}));
  LayerMimeData otherDocument(m_panel.get(), &otherDoc, otherDoc.GetCanvas().GetLayer(0));
  EXPECT_FALSE(DropAt(Viewport(), &otherDocument, Elsewhere(2)));
  EXPECT_TRUE(unchanged());

  EXPECT_EQ(m_panel->DropSwap(&self, Elsewhere(2)), std::make_optional(std::make_pair(1, 2)));
  EXPECT_EQ(m_panel->DropSwap(&self, Elsewhere(0)), std::make_optional(std::make_pair(1, 0)));
  EXPECT_TRUE(DropAt(Viewport(), &self, Elsewhere(0)));
  EXPECT_EQ(GetCanvas().GetLayer(0), layers[1]);
  EXPECT_EQ(GetCanvas().GetLayer(1), layers[0]);
}

// --- blend mode and opacity ----------------------------------------------------------------------

TEST_F(LayerPanelTest, TheModeBoxListsThe27ModesByNameAndSetsTheActiveLayersMode) {
  QComboBox* box = m_panel->BlendModeBox();
  ASSERT_EQ(box->count(), 27);
  for (int mode = 0; mode < 27; ++mode) {
    const std::string_view name = BlendModeName(BlendMode{mode});
    EXPECT_EQ(box->itemText(mode).toStdString(), std::string(name)) << mode;
  }
  // Base 0xFF80C040 under an opaque 0xFF6040A0 in mode 1 (multiply): each channel is
  // (b × s + 127) / 255, and the display frame at full coverage shows it exactly.
  Fill(*GetCanvas().GetLayer(0), 0xFF80C040u);
  Fill(*GetCanvas().GetLayer(1), 0xFF6040A0u);
  Recompose();
  Click(Thumbnail(1));
  ASSERT_EQ(box->currentIndex(), 0);
  QSignalSpy changed(m_panel.get(), &LayerPanel::layersChanged);
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Down);
  EXPECT_EQ(box->currentText(), "乗算");
  EXPECT_EQ(GetCanvas().GetLayer(1)->BlendMode(), BlendMode::kMultiply);
  EXPECT_TRUE(m_doc->IsModified());
  EXPECT_EQ(changed.count(), 1);
  auto mul = [](uint32_t b, uint32_t s) { return (b * s + 127) / 255; };
  EXPECT_EQ(CompositePixel(2, 2), 0xFF000000u | (mul(0x80, 0x60) << 16) | (mul(0xC0, 0x40) << 8) | mul(0x40, 0xA0));

  // The box shows the active layer's mode.
  GetCanvas().GetLayer(0)->SetBlendMode(BlendMode::kXor);
  Click(Thumbnail(0));
  EXPECT_EQ(box->currentText(), "排他的論理和");
  Click(Thumbnail(1));
  EXPECT_EQ(box->currentIndex(), 1);
}

TEST_F(LayerPanelTest, TheOpacityEditSetsTheActiveLayersOpacity) {
  Fill(*GetCanvas().GetLayer(1), kRed);
  Recompose();
  Click(Thumbnail(1));
  QSpinBox* spin = m_panel->OpacityBox();
  QSlider* slider = m_panel->OpacitySlider();
  EXPECT_EQ(spin->value(), 100);
  EXPECT_EQ(slider->value(), 100);
  spin->setFocus();
  QLineEdit* edit = spin->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  QTest::keyClicks(edit, "40");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(GetCanvas().GetLayer(1)->Opacity(), 40);
  EXPECT_EQ(slider->value(), 40);
  EXPECT_TRUE(m_doc->IsModified());
  // Red over white at opacity 40: t = 255 × 40 / 100 = 102; green and blue become
  // 255 + ((0 − 255) × 102 >> 8) = 153.
  EXPECT_EQ(CompositePixel(4, 4), 0xFFFF9999u);

  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_Home);
  EXPECT_EQ(GetCanvas().GetLayer(1)->Opacity(), 0);
  EXPECT_EQ(spin->value(), 0);
  EXPECT_EQ(CompositePixel(4, 4), kWhite);

  // The other layer's opacity shows when it becomes active.
  GetCanvas().GetLayer(0)->SetOpacity(77);
  Click(Thumbnail(0));
  EXPECT_EQ(spin->value(), 77);
  EXPECT_EQ(slider->value(), 77);
  EXPECT_EQ(GetCanvas().GetLayer(1)->Opacity(), 0);
}

// --- buttons, refresh, documents -----------------------------------------------------------------

TEST_F(LayerPanelTest, TheButtonsAskForTheLayerCommandsByMenuId) {
  QSignalSpy asked(m_panel.get(), &LayerPanel::commandRequested);
  const std::pair<const char*, int> buttons[] = {
      {"NewLayerButton", 33188},    {"DuplicateLayerButton", 33086}, {"MoveLayerUpButton", 33087},
      {"MoveLayerDownButton", 33088}, {"DeleteLayersButton", 32911},
  };
  for (const auto& [name, id] : buttons) {
    auto* button = m_panel->findChild<QToolButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(asked.count(), 1) << name;
    EXPECT_EQ(asked.takeFirst()[0].toInt(), id) << name;
  }
  // The panel only asks: the canvas is as it was.
  EXPECT_EQ(GetCanvas().LayerCount(), 3);
  EXPECT_EQ(GetCanvas().ActiveIndex(), 0);
}

TEST_F(LayerPanelTest, RefreshShowsLayersAddedBehindThePanel) {
  GetCanvas().AddLayer();
  m_panel->Refresh();
  // Four items: 65 + 3 × 50.
  EXPECT_EQ(m_panel->ItemAt(65 + 3 * 50 - 1), 3);
  EXPECT_EQ(m_panel->ItemAt(65 + 3 * 50), -1);
  Click(Thumbnail(3));
  EXPECT_EQ(GetCanvas().ActiveIndex(), 3);
}

TEST_F(LayerPanelTest, TheDocumentsDestructionLeavesAnEmptyPanel) {
  Click(MaskToggle(1));
  m_doc.reset();
  EXPECT_EQ(m_panel->Document(), nullptr);
  EXPECT_TRUE(m_panel->SelectedIndices().empty());
  EXPECT_EQ(m_panel->DisplayFlags(1), 0u);
  EXPECT_FALSE(m_panel->BlendModeBox()->isEnabled());
  EXPECT_FALSE(m_panel->OpacityBox()->isEnabled());
  const QImage shot = Shot();  // paints nothing, and does not crash
  EXPECT_EQ(shot.pixel(27, 4), Viewport()->palette().color(QPalette::Base).rgb());
  Click(QPoint(40, 20));
  QTest::keyClick(m_panel->BlendModeBox(), Qt::Key_Down);
  m_panel->Refresh();
  EXPECT_TRUE(m_panel->SelectedIndices().empty());
}

TEST_F(LayerPanelTest, AnotherDocumentReplacesTheFirst) {
  Click(SecondToggle(1));
  CVarnelDoc second;
  ASSERT_TRUE(second.OnNewDocument({5, 5}));
  second.GetCanvas().AddLayer();
  m_panel->SetDocument(&second);
  EXPECT_EQ(m_panel->Document(), &second);
  EXPECT_EQ(m_panel->DisplayFlags(1), 0u);
  EXPECT_EQ(m_panel->ItemAt(65 + 50), -1);
  // The first document's changes no longer reach the panel.
  QSignalSpy changed(m_panel.get(), &LayerPanel::layersChanged);
  m_doc.reset();
  EXPECT_EQ(m_panel->Document(), &second);
  m_panel->SetDocument(nullptr);
  EXPECT_EQ(m_panel->Document(), nullptr);
  EXPECT_EQ(changed.count(), 0);
}

}  // namespace
}  // namespace varnel

// Selection changes as undo steps: in order with painting in the drawing target's history,
// the redo branch, a layer that goes away, and steps that never reach a step file.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/canvas.h"
#include "core/selection_step.h"
#include "core/undo.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> StepFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(UndoFolder())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kUndoFilePrefix, 0) == 0) files.push_back(entry.path());
  }
  return files;
}

std::unique_ptr<Region> MakeRegion(Rect rect, uint8_t fill) {
  auto region = std::make_unique<Region>();
  EXPECT_EQ(region->Create(rect, fill), 0);
  return region;
}

std::unique_ptr<Layer> MakeLayer(Size size, uint32_t fill) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create(size), 0);
  for (int32_t r = 0; r < size.height; ++r) std::fill_n(layer->Row(r), size.width, fill);
  return layer;
}

uint32_t PixelAt(const ImageSurface& surface, int32_t x, int32_t y) {
  uint32_t colour = 0;
  surface.GetPixel(x, y, &colour);
  return colour;
}

// A painting step on the active layer, as a tool's change becomes one.
void Paint(Canvas& canvas, int32_t x, int32_t y, uint32_t colour) {
  Layer& layer = *canvas.ActiveLayer();
  const uint32_t block[4] = {colour, colour, colour, colour};
  layer.SetRect({x, y, x + 1, y + 1}, block);
  layer.Undo().PushUndoStep(layer, false);
}

// The selection as its bounds, or nothing.
std::optional<Rect> SelectionBounds(const Canvas& canvas) {
  if (canvas.Selection() == nullptr) return std::nullopt;
  return canvas.Selection()->Bounds();
}

class SelectionUndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartSpillWriter();
    canvas.InitWithLayer(MakeLayer({32, 32}, 0xFFFFFFFFu));
  }
  void TearDown() override {
    StopSpillWriter();
    SetUndoStepRecordedHandler(nullptr);
  }

  Canvas canvas;
};

TEST_F(SelectionUndoTest, UndoAndRedoWalkSelectionAndPaintingStepsInOrder) {
  const Rect first{1, 1, 4, 4}, second{10, 10, 20, 12};
  Paint(canvas, 0, 0, 0xFF0000FFu);                                // step 1: paint
  canvas.ReplaceSelection(MakeRegion(first, 255), true);           // step 2: select
  Paint(canvas, 8, 8, 0xFF00FF00u);                                // step 3: paint (through no facade here)
  canvas.ReplaceSelection(MakeRegion(second, 128), true);          // step 4: select again
  const Layer& layer = *canvas.ActiveLayer();
  ASSERT_EQ(layer.Undo().StepCount(), 4u);
  ASSERT_EQ(layer.Undo().Position(), 4);

  struct State {
    std::optional<Rect> selection;
    uint32_t first, second;
  };
  const State states[] = {
      {std::nullopt, 0xFFFFFFFFu, 0xFFFFFFFFu},  // before anything
      {std::nullopt, 0xFF0000FFu, 0xFFFFFFFFu},  // after step 1
      {first, 0xFF0000FFu, 0xFFFFFFFFu},         // after step 2
      {first, 0xFF0000FFu, 0xFF00FF00u},         // after step 3
      {second, 0xFF0000FFu, 0xFF00FF00u},        // after step 4
  };
  auto expectState = [&](int at) {
    SCOPED_TRACE(at);
    EXPECT_EQ(SelectionBounds(canvas), states[at].selection);
    EXPECT_EQ(PixelAt(layer, 0, 0), states[at].first);
    EXPECT_EQ(PixelAt(layer, 9, 9), states[at].second);
    EXPECT_EQ(layer.Undo().Position(), at);
  };
  for (int at = 3; at >= 0; --at) {
    EXPECT_EQ(canvas.Undo(), 0);
    expectState(at);
  }
  EXPECT_EQ(canvas.Undo(), -1);
  expectState(0);
  for (int at = 1; at <= 4; ++at) {
    EXPECT_EQ(canvas.Redo(), 0);
    expectState(at);
  }
  // The region that comes back is the very selection, bytes and all.
  ASSERT_NE(canvas.Selection(), nullptr);
  EXPECT_EQ(canvas.Selection()->At(15, 11), 128);
}

TEST_F(SelectionUndoTest, AChangeAfterUndoDiscardsTheUndoneSelectionSteps) {
  canvas.ReplaceSelection(MakeRegion({0, 0, 3, 3}, 255), true);
  canvas.ReplaceSelection(MakeRegion({5, 5, 6, 6}, 255), true);
  EXPECT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(SelectionBounds(canvas), (Rect{0, 0, 3, 3}));
  Paint(canvas, 2, 2, 0xFF123456u);
  const Layer& layer = *canvas.ActiveLayer();
  EXPECT_EQ(layer.Undo().StepCount(), 2u);
  EXPECT_EQ(layer.Undo().Position(), 2);
  EXPECT_EQ(canvas.Redo(), 0);  // nothing to redo
  EXPECT_EQ(SelectionBounds(canvas), (Rect{0, 0, 3, 3}));
  // A selection change after an undo discards the redo branch just the same.
  EXPECT_EQ(canvas.Undo(), 0);
  canvas.ReplaceSelection(MakeRegion({7, 7, 8, 8}, 255), true);
  EXPECT_EQ(layer.Undo().StepCount(), 2u);
  EXPECT_EQ(PixelAt(layer, 2, 2), 0xFFFFFFFFu);
  EXPECT_EQ(canvas.Redo(), 0);
  EXPECT_EQ(PixelAt(layer, 2, 2), 0xFFFFFFFFu);
}

TEST_F(SelectionUndoTest, StepOfADeletedLayerGoesWithItAndLeavesTheSelectionAlone) {
  canvas.AppendLayer(MakeLayer({32, 32}, 0x00FFFFFFu), false);
  canvas.SetActiveLayer(1);
  canvas.ReplaceSelection(MakeRegion({2, 2, 5, 5}, 255), true);
  ASSERT_EQ(canvas.GetLayer(1)->Undo().StepCount(), 1u);
  ASSERT_EQ(canvas.DeleteLayer(1), 0);
  ASSERT_EQ(canvas.ActiveIndex(), 0);
  EXPECT_EQ(canvas.Undo(), -1);  // layer 0 has no history
  EXPECT_EQ(SelectionBounds(canvas), (Rect{2, 2, 5, 5}));
  // The facade follows the remaining layer.
  EXPECT_NE(canvas.DrawingTarget(), canvas.ActiveLayer());
  EXPECT_TRUE(canvas.DrawingTarget()->IsType("IMAGEREGION"));
}

TEST_F(SelectionUndoTest, SelectionStepsNeverReachAStepFile) {
  for (int i = 0; i < 5; ++i) canvas.ReplaceSelection(MakeRegion({i, i, i + 3, i + 3}, 255), true);
  for (int i = 0; i < 5; ++i) canvas.Undo();
  for (int i = 0; i < 5; ++i) canvas.Redo();
  EXPECT_TRUE(StepFiles().empty());
  UndoStep& step = *canvas.ActiveLayer()->Undo().Step(0);
  EXPECT_FALSE(step.IsSpillable());
  EXPECT_EQ(SpillNow(step), 0);
  EXPECT_EQ(SpillLater(step), 0);
  EXPECT_FALSE(step.IsBusy());
  EXPECT_TRUE(step.resident);
  EXPECT_EQ(Reload(step), 0);
  EXPECT_TRUE(StepFiles().empty());
  EXPECT_EQ(SelectionBounds(canvas), (Rect{4, 4, 7, 7}));
}

TEST_F(SelectionUndoTest, UndoAndRedoTellTheViewAndRebindTheFacade) {
  int changes = 0;
  canvas.onSelectionChanged = [&] { ++changes; };
  canvas.ReplaceSelection(MakeRegion({0, 0, 9, 9}, 255), true);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(canvas.DrawingTarget()->IsType("IMAGEREGION"));
  canvas.Undo();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(canvas.Selection(), nullptr);
  EXPECT_EQ(canvas.DrawingTarget(), canvas.ActiveLayer());
  canvas.Redo();
  EXPECT_EQ(changes, 3);
  EXPECT_TRUE(canvas.DrawingTarget()->IsType("IMAGEREGION"));
  // Drawing through the facade after the redo is confined to the restored selection.
  canvas.DrawingTarget()->SetPixel(20, 20, 0xFF000000u);
  canvas.DrawingTarget()->SetPixel(5, 5, 0xFF000000u);
  EXPECT_EQ(PixelAt(*canvas.ActiveLayer(), 20, 20), 0xFFFFFFFFu);
  EXPECT_EQ(PixelAt(*canvas.ActiveLayer(), 5, 5), 0xFF000000u);
  canvas.ActiveLayer()->RevertUncommitted();
}

TEST_F(SelectionUndoTest, ARecordedSelectionStepMarksTheDocumentModified) {
  int recorded = 0;
  SetUndoStepRecordedHandler([&](ImageSurface&) { ++recorded; });
  canvas.ReplaceSelection(MakeRegion({0, 0, 1, 1}, 255), true);
  EXPECT_EQ(recorded, 1);
  canvas.ReplaceSelection(MakeRegion({0, 0, 2, 2}, 255), false);
  EXPECT_EQ(recorded, 1);
  EXPECT_EQ(canvas.ActiveLayer()->Undo().StepCount(), 1u);
  EXPECT_EQ(SelectionBounds(canvas), (Rect{0, 0, 2, 2}));
}

TEST_F(SelectionUndoTest, NoSelectionBeforeAndAfterRecordsNothing) {
  canvas.ReplaceSelection(nullptr, true);
  canvas.ReplaceSelection(std::make_unique<Region>(), true);  // empty counts as none
  EXPECT_EQ(canvas.ActiveLayer()->Undo().StepCount(), 0u);
  canvas.ReplaceSelection(MakeRegion({0, 0, 1, 1}, 255), true);
  canvas.ReplaceSelection(std::make_unique<Region>(), true);  // a deselect that can be undone
  EXPECT_EQ(canvas.Selection(), nullptr);
  EXPECT_EQ(canvas.ActiveLayer()->Undo().StepCount(), 2u);
  canvas.Undo();
  EXPECT_EQ(SelectionBounds(canvas), (Rect{0, 0, 1, 1}));
}

TEST_F(SelectionUndoTest, WhileAMaskImageIsEditedTheStepGoesToItsHistory) {
  auto mask = std::make_unique<ImageSurface>();
  ASSERT_EQ(mask->CreateWithAlpha({32, 32}, 255), 0);
  ImageSurface* edited = mask.get();
  canvas.EditMaskImage(std::move(mask));
  canvas.ReplaceSelection(MakeRegion({3, 3, 4, 4}, 255), true);
  EXPECT_EQ(edited->Undo().StepCount(), 1u);
  EXPECT_EQ(canvas.ActiveLayer()->Undo().StepCount(), 0u);
  canvas.Undo();
  EXPECT_EQ(canvas.Selection(), nullptr);
  canvas.EndMaskEdit();
}

}  // namespace
}  // namespace varnel

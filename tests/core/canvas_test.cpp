// The canvas: the layer stack, composition against a per-pixel reference, merging, the layer
// commands and undo at canvas level.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "core/blend.h"
#include "core/canvas.h"
#include "platform/host.h"

namespace varnel {
namespace {

std::unique_ptr<Layer> MakeLayer(Size size, uint32_t fill, int32_t x = 0, int32_t y = 0) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create(size), 0);
  for (int32_t r = 0; r < size.height; ++r) std::fill_n(layer->Row(r), size.width, fill);
  layer->SetOffset(x, y);
  return layer;
}

uint32_t CompositeAt(const Canvas& canvas, int32_t x, int32_t y) {
  uint32_t pixel = 0;
  canvas.Composite().GetPixel(x, y, &pixel);
  return pixel;
}

// The display composition of one canvas pixel, straight from the rules, one pixel at a time.
uint32_t ReferencePixel(const Canvas& canvas, int32_t x, int32_t y) {
  uint32_t d = 0xFFFFFFFFu;
  for (int32_t i = 0; i < canvas.LayerCount(); ++i) {
    const Layer& layer = *canvas.GetLayer(i);
    if (!layer.IsVisible()) continue;
    uint32_t u;
    if (!layer.GetPixel(x - layer.OffsetX(), y - layer.OffsetY(), &u)) continue;
    if (layer.Masks().HasEnabledMask()) {
      uint8_t c = static_cast<uint8_t>(u >> 24);
      for (int32_t m = 0; m < layer.Masks().Count(); ++m) {
        if (!layer.Masks().IsEnabled(m)) continue;
        const Region* region = layer.Masks().EnabledRegion(m);
        const uint32_t mask = region ? region->At(x, y) : 0;
        c = static_cast<uint8_t>(((mask + 1) * c) >> 8);
      }
      blend_reference::MergeRun(ModeNumber(layer.BlendMode()), &d, &u, &c, OpacityWeight(layer.Opacity()), &d, 1);
    } else {
      blend_reference::DisplayRun(ModeNumber(layer.BlendMode()), &d, &u, layer.OpacityTable(), 1);
    }
  }
  return d;
}

// A random stack: sizes, offsets partly outside, every mode, hidden layers, masks, opacities.
void RandomStack(Canvas& canvas, std::mt19937& random, Size canvasSize) {
  canvas.InitWithLayer(MakeLayer(canvasSize, 0xFF808080u));
  const int32_t opacities[] = {0, 1, 50, 99, 100};
  const int32_t layers = 2 + int32_t(random() % 5);
  for (int32_t i = 0; i < layers; ++i) {
    const Size size{1 + int32_t(random() % 40), 1 + int32_t(random() % 40)};
    auto layer = MakeLayer(size, 0, int32_t(random() % 50) - 10, int32_t(random() % 50) - 10);
    for (int32_t r = 0; r < size.height; ++r)
      for (int32_t c = 0; c < size.width; ++c) layer->Row(r)[c] = random();
    layer->SetBlendMode(BlendMode{int32_t(random() % 27)});
    layer->SetOpacity(opacities[random() % 5]);
    layer->SetVisible(random() % 5 != 0);
    if (random() % 3 == 0) {
      Region mask;
      const int32_t left = int32_t(random() % 40) - 5, top = int32_t(random() % 40) - 5;
      ASSERT_EQ(mask.Create({left, top, left + 15, top + 15}, 0), 0);
      for (int32_t r = 0; r < 16; ++r)
        for (int32_t c = 0; c < 16; ++c) mask.Row(r)[c] = static_cast<uint8_t>(random());
      const int32_t index = layer->Masks().AddMask(mask);
      ASSERT_GE(index, 0);
      if (random() % 2 == 0) layer->Masks().SetMaskEnabled(index, true);
    }
    canvas.AppendLayer(std::move(layer), false);
  }
}

TEST(CanvasCompose, RandomStacksMatchThePerPixelReference) {
  const unsigned seed = 606;
  std::mt19937 random(seed);
  for (int trial = 0; trial < 30; ++trial) {
    Canvas canvas;
    RandomStack(canvas, random, {37, 29});
    canvas.ComposeAll();
    for (int32_t y = 0; y < 29; ++y)
      for (int32_t x = 0; x < 37; ++x)
        ASSERT_EQ(CompositeAt(canvas, x, y), ReferencePixel(canvas, x, y))
            << "seed " << seed << " trial " << trial << " at " << x << "," << y;
    EXPECT_EQ(canvas.Composite().DirtyRect(), (Rect{0, 0, 36, 28}));
  }
}

TEST(CanvasCompose, RecomposingADirtyRectangleEqualsRecomposingEverything) {
  std::mt19937 random(607);
  for (int trial = 0; trial < 20; ++trial) {
    Canvas canvas;
    RandomStack(canvas, random, {40, 40});
    canvas.ComposeAll();
    // A dab on a layer, then only its rectangle is recomposed.
    Layer* layer = canvas.GetLayer(1 + int32_t(random() % (canvas.LayerCount() - 1)));
    std::vector<uint32_t> dab(8 * 8, random());
    layer->ClearDirty();
    layer->SetRect({2, 3, 9, 10}, dab.data());
    const Rect dirty = layer->DirtyRect();
    canvas.Compose({dirty.left + layer->OffsetX(), dirty.top + layer->OffsetY(), dirty.right + layer->OffsetX(),
                    dirty.bottom + layer->OffsetY()});
    std::vector<uint32_t> partial(40 * 40);
    canvas.Composite().GetRect({0, 0, 39, 39}, partial.data());
    canvas.ComposeAll();
    std::vector<uint32_t> full(40 * 40);
    canvas.Composite().GetRect({0, 0, 39, 39}, full.data());
    ASSERT_EQ(partial, full) << trial;
  }
}

// A stack big enough to be composed in two bands of rows on two threads: layers at offsets
// that put some of them in one band only, in HLS and other modes, one with an enabled mask.
void LargeStack(Canvas& canvas, std::mt19937& random, Size canvasSize) {
  canvas.InitWithLayer(MakeLayer(canvasSize, 0xFF808080u));
  struct Placement {
    Rect rect;  // canvas position and extent
    int32_t mode, opacity;
  };
  const int32_t w = canvasSize.width, h = canvasSize.height;
  const Placement placements[] = {
      {{-7, -5, w + 3, h + 9}, 14, 90},             // beyond every edge
      {{0, 0, w - 1, h / 2 - 3}, 1, 100},           // upper band only
      {{3, h / 2 + 1, w - 10, h - 1}, 17, 60},      // lower band only
      {{w / 3, h / 2 - 20, w / 2, h / 2 + 20}, 13, 77},  // across the split
      {{0, 0, w - 1, h - 1}, 21, 100},
      {{10, 10, w - 20, h - 20}, 0, 45},
  };
  for (const Placement& p : placements) {
    const Size size{p.rect.right - p.rect.left + 1, p.rect.bottom - p.rect.top + 1};
    auto layer = MakeLayer(size, 0, p.rect.left, p.rect.top);
    for (int32_t r = 0; r < size.height; ++r)
      for (int32_t c = 0; c < size.width; ++c) layer->Row(r)[c] = random();
    layer->SetBlendMode(BlendMode{p.mode});
    layer->SetOpacity(p.opacity);
    canvas.AppendLayer(std::move(layer), false);
  }
  Region mask;
  ASSERT_EQ(mask.Create({w / 4, h / 4, w / 4 + 299, h / 4 + h / 2}, 0), 0);
  for (int32_t r = 0; r <= h / 2; ++r)
    for (int32_t c = 0; c < 300; ++c) mask.Row(r)[c] = static_cast<uint8_t>(random());
  Layer& masked = *canvas.GetLayer(4);
  masked.Masks().SetMaskEnabled(masked.Masks().AddMask(mask), true);
}

TEST(CanvasCompose, LargeCompositionsInTwoBandsMatchThePerPixelReference) {
  std::mt19937 random(608);
  Canvas canvas;
  const Size size{1031, 517};
  LargeStack(canvas, random, size);
  canvas.ComposeAll();
  EXPECT_EQ(canvas.Composite().DirtyRect(), (Rect{0, 0, size.width - 1, size.height - 1}));
  // Every pixel of the rows at the edges, around the split between the bands and of every
  // eleventh row.
  for (int32_t y = 0; y < size.height; ++y) {
    if (!(y < 3 || y >= size.height - 3 || std::abs(y - size.height / 2) < 3 || y % 11 == 0)) continue;
    for (int32_t x = 0; x < size.width; ++x)
      ASSERT_EQ(CompositeAt(canvas, x, y), ReferencePixel(canvas, x, y)) << "at " << x << "," << y;
  }
}

TEST(CanvasCompose, ALargeCompositionEqualsTheSameComposedInSmallRectangles) {
  std::mt19937 random(609);
  Canvas canvas;
  const Size size{1024, 600};
  LargeStack(canvas, random, size);
  canvas.ComposeAll();
  std::vector<uint32_t> whole(size_t(size.width) * size.height), pieces(whole.size());
  canvas.Composite().GetRect({0, 0, size.width - 1, size.height - 1}, whole.data());
  // Rectangles far below the size that splits a composition in two.
  for (int32_t top = 0; top < size.height; top += 7)
    for (int32_t left = 0; left < size.width; left += 300) canvas.Compose({left, top, left + 299, top + 6});
  canvas.Composite().GetRect({0, 0, size.width - 1, size.height - 1}, pieces.data());
  EXPECT_EQ(pieces, whole);
}

TEST(CanvasCompose, TheMaskUnderEditTintsTowardRed) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({4, 1}, 0xFF000000u | 100u << 16 | 100u << 8 | 100u));
  auto mask = std::make_unique<ImageSurface>();
  ASSERT_EQ(mask->Create({4, 1}), 0);
  mask->Row(0)[0] = 0xFF000000u;  // black: u = 127
  mask->Row(0)[1] = 0xFFFFFFFFu;  // white: no tint
  canvas.EditMaskImage(std::move(mask));
  canvas.ComposeAll();
  const int32_t u = 255 >> 1;
  const uint32_t expected = 0xFF000000u | uint32_t(100 + (((255 - 100) * u) >> 8)) << 16 |
                            uint32_t(100 + ((-100 * u) >> 8)) << 8 | uint32_t(100 + ((-100 * u) >> 8));
  EXPECT_EQ(CompositeAt(canvas, 0, 0), expected);
  EXPECT_EQ(CompositeAt(canvas, 1, 0), 0xFF646464u);
}

// --- the stack ----------------------------------------------------------------------------

TEST(CanvasStack, GetLayerOutsideTheStackGivesNothing) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({4, 4}, 0xFFFFFFFFu));
  EXPECT_EQ(canvas.GetLayer(-1), nullptr);
  EXPECT_EQ(canvas.GetLayer(1), nullptr);
  EXPECT_NE(canvas.GetLayer(0), nullptr);
  EXPECT_EQ(canvas.GetSize(), (Size{4, 4}));
}

TEST(CanvasStack, AddedLayersAreTransparentWhiteAndNumberedInTurn) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({6, 5}, 0xFF000000u));
  const int32_t counter = canvas.LayerCounter();
  Layer* first = canvas.AddLayer();
  Layer* second = canvas.AddLayer();
  EXPECT_EQ(first->Name(), "レイヤ" + std::to_string(counter));
  EXPECT_EQ(second->Name(), "レイヤ" + std::to_string(counter + 1));
  EXPECT_EQ(first->GetSize(), (Size{6, 5}));
  uint32_t pixel;
  first->GetPixel(3, 3, &pixel);
  EXPECT_EQ(pixel, 0x00FFFFFFu);
  EXPECT_EQ(canvas.ActiveIndex(), 0);
  EXPECT_EQ(canvas.LayerCount(), 3);
}

TEST(CanvasStack, SwappingTheActiveLayerKeepsTheIndexAndTheMoveCommandsFollowTheLayer) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({2, 2}, 0xFF000000u));
  canvas.AddLayer();
  canvas.AddLayer();
  canvas.SetActiveLayer(1);
  Layer* moved = canvas.ActiveLayer();
  EXPECT_TRUE(canvas.SwapLayers(1, 2));
  EXPECT_EQ(canvas.ActiveIndex(), 1);
  EXPECT_NE(canvas.ActiveLayer(), moved);  // the neighbour now sits at the active index
  EXPECT_FALSE(canvas.SwapLayers(1, 1));
  EXPECT_FALSE(canvas.SwapLayers(0, 3));
  canvas.SetActiveLayer(2);  // the moved layer
  canvas.MoveActiveLayerUp();  // toward index 0
  EXPECT_EQ(canvas.ActiveIndex(), 1);
  EXPECT_EQ(canvas.ActiveLayer(), moved);
  canvas.MoveActiveLayerDown();
  EXPECT_EQ(canvas.ActiveIndex(), 2);
  EXPECT_EQ(canvas.ActiveLayer(), moved);
  canvas.MoveActiveLayerDown();  // on the top layer: nothing
  EXPECT_EQ(canvas.ActiveIndex(), 2);
  canvas.SetActiveLayer(0);
  Layer* base = canvas.ActiveLayer();
  canvas.MoveActiveLayerUp();  // on layer 0: nothing
  EXPECT_EQ(canvas.ActiveIndex(), 0);
  EXPECT_EQ(canvas.GetLayer(0), base);
}

TEST(CanvasStack, DeletingKeepsTheActiveIndexPointingAtALayer) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({2, 2}, 0xFF000000u));
  EXPECT_EQ(canvas.DeleteLayer(0), -1);  // the only layer stays
  canvas.AddLayer();
  canvas.AddLayer();
  canvas.SetActiveLayer(2);
  EXPECT_EQ(canvas.DeleteLayer(1), 0);
  EXPECT_EQ(canvas.ActiveIndex(), 1);
  EXPECT_EQ(canvas.ActiveLayer(), canvas.GetLayer(1));
  EXPECT_EQ(canvas.DeleteLayer(5), -1);
}

TEST(CanvasStack, ResizingTheCanvasKeepsLayersAndRemakesTheComposite) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({8, 8}, 0xFF102030u));
  EXPECT_TRUE(canvas.ResizeCanvas(3, 12));
  EXPECT_EQ(canvas.GetSize(), (Size{3, 12}));
  EXPECT_EQ(canvas.GetLayer(0)->GetSize(), (Size{8, 8}));
  // A size no composite can have leaves the canvas as it was, its picture composed.
  EXPECT_FALSE(canvas.ResizeCanvas(40000, 40000));
  EXPECT_EQ(canvas.GetSize(), (Size{3, 12}));
  uint32_t pixel = 0;
  canvas.Composite().GetPixel(2, 7, &pixel);
  EXPECT_EQ(pixel, 0xFF102030u);
}

// --- merging ------------------------------------------------------------------------------

TEST(CanvasMerge, MergeIntoBlendsAtTheOffsetAndPushesOneUndoStep) {
  auto target = MakeLayer({10, 10}, 0xFF000000u);
  auto source = MakeLayer({4, 4}, 0xFFFFFFFFu, 8, 8);  // partly outside the target
  Canvas::MergeInto(*target, *source);
  uint32_t pixel;
  target->GetPixel(9, 9, &pixel);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  target->GetPixel(7, 9, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
  EXPECT_EQ(target->Undo().StepCount(), 1u);
  ASSERT_EQ(target->Undo().Undo(*target), 0);
  target->GetPixel(9, 9, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
}

// Offsets from a file can be anything; far off the canvas in opposite corners, the layers
// neither meet nor overflow the arithmetic of offsets and sizes.
TEST(CanvasMerge, LayersAtTheFarthestOffsetsMeetNothing) {
  auto target = MakeLayer({10, 10}, 0xFF000000u, INT32_MIN, INT32_MIN);
  auto source = MakeLayer({20, 20}, 0xFFFFFFFFu, INT32_MAX, INT32_MAX);
  EXPECT_EQ(source->OffsetX(), Layer::kMaxOffset);
  EXPECT_EQ(target->OffsetY(), -Layer::kMaxOffset);
  EXPECT_EQ(source->Bounds().right, Layer::kMaxOffset + 19);
  Canvas::MergeInto(*target, *source);
  uint32_t pixel = 0;
  target->GetPixel(9, 9, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({4, 4}, 0xFF102030u));
  canvas.AppendLayer(std::move(source), true);
  canvas.ComposeAll();
  canvas.Composite().GetPixel(3, 3, &pixel);
  EXPECT_EQ(pixel & 0xFFFFFFu, 0x102030u);
}

TEST(CanvasMerge, AModeOutsideTheTableChangesNothingButStillPushesAStep) {
  auto target = MakeLayer({4, 4}, 0xFF123456u);
  auto source = MakeLayer({4, 4}, 0xFFFFFFFFu);
  source->SetBlendMode(BlendMode{40});
  Canvas::MergeInto(*target, *source);
  uint32_t pixel;
  target->GetPixel(1, 1, &pixel);
  EXPECT_EQ(pixel, 0xFF123456u);
  EXPECT_EQ(target->Undo().StepCount(), 1u);
}

std::vector<uint32_t> PixelsOf(const Layer& layer) {
  std::vector<uint32_t> pixels(static_cast<size_t>(layer.Width()) * layer.Height());
  layer.GetRect({0, 0, layer.Width() - 1, layer.Height() - 1}, pixels.data());
  return pixels;
}

// The one-pass merge against merging the same layers in turn: targets at offsets and of other
// sizes than the canvas, every mode and one outside the table, masks, hidden layers, and large
// stacks merged in two bands.
TEST(CanvasMerge, MergingAStackInOnePassEqualsMergingTheLayersInTurn) {
  std::mt19937 random(610);
  for (int trial = 0; trial < 24; ++trial) {
    Canvas canvas;
    if (trial < 20) {
      RandomStack(canvas, random, {37, 29});
    } else {
      LargeStack(canvas, random, {1031, 517});
    }
    if (trial % 5 == 0) canvas.GetLayer(1)->SetBlendMode(BlendMode{40});
    const Size size = trial < 20 ? Size{1 + int32_t(random() % 45), 1 + int32_t(random() % 45)} : canvas.GetSize();
    const uint32_t base = trial % 2 ? 0x00FFFFFFu : 0xFF00FF00u;
    auto inTurn = MakeLayer(size, base, int32_t(random() % 9) - 4, int32_t(random() % 9) - 4);
    auto onePass = MakeLayer(size, base, inTurn->OffsetX(), inTurn->OffsetY());
    onePass->DiscardBackups();
    std::vector<const Layer*> sources;
    for (int32_t i = 0; i < canvas.LayerCount(); ++i) {
      Canvas::MergeInto(*inTurn, *canvas.GetLayer(i));
      sources.push_back(canvas.GetLayer(i));
    }
    Canvas::MergeStack(*onePass, sources);
    ASSERT_EQ(PixelsOf(*onePass), PixelsOf(*inTurn)) << "trial " << trial;
    EXPECT_EQ(onePass->SavedTileCount(), 0);
    EXPECT_EQ(onePass->Undo().StepCount(), 0u);
  }
}

TEST(CanvasMerge, ANewLayerOfMergedLayersHasNoHistory) {
  std::mt19937 random(611);
  Canvas canvas;
  RandomStack(canvas, random, {37, 29});
  std::unique_ptr<Layer> merged = canvas.MergeIntoNewLayer({0, 2, 1});
  ASSERT_TRUE(merged);
  auto inTurn = MakeLayer({37, 29}, 0xFFFFFFFFu);
  for (int32_t i : {0, 2, 1}) Canvas::MergeInto(*inTurn, *canvas.GetLayer(i));
  EXPECT_EQ(PixelsOf(*merged), PixelsOf(*inTurn));
  EXPECT_EQ(merged->SavedTileCount(), 0);
  EXPECT_EQ(merged->Undo().StepCount(), 0u);
}

// --- commands -----------------------------------------------------------------------------

TEST(CanvasCommands, AddingAMarginMovesTheLayerAndKeepsItsPixels) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({3, 2}, 0xFF00FF00u, 5, 5));
  canvas.GetLayer(0)->SetName("背景");
  canvas.AddMargin(1, 2, 3, 4, true);
  Layer* layer = canvas.GetLayer(0);
  EXPECT_EQ(layer->GetSize(), (Size{6, 9}));
  EXPECT_EQ(layer->OffsetX(), 4);
  EXPECT_EQ(layer->OffsetY(), 2);
  EXPECT_EQ(layer->Name(), "背景");
  uint32_t pixel;
  layer->GetPixel(1, 3, &pixel);
  EXPECT_EQ(pixel, 0xFF00FF00u);
  layer->GetPixel(0, 0, &pixel);
  EXPECT_EQ(pixel, 0x00FFFFFFu);
  EXPECT_EQ(layer->SavedTileCount(), 0);
}

TEST(CanvasCommands, DuplicateCopiesPixelsAndAttributes) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({3, 3}, 0xFF0000FFu, 2, 1));
  canvas.GetLayer(0)->SetBlendMode(BlendMode::kOverlay);
  canvas.GetLayer(0)->SetOpacity(40);
  canvas.GetLayer(0)->SetVisible(false);
  canvas.DuplicateActiveLayer();
  ASSERT_EQ(canvas.LayerCount(), 2);
  Layer* copy = canvas.GetLayer(1);
  EXPECT_EQ(canvas.ActiveLayer(), copy);
  EXPECT_EQ(copy->BlendMode(), BlendMode::kOverlay);
  EXPECT_EQ(copy->Opacity(), 40);
  EXPECT_TRUE(copy->IsVisible());
  EXPECT_EQ(copy->OffsetX(), 2);
  uint32_t pixel;
  copy->GetPixel(2, 2, &pixel);
  EXPECT_EQ(pixel, 0xFF0000FFu);
}

// --- operations and undo ------------------------------------------------------------------

struct Invert : CanvasOperation {
  std::vector<int32_t> passes;
  void Execute(ImageSurface& target, int32_t pass) override {
    passes.push_back(pass);
    if (pass != 1) return;
    for (int32_t y = 0; y < target.Height(); ++y)
      for (int32_t x = 0; x < target.Width(); ++x) target.Row(y)[x] ^= 0x00FFFFFFu;
  }
};

TEST(CanvasOperations, RunOnTheActiveLayerWithPassesOneThenZeroAndUndoRestores) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({20, 20}, 0xFF102030u));
  Invert invert;
  canvas.ApplyOperation(invert);
  EXPECT_EQ(invert.passes, (std::vector<int32_t>{1, 0}));
  uint32_t pixel;
  canvas.GetLayer(0)->GetPixel(5, 5, &pixel);
  EXPECT_EQ(pixel, 0xFFEFDFCFu);
  EXPECT_EQ(CompositeAt(canvas, 5, 5), 0xFFEFDFCFu);
  EXPECT_EQ(canvas.Undo(), 0);
  canvas.GetLayer(0)->GetPixel(5, 5, &pixel);
  EXPECT_EQ(pixel, 0xFF102030u);
  EXPECT_EQ(CompositeAt(canvas, 5, 5), 0xFF102030u);
}

TEST(CanvasOperations, WithASelectionOnlyTheSelectedPartChangesWeighedByItsCoverage) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({20, 20}, 0xFF000000u, 2, 3));
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({4, 5, 7, 8}, 255), 0);  // canvas coordinates
  selection->Row(0)[0] = 128;
  canvas.SetSelection(std::move(selection));
  Invert invert;
  canvas.ApplyOperation(invert);
  uint32_t pixel;
  canvas.GetLayer(0)->GetPixel(3, 3, &pixel);  // canvas (5, 6): fully selected
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  canvas.GetLayer(0)->GetPixel(2, 2, &pixel);  // canvas (4, 5): coverage 128
  EXPECT_EQ(pixel, 0xFF000000u | uint32_t((255 * 128) >> 8) * 0x010101u);
  canvas.GetLayer(0)->GetPixel(0, 0, &pixel);  // outside the selection
  EXPECT_EQ(pixel, 0xFF000000u);
  EXPECT_EQ(canvas.Undo(), 0);
  canvas.GetLayer(0)->GetPixel(3, 3, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
}

TEST(CanvasSelection, ToolsDrawThroughTheFacadeBoundAtTheLayerOffset) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({10, 10}, 0xFF000000u, 3, 0));
  EXPECT_EQ(canvas.DrawingTarget(), canvas.ActiveLayer());
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({5, 0, 5, 0}, 255), 0);
  canvas.SetSelection(std::move(selection));
  ImageSurface* target = canvas.DrawingTarget();
  EXPECT_TRUE(target->IsType("IMAGEREGION"));
  target->SetPixel(2, 0, 0xFFFFFFFFu);  // canvas (5, 0)
  target->SetPixel(3, 0, 0xFFFFFFFFu);  // canvas (6, 0): not selected
  uint32_t pixel;
  canvas.GetLayer(0)->GetPixel(2, 0, &pixel);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  canvas.GetLayer(0)->GetPixel(3, 0, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
  canvas.ClearSelection();
  EXPECT_EQ(canvas.DrawingTarget(), canvas.ActiveLayer());
}

// Keeps the pixels of every copy it is asked for.
struct CapturingContext : DrawContext {
  std::vector<uint32_t> pixels;
  Rect destination;
  void CopyPixels(const ImageSurface& surface, const Rect& source, const Rect& to) override {
    destination = to;
    for (int32_t y = source.top; y < source.bottom; ++y)
      for (int32_t x = source.left; x < source.right; ++x) {
        uint32_t pixel = 0;
        surface.GetPixel(x, y, &pixel);
        pixels.push_back(pixel);
      }
  }
};

TEST(LayerMaskThumbnails, AreDrawnThroughTheDrawingInterfaceWithTheCrossWhileDisabled) {
  Region mask;
  ASSERT_EQ(mask.Create({0, 0, 31, 31}, 255), 0);
  LayerMaskList masks;
  ASSERT_EQ(masks.AddMask(mask), 0);
  CapturingContext disabled;
  masks.DrawThumbnail(disabled, 0, 100, 50);
  EXPECT_EQ(disabled.destination, (Rect{100, 50, 132, 82}));
  ASSERT_EQ(disabled.pixels.size(), 32u * 32u);
  EXPECT_EQ(disabled.pixels[0], 0xFFFF0000u);       // the cross
  EXPECT_EQ(disabled.pixels[1], 0xFF000000u);       // fully selected: black
  masks.SetMaskEnabled(0, true);
  CapturingContext enabled;
  masks.DrawThumbnail(enabled, 0, 0, 0);
  EXPECT_EQ(enabled.pixels[0], 0xFF000000u);
  CapturingContext none;
  masks.DrawThumbnail(none, 3, 0, 0);
  EXPECT_TRUE(none.pixels.empty());
}

}  // namespace
}  // namespace varnel

namespace varnel {
namespace {

// Records every event it receives; optionally paints the point it is handed.
class RecordingTool : public PaintObject {
 public:
  struct Seen {
    int32_t code;
    int32_t x, y, pressure;
    uint32_t flags;
    ImageSurface* surface;
  };
  explicit RecordingTool(std::vector<Seen>& log, bool paint = false, bool finishAfterUp = false)
      : m_log(log), m_paint(paint), m_finishAfterUp(finishAfterUp) {}
  bool ButtonDown(const ToolEvent& e) override { return Record(kToolButtonDown, e); }
  bool ButtonUp(const ToolEvent& e) override {
    m_finished = m_finishAfterUp;
    return Record(kToolButtonUp, e);
  }
  bool Move(const ToolEvent& e) override { return Record(kToolMove, e); }
  bool RightButtonDown(const ToolEvent& e) override { return Record(kToolRightButtonDown, e); }
  bool RightButtonUp(const ToolEvent& e) override { return Record(kToolRightButtonUp, e); }
  bool IsFinished() const override { return m_finished; }

 private:
  bool Record(int32_t code, const ToolEvent& e) {
    m_log.push_back({code, e.x, e.y, e.pressure, e.flags, e.surface});
    if (m_paint) {
      e.surface->SetPixel(e.x, e.y, 0xFF000000u);
      e.surface->SetModified();
    }
    return true;
  }
  std::vector<Seen>& m_log;
  bool m_paint;
  bool m_finishAfterUp;
  bool m_finished = false;
};

TEST(CanvasTools, EventsReachTheSelectedToolInLayerCoordinatesAfterThePointFilter) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({8, 8}, 0xFFFFFFFFu));
  canvas.AppendLayer(MakeLayer({4, 4}, 0xFFFFFFFFu, 3, 2), false);
  canvas.SetActiveLayer(1);
  std::vector<RecordingTool::Seen> log;
  canvas.SetTool(4, std::make_unique<RecordingTool>(log));
  EXPECT_FALSE(canvas.DeliverEvent(kToolButtonDown, 0, 5, 5, 0));  // slot 1 holds no tool
  canvas.SelectTool(4);
  ASSERT_TRUE(canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 5, 5, 0));
  ASSERT_TRUE(canvas.DeliverEvent(kToolMove, kToolLeftButton | kToolShift, 6, 7, 256));
  canvas.pointFilter = [](int32_t& x, int32_t& y) {
    x = x / 4 * 4;
    y = y / 4 * 4;
  };
  ASSERT_TRUE(canvas.DeliverEvent(kToolButtonUp, 0, 7, 7, 0));
  ASSERT_TRUE(canvas.DeliverEvent(kToolRightButtonDown, kToolRightButton, 3, 2, 0));
  ASSERT_TRUE(canvas.DeliverEvent(kToolRightButtonUp, 0, 3, 2, 256));
  EXPECT_FALSE(canvas.DeliverEvent(12345, 0, 3, 2, 256));
  ASSERT_EQ(log.size(), 5u);
  const int32_t codes[] = {kToolButtonDown, kToolMove, kToolButtonUp, kToolRightButtonDown, kToolRightButtonUp};
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].code, codes[i]) << i;
    EXPECT_EQ(log[i].surface, canvas.GetLayer(1)) << i;
  }
  EXPECT_EQ(log[0].x, 2);
  EXPECT_EQ(log[0].y, 3);
  EXPECT_EQ(log[1].x, 3);
  EXPECT_EQ(log[1].y, 5);
  EXPECT_EQ(log[1].pressure, 256);
  EXPECT_EQ(log[1].flags, kToolLeftButton | kToolShift);
  EXPECT_EQ(log[2].x, 4 - 3);  // (7, 7) filtered to (4, 4)
  EXPECT_EQ(log[2].y, 4 - 2);
  EXPECT_EQ(log[3].x, 0 - 3);  // (3, 2) filtered to (0, 0)
  EXPECT_EQ(log[3].y, 0 - 2);
}

TEST(CanvasTools, TheTemporaryToolComesFirstAndGoesWhenFinishedThenThePenEndOverride) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({8, 8}, 0xFFFFFFFFu));
  std::vector<RecordingTool::Seen> selected, pen, temporary;
  canvas.SetTool(1, std::make_unique<RecordingTool>(selected));
  canvas.SetTool(2, std::make_unique<RecordingTool>(pen));
  canvas.SetTemporaryTool(std::make_unique<RecordingTool>(temporary, false, true));
  canvas.SetPenEndOverride(2);
  canvas.DeliverEvent(kToolButtonDown, 0, 1, 1, 0);
  canvas.DeliverEvent(kToolButtonUp, 0, 1, 1, 0);
  EXPECT_EQ(canvas.TemporaryTool(), nullptr);
  canvas.DeliverEvent(kToolButtonDown, 0, 1, 1, 0);
  canvas.SetPenEndOverride(std::nullopt);
  canvas.DeliverEvent(kToolButtonUp, 0, 1, 1, 0);
  EXPECT_EQ(temporary.size(), 2u);
  EXPECT_EQ(pen.size(), 2u);  // the pen's end, turned away mid-drag, is told the drag ended
  EXPECT_EQ(selected.size(), 1u);
}

TEST(CanvasTools, AToolChangedInTheMiddleOfADragFirstEndsTheDragOfTheToolThatHadIt) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({8, 8}, 0xFFFFFFFFu));
  std::vector<RecordingTool::Seen> brush, eraser;
  canvas.SetTool(1, std::make_unique<RecordingTool>(brush, true));
  canvas.SetTool(2, std::make_unique<RecordingTool>(eraser));
  canvas.SelectTool(1);
  canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 1, 1, 0);
  canvas.DeliverEvent(kToolMove, kToolLeftButton | kToolShift, 2, 3, 256);
  canvas.SelectTool(2);  // a tool key while the button is held
  canvas.DeliverEvent(kToolMove, kToolLeftButton, 4, 4, 256);
  canvas.DeliverEvent(kToolButtonUp, 0, 5, 5, 0);
  canvas.SelectTool(1);
  canvas.DeliverEvent(kToolMove, 0, 6, 6, 256);
  // The brush heard its drag end where it last was, before the eraser heard anything;
  // afterwards it hears moves only as moves.
  const std::vector<std::pair<int32_t, int32_t>> brushHeard = {
      {kToolButtonDown, 1}, {kToolMove, 2}, {kToolButtonUp, 2}, {kToolMove, 6}};
  ASSERT_EQ(brush.size(), brushHeard.size());
  for (size_t i = 0; i < brush.size(); ++i) {
    EXPECT_EQ(brush[i].code, brushHeard[i].first) << i;
    EXPECT_EQ(brush[i].x, brushHeard[i].second) << i;
  }
  EXPECT_EQ(brush[2].y, 3);
  EXPECT_EQ(brush[2].flags, kToolShift);
  ASSERT_EQ(eraser.size(), 2u);
  EXPECT_EQ(eraser[0].code, kToolMove);
  EXPECT_EQ(eraser[1].code, kToolButtonUp);
}

TEST(CanvasTools, AChangeBecomesOneUndoStepWhenTheToolMarksItModified) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({8, 8}, 0xFFFFFFFFu));
  std::vector<RecordingTool::Seen> log;
  canvas.SetTool(1, std::make_unique<RecordingTool>(log, true));
  canvas.DeliverEvent(kToolButtonDown, 0, 1, 1, 0);
  canvas.DeliverEvent(kToolButtonDown, 0, 6, 6, 0);
  uint32_t pixel = 0;
  ASSERT_EQ(canvas.GetLayer(0)->GetPixel(6, 6, &pixel), 1);
  EXPECT_EQ(pixel, 0xFF000000u);
  ASSERT_EQ(canvas.Undo(), 0);
  ASSERT_EQ(canvas.GetLayer(0)->GetPixel(6, 6, &pixel), 1);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  ASSERT_EQ(canvas.GetLayer(0)->GetPixel(1, 1, &pixel), 1);
  EXPECT_EQ(pixel, 0xFF000000u);  // the first change is its own step
  ASSERT_EQ(canvas.Undo(), 0);
  ASSERT_EQ(canvas.GetLayer(0)->GetPixel(1, 1, &pixel), 1);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace varnel

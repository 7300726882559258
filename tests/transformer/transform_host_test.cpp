// Transformer.so through its exports and the program's side of the transforms: the kept method
// and angle, what the target looks like afterwards, the messages, the all-layers scaling, and
// the fixed turns and flips on odd and even sizes.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/host.h"
#include "transformer/transform_host.h"
#include "transformer/transformer.h"

namespace varnel {
namespace {

const char* const kLibrary = VARNEL_PROGRAM_DIR "/Transformer.so";

std::unique_ptr<Layer> PatternLayer(int32_t w, int32_t h, uint32_t seed = 1) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) layer->Row(y)[x] = random();
  layer->DiscardBackups();
  return layer;
}

std::vector<uint32_t> Pixels(const ImageSurface& surface) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < surface.Height(); ++y)
    pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + surface.Width());
  return pixels;
}

int32_t Cancel(void*, void*, int32_t, int32_t, int32_t*, int32_t*, int32_t*) { return 0; }

class TransformHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_library.SetDialogs(AnsweringDialogs(m_answers));
    ASSERT_TRUE(m_library.Load());
  }

  Canvas& CanvasOf(std::vector<std::unique_ptr<Layer>> layers) {
    for (auto& layer : layers) m_canvas.AppendLayer(std::move(layer), false);
    return m_canvas;
  }
  Canvas& CanvasOf(std::unique_ptr<Layer> layer) {
    m_canvas.AppendLayer(std::move(layer), false);
    return m_canvas;
  }
  // The resize dialog answers キャンセル from now on.
  void CancelResize() {
    TransformerDialogs cancelling = AnsweringDialogs(m_answers);
    cancelling.resize = Cancel;
    m_library.SetDialogs(cancelling);
  }

  RecordingHost m_host;
  ScopedHost m_scoped{m_host};
  TransformAnswers m_answers;
  TransformerLibrary m_library{kLibrary};
  Canvas m_canvas;
};

// ---- The exports ---------------------------------------------------------------------------

TEST_F(TransformHostTest, CalculateSizeAnswersTheDialogAndMinusOneOtherwise) {
  m_answers = {{30, 20}, 3, 90, 0};
  Size out;
  EXPECT_EQ(m_library.CalculateSize(kTransformResize, nullptr, {10, 10}, out), 0);
  EXPECT_EQ(out, (Size{30, 20}));
  EXPECT_EQ(m_library.CalculateSize(kTransformRotate, nullptr, {7, 5}, out), 0);
  EXPECT_EQ(out, (Size{5, 7}));
  EXPECT_EQ(m_library.CalculateSize(2, nullptr, {7, 5}, out), -1);
  CancelResize();
  EXPECT_EQ(m_library.CalculateSize(kTransformResize, nullptr, {7, 5}, out), -1);
}

// The method chosen last is the one ExecuteTransform uses; afterwards the target has no saved
// tiles, its modified byte is clear and its whole area is dirty.
TEST_F(TransformHostTest, ExecuteTransformUsesTheKeptMethodAndEmptiesTheSavedTiles) {
  auto source = PatternLayer(6, 5);
  m_answers = {{13, 11}, int32_t(ResampleMethod::kCubicBSpline), 0, 0};
  Size out;
  ASSERT_EQ(m_library.CalculateSize(kTransformResize, nullptr, {6, 5}, out), 0);
  Layer target, expected;
  ASSERT_EQ(target.CreateWithAlpha(out, 0), 0);
  ASSERT_EQ(expected.CreateWithAlpha(out, 0), 0);
  target.DiscardBackups();
  target.SetPixel(12, 10, 0x12345678u);  // backs up a tile
  target.SetModified();
  ASSERT_EQ(target.SavedTileCount(), 1);
  ASSERT_TRUE(m_library.ExecuteTransform(kTransformResize, *source, target));
  ResizeImage(*source->Descriptor(), *expected.Descriptor(), ResampleMethod::kCubicBSpline, TransformPath::kReference);
  EXPECT_EQ(Pixels(target), Pixels(expected));
  EXPECT_EQ(target.SavedTileCount(), 0);
  EXPECT_FALSE(target.TileHasBackup(0, 0) || target.IsModified());
  EXPECT_EQ(target.DirtyRect(), (Rect{0, 0, 12, 10}));

  // Another mode leaves the target exactly as it was.
  const std::vector<uint32_t> before = Pixels(target);
  ASSERT_TRUE(m_library.ExecuteTransform(7, *source, target));
  EXPECT_EQ(Pixels(target), before);
}

TEST_F(TransformHostTest, ParallelLineRotateKeepsTheLinesAngleUnnegated) {
  auto picture = PatternLayer(40, 30);
  m_answers.lineDegrees = 315.0;
  Size out;
  ASSERT_EQ(m_library.ParallelLineRotate(nullptr, *picture, out), 0);
  const RotatedBounds bounds = RotatedBoundingSize(LineRotationAngle(315.0), 40, 30);
  EXPECT_EQ(out, (Size{bounds.width, bounds.height}));
  Layer target, expected;
  ASSERT_EQ(target.Create(out), 0);
  ASSERT_EQ(expected.Create(out), 0);
  m_library.ExecuteTransform(kTransformRotate, *picture, target);
  RotateImage(*picture->Descriptor(), *expected.Descriptor(), LineRotationAngle(315.0), TransformPath::kReference);
  EXPECT_EQ(Pixels(target), Pixels(expected));
}

TEST_F(TransformHostTest, TheExportsTakeNullsWithoutHarm) {
  DynamicLibrary library;
  ASSERT_TRUE(library.Open(kLibrary));
  auto calculate = library.Function<TransformerCalculateSize>("CalculateSize");
  auto execute = library.Function<TransformerExecuteTransform>("ExecuteTransform");
  auto masks = library.Function<TransformerExecuteMaskTransform>("ExecuteMaskTransform");
  auto line = library.Function<TransformerParallelLineRotate>("ParallelLineRotate");
  ASSERT_TRUE(calculate && execute && masks && line);
  int32_t out[2];
  EXPECT_EQ(calculate(0, nullptr, nullptr, out), -1);
  EXPECT_EQ(execute(0, nullptr, nullptr), 0);
  ImageDescriptor empty{};
  EXPECT_EQ(execute(1, &empty, &empty), 0);
  EXPECT_EQ(masks(0, nullptr, nullptr), 0);
  EXPECT_EQ(line(nullptr, nullptr, nullptr, out), -1);
  EXPECT_EQ(library.Function<TransformerEstimateSize>("EstimateSize")(nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(library.Function<TransformerPrepare>("Prepare")(nullptr, nullptr, nullptr), 0);
}

// ---- The commands --------------------------------------------------------------------------

TEST_F(TransformHostTest, AMissingLibraryAndAZeroSizeAreToldAndCancelIsSilent) {
  Canvas& canvas = CanvasOf(PatternLayer(4, 4));
  TransformerLibrary missing("/nonexistent/Transformer.so");
  EXPECT_FALSE(TransformLayers(canvas, missing, kTransformResize, false, nullptr));
  m_answers = {{0, 8}, 0, 0, 0};
  EXPECT_FALSE(TransformLayers(canvas, m_library, kTransformResize, false, nullptr));
  CancelResize();
  EXPECT_FALSE(TransformLayers(canvas, m_library, kTransformResize, false, nullptr));
  ASSERT_EQ(m_host.boxes.size(), 2u);
  EXPECT_EQ(m_host.boxes[0].text, kMsgTransformerMissing);
  EXPECT_EQ(m_host.boxes[1].text, kMsgZeroSize);
}

TEST_F(TransformHostTest, AnArbitraryRotationLeavesTheCornersTransparentWhite) {
  Canvas& canvas = CanvasOf(PatternLayer(9, 6));
  const std::vector<uint32_t> before = Pixels(*canvas.ActiveLayer());
  m_answers.degrees = 30;
  auto result = TransformLayers(canvas, m_library, kTransformRotate, true, nullptr);
  ASSERT_TRUE(result);
  ASSERT_EQ(result->layers.size(), 1u);
  const Layer& turned = *result->layers[0];
  const RotatedBounds bounds = RotatedBoundingSize(TypedRotationAngle(30), 9, 6);
  EXPECT_EQ(result->canvas, (Size{bounds.width, bounds.height}));
  EXPECT_EQ(turned.Row(0)[0], 0x00FFFFFFu);
  EXPECT_EQ(m_host.statusTexts.front(), kStatusTransforming);
  EXPECT_EQ(Pixels(*canvas.ActiveLayer()), before);
}

TEST_F(TransformHostTest, RotatingToALineFillsTheCornersOpaqueWhite) {
  Canvas& canvas = CanvasOf(PatternLayer(9, 6));
  m_answers.lineDegrees = 200.0;
  auto result = RotateToLine(canvas, m_library, nullptr);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->layers[0]->Row(0)[0], 0xFFFFFFFFu);
}

// Canvas 8 × 6 to 16 × 3: the small layer (4 × 2 at 2, 2) becomes 8 × 1 at 4, 1.
TEST_F(TransformHostTest, AllLayersScaleByTheCanvasRatio) {
  std::vector<std::unique_ptr<Layer>> layers;
  layers.push_back(PatternLayer(8, 6));
  layers.push_back(PatternLayer(4, 2, 2));
  layers.back()->SetOffset(2, 2);
  layers.back()->SetOpacity(40);
  Canvas& canvas = CanvasOf(std::move(layers));
  m_answers.size = {16, 3};
  auto result = TransformLayers(canvas, m_library, kTransformResize, true, nullptr);
  ASSERT_TRUE(result);
  ASSERT_EQ(result->layers.size(), 2u);
  EXPECT_EQ(result->canvas, (Size{16, 3}));
  EXPECT_EQ(result->layers[0]->GetSize(), (Size{16, 3}));
  const Layer& small = *result->layers[1];
  EXPECT_EQ(std::tuple(small.GetSize(), small.OffsetX(), small.OffsetY(), small.Opacity()),
            std::tuple(Size{8, 1}, 4, 1, 40));
  EXPECT_EQ(m_host.statusTexts, (std::vector<std::string>{"変形を実行中です 1/2", "変形を実行中です 2/2", ""}));
  Canvas placed;
  PlaceTransformResult(placed, std::move(*result));
  EXPECT_EQ(std::pair(placed.GetSize(), placed.LayerCount()), std::pair(Size{16, 3}, 2));
}

// ---- The fixed turns and flips -------------------------------------------------------------

struct FixedCase {
  const char* name;
  FixedTransform transform;
  int32_t width, height;
};

const FixedCase kFixedCases[] = {
    {"RightOdd", FixedTransform::kTurnRight, 3, 5},         {"RightEven", FixedTransform::kTurnRight, 4, 2},
    {"LeftOdd", FixedTransform::kTurnLeft, 5, 3},           {"LeftEven", FixedTransform::kTurnLeft, 2, 4},
    {"VerticalOne", FixedTransform::kFlipVertical, 4, 1},   {"VerticalThree", FixedTransform::kFlipVertical, 2, 3},
    {"VerticalEven", FixedTransform::kFlipVertical, 3, 4},  {"HorizontalOne", FixedTransform::kFlipHorizontal, 1, 3},
    {"HorizontalOdd", FixedTransform::kFlipHorizontal, 5, 2}, {"HorizontalEven", FixedTransform::kFlipHorizontal, 4, 3},
};

class FixedTransforms : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedTransforms, MoveEveryPixelWhereTheRuleSays) {
  const FixedCase& c = GetParam();
  auto source = PatternLayer(c.width, c.height);
  auto target = FixedTransformed(*source, c.transform);
  ASSERT_TRUE(target);
  const int32_t w = c.width, h = c.height;
  const bool turn = c.transform == FixedTransform::kTurnRight || c.transform == FixedTransform::kTurnLeft;
  ASSERT_EQ(target->GetSize(), turn ? (Size{h, w}) : (Size{w, h}));
  for (int32_t r = 0; r < h; ++r)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t pixel = source->Row(r)[x];
      switch (c.transform) {
        case FixedTransform::kTurnRight: EXPECT_EQ(target->Row(x)[h - 1 - r], pixel); break;
        case FixedTransform::kTurnLeft: EXPECT_EQ(target->Row(w - 1 - x)[r], pixel); break;
        case FixedTransform::kFlipVertical: EXPECT_EQ(target->Row(h - 1 - r)[x], pixel); break;
        case FixedTransform::kFlipHorizontal: EXPECT_EQ(target->Row(r)[w - 1 - x], pixel); break;
      }
    }
  EXPECT_EQ(target->SavedTileCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(TransformHost, FixedTransforms, ::testing::ValuesIn(kFixedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// With a selection the flip works on its bounding rectangle and carries the selection along,
// flipped, to the new picture's corner; the source keeps every byte.
TEST_F(TransformHostTest, AFlipOfASelectedPartFlipsTheSelectionWithIt) {
  Canvas& canvas = CanvasOf(PatternLayer(6, 5));
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({1, 1, 3, 2}, 0), 0);
  selection->Row(0)[0] = 255;  // canvas (1, 1)
  selection->Row(1)[2] = 128;  // canvas (3, 2)
  canvas.SetSelection(std::move(selection));
  const std::vector<uint32_t> before = Pixels(*canvas.ActiveLayer());
  auto result = ApplyFixedTransform(canvas, FixedTransform::kFlipHorizontal);
  ASSERT_TRUE(result);
  const Layer& flipped = *result->layers[0];
  ASSERT_EQ(flipped.GetSize(), (Size{3, 2}));
  EXPECT_EQ(flipped.Row(0)[0], canvas.ActiveLayer()->Row(1)[3]);
  EXPECT_EQ(flipped.Row(1)[2], canvas.ActiveLayer()->Row(2)[1]);
  ASSERT_TRUE(result->selection);
  EXPECT_EQ(result->selection->Bounds(), (Rect{0, 0, 2, 1}));
  EXPECT_EQ(std::pair(result->selection->At(2, 0), result->selection->At(0, 1)), std::pair(uint8_t{255}, uint8_t{128}));
  EXPECT_EQ(Pixels(*canvas.ActiveLayer()), before);
  // Turns take the selected part but no selection.
  EXPECT_FALSE(ApplyFixedTransform(canvas, FixedTransform::kTurnRight)->selection);
}

}  // namespace
}  // namespace varnel

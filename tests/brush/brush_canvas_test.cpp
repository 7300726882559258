// Brushes on a canvas: building them from the settings, the cursor outline, the point command,
// the undo step of a stroke and the recomposition of each dab's rectangle.

#include <gtest/gtest.h>

#include <array>

#include "brush/brush_factory.h"
#include "brush/brush_stroke.h"
#include "core/canvas.h"
#include "platform/host.h"
#include "tests/brush/brush_test_support.h"

namespace varnel {
namespace {

using brush_test::At;
using brush_test::Grey;
using brush_test::MakeLayer;
using brush_test::Pixels;
using brush_test::Rgb;

// --- building ------------------------------------------------------------------------------

TEST(BuildBrush, AppliesEverySetting) {
  BrushToolSettings settings;
  settings.kind = kBrushBlur;
  settings.SetSize(12, 7);
  settings.colourMaskMode = 3;
  settings.spacing = 25;
  settings.baseOpacity = 200;
  settings.minimumSize = 40;
  settings.affectAlpha = false;
  settings.antiAlias = true;
  settings.pressureSizing = true;
  settings.pressureOpacity = true;
  settings.cloneColour = true;
  settings.watercolour = true;
  settings.watercolourLevel = 77;
  auto brush = BuildBrush(settings, kDryOnCommand);
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(brush->Kind(), kBrushBlur);
  EXPECT_EQ(brush->GetSize(), (Size{12, 7}));
  ASSERT_NE(brush->GetColourMask(), nullptr);
  EXPECT_EQ(brush->GetColourMask()->Mode(), 3);
  EXPECT_EQ(brush->Spacing(), 25 * 0.01);
  EXPECT_EQ(brush->BaseOpacity(), 200);
  EXPECT_EQ(brush->MinimumSize(), 40);
  EXPECT_FALSE(brush->AffectAlpha());
  EXPECT_TRUE(brush->AntiAlias());
  EXPECT_TRUE(brush->PressureSizing());
  EXPECT_TRUE(brush->PressureOpacity());
  EXPECT_TRUE(brush->CloneColour());
  EXPECT_TRUE(brush->Watercolour());
  EXPECT_EQ(brush->WatercolourLevel(), 77);
  EXPECT_EQ(brush->DryMode(), kDryOnCommand);
  EXPECT_EQ(brush->ComposeMode(), kComposeNormal);
  EXPECT_TRUE(brush->IsIdle());
  EXPECT_EQ(brush->FullSize(), (Size{-1, -1}));
  EXPECT_EQ(brush->LastX(), -1.0);
}

TEST(BuildBrush, TheDefaultsGiveAPlainNormalBrush) {
  BrushToolSettings settings;
  auto brush = BuildBrush(settings, kDryAtStrokeEnd);
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(brush->Kind(), kBrushNormal);
  EXPECT_EQ(brush->GetSize(), (Size{2, 2}));
  EXPECT_EQ(brush->GetColourMask(), nullptr);
  EXPECT_EQ(brush->BaseOpacity(), 256);
  EXPECT_TRUE(brush->AffectAlpha());
  EXPECT_FALSE(brush->Watercolour());
  EXPECT_EQ(brush->WatercolourLevel(), 128);
}

struct ClampCase {
  const char* name;
  int32_t level;
  int32_t opacity;
  int32_t width;
  int32_t expectedLevel;
  int32_t expectedOpacity;
  int32_t expectedWidth;
};

const ClampCase kClampCases[] = {
    {"AboveTheRange", 300, 1000, 999, 256, 256, 256},
    {"BelowTheRange", -5, -1, -3, 0, 0, 1},
    {"AtTheEnds", 256, 0, 1, 256, 0, 1},
};

class BuildBrushClamps : public ::testing::TestWithParam<ClampCase> {};

TEST_P(BuildBrushClamps, LevelOpacityAndSize) {
  BrushToolSettings settings;
  settings.watercolourLevel = GetParam().level;
  settings.baseOpacity = GetParam().opacity;
  settings.width = GetParam().width;  // as a tool state may leave it
  auto brush = BuildBrush(settings, kDryAtStrokeEnd);
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(brush->WatercolourLevel(), GetParam().expectedLevel);
  EXPECT_EQ(brush->BaseOpacity(), GetParam().expectedOpacity);
  EXPECT_EQ(brush->GetSize().width, GetParam().expectedWidth);
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildBrushClamps, ::testing::ValuesIn(kClampCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildBrush, NothingWhileTheSettingsAreBusyOrForAnUnknownKind) {
  RecordingHost host;
  ScopedHost scoped(host);
  BrushToolSettings settings;
  settings.busy = true;
  EXPECT_EQ(BuildBrush(settings, 0), nullptr);
  settings.busy = false;
  settings.kind = 23;
  EXPECT_EQ(BuildBrush(settings, 0), nullptr);
  settings.kind = -1;
  EXPECT_EQ(BuildBrush(settings, 0), nullptr);
  EXPECT_TRUE(host.boxes.empty());
}

TEST(BuildBrush, TheCustomKindReportsTheFactoryErrorAndBuildsNothing) {
  RecordingHost host;
  ScopedHost scoped(host);
  BrushToolSettings settings;
  settings.kind = kBrushCustom;
  EXPECT_EQ(BuildBrush(settings, 0), nullptr);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Brush Factory Internal Error");
}

TEST(BuildBrush, StrokeCountsAreKeptBetweenOneAndEight) {
  EXPECT_EQ(ClampStrokeCount(0), 1);
  EXPECT_EQ(ClampStrokeCount(1), 1);
  EXPECT_EQ(ClampStrokeCount(8), 8);
  EXPECT_EQ(ClampStrokeCount(9), 8);
  EXPECT_EQ(ClampStrokeCount(-7), 1);
}

// --- cursor and point ----------------------------------------------------------------------

struct OutlineContext : DrawContext {
  void CopyPixels(const ImageSurface&, const Rect&, const Rect&) override {}
  void Ellipse(const Rect& bounds) override { ellipses.push_back(bounds); }
  void Rectangle(const Rect& bounds) override { rectangles.push_back(bounds); }
  std::vector<Rect> ellipses;
  std::vector<Rect> rectangles;
};

TEST(DrawCursor, NormalAndRainbowDrawARectangleTheOthersAnEllipse) {
  for (int32_t kind = 1; kind <= 22; ++kind) {
    auto brush = CreateBrushKind(kind, {5, 3});
    OutlineContext dc;
    Rect bounds{};
    brush->DrawCursor(dc, 100, 50, &bounds, 1.5);
    // 5 × 1.5 = 7.5 → 7, 3 × 1.5 = 4.5 → 4, centred on (100, 50).
    const Rect expected{97, 48, 104, 52};
    EXPECT_EQ(bounds, expected) << kind;
    const bool rectangle = kind == kBrushNormal || kind == kBrushRainbow;
    EXPECT_EQ(dc.rectangles, rectangle ? std::vector<Rect>{expected} : std::vector<Rect>{}) << kind;
    EXPECT_EQ(dc.ellipses, rectangle ? std::vector<Rect>{} : std::vector<Rect>{expected}) << kind;
  }
}

TEST(DrawPoint, PutsOneFullDabInTheMiddleOfTheLayer) {
  auto layer = MakeLayer({10, 8}, Grey(255));
  NormalBrush brush({1, 1});
  brush.DrawPoint(*layer);  // ((10 − 2) / 2, (8 − 2) / 2)
  std::vector<uint32_t> expected(80, Grey(255));
  expected[3 * 10 + 4] = Grey(0);
  EXPECT_EQ(Pixels(*layer), expected);
}

// --- on a canvas ---------------------------------------------------------------------------

std::vector<StrokePoint> Zigzag() {
  return {{3, 3, 40}, {20, 9, 256}, {31, 2, 256}, {40, 30, 128}, {12, 33, 256}, {12, 34, 0}};
}

TEST(PaintStroke, RecordsOneUndoStepThatUndoesTheWholeStroke) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({48, 40}, Grey(255)));
  canvas.ComposeAll();
  const std::vector<uint32_t> before = Pixels(*canvas.GetLayer(0));
  NormalBrush brush({6, 6});
  brush.SetColours(MakeColourRef(0, 128, 255), MakeColourRef(255, 255, 255));
  const auto points = Zigzag();
  PaintStroke(canvas, brush, points);
  Layer& layer = *canvas.GetLayer(0);
  EXPECT_EQ(layer.Undo().StepCount(), 1u);
  EXPECT_EQ(layer.SavedTileCount(), 0);
  EXPECT_FALSE(layer.IsModified());
  EXPECT_NE(Pixels(layer), before);
  EXPECT_EQ(At(layer, 3, 3), Rgb(0, 128, 255));
  EXPECT_EQ(At(canvas.Composite(), 3, 3), Rgb(0, 128, 255));
  ASSERT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(Pixels(layer), before);
  EXPECT_EQ(At(canvas.Composite(), 3, 3), Grey(255));
  ASSERT_EQ(canvas.Redo(), 0);
  EXPECT_EQ(At(layer, 3, 3), Rgb(0, 128, 255));
}

TEST(PaintStroke, ComposingEachDabGivesTheSameCompositeAsComposingEverything) {
  const int32_t dryModes[] = {kDryAtStrokeEnd, kDryOnCommand};
  for (int32_t kind : {kBrushNormal, kBrushBlur, kBrushSharpen, kBrushDodgeAll, kBrushFingerSmudge}) {
    for (int32_t dry : dryModes) {
      Canvas canvas;
      canvas.InitWithLayer(MakeLayer({48, 40}, Grey(200)));
      auto middle = MakeLayer({30, 30}, Rgb(10, 200, 90, 160), 7, 5);
      for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 30; ++x) middle->Row(y)[x] = Rgb(uint32_t(x * 8), uint32_t(y * 8), 90, uint32_t(100 + x + y));
      middle->SetBlendMode(BlendMode::kMultiply);
      middle->SetOpacity(80);
      canvas.AppendLayer(std::move(middle), false);
      auto top = MakeLayer({20, 20}, Rgb(250, 20, 20, 90), 25, 18);
      top->SetBlendMode(BlendMode::kOverlay);
      canvas.AppendLayer(std::move(top), false);
      canvas.SetActiveLayer(1);
      canvas.ComposeAll();
      auto brush = CreateBrushKind(kind, {7, 5});
      brush->SetColours(MakeColourRef(30, 60, 240), ColourRef{0});
      brush->SetWatercolour(dry == kDryOnCommand);
      brush->SetDryMode(dry);
      const auto points = Zigzag();
      PaintStroke(canvas, *brush, points);
      const std::vector<uint32_t> byDabs = Pixels(canvas.Composite());
      canvas.ComposeAll();
      EXPECT_EQ(byDabs, Pixels(canvas.Composite())) << "kind " << kind << " dry mode " << dry;
      EXPECT_EQ(canvas.GetLayer(1)->Undo().StepCount(), 1u);
      EXPECT_EQ(canvas.GetLayer(0)->Undo().StepCount(), 0u);
    }
  }
}

TEST(PaintStroke, PointsAreMadeRelativeToTheActiveLayer) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({20, 20}, Grey(255)));
  canvas.AppendLayer(MakeLayer({10, 10}, Grey(255), 5, 6), false);
  canvas.SetActiveLayer(1);
  NormalBrush brush({1, 1});
  const std::array<StrokePoint, 1> points{{{7, 9, 256}}};
  PaintStroke(canvas, brush, points);
  EXPECT_EQ(At(*canvas.GetLayer(1), 2, 3), Grey(0));
  EXPECT_EQ(At(canvas.Composite(), 7, 9), Grey(0));
}

TEST(PaintStroke, WithASelectionOnlyTheSelectedPartChangesAndUndoRestoresIt) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({20, 20}, Grey(255)));
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({0, 0, 4, 19}, 255), 0);
  canvas.SetSelection(std::move(selection));
  NormalBrush brush({4, 4});
  const std::array<StrokePoint, 2> points{{{2, 10, 256}, {20, 10, 256}}};
  PaintStroke(canvas, brush, points);
  Layer& layer = *canvas.GetLayer(0);
  EXPECT_EQ(At(layer, 4, 10), Grey(0));
  EXPECT_EQ(At(layer, 5, 10), Grey(255));
  EXPECT_EQ(layer.Undo().StepCount(), 1u);
  EXPECT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(At(layer, 4, 10), Grey(255));
}

TEST(PaintStroke, ADrawnPointIsOneUndoStep) {
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({10, 10}, Grey(255)));
  NormalBrush brush({2, 2});
  DrawPointOnCanvas(canvas, brush);
  EXPECT_EQ(At(*canvas.GetLayer(0), 4, 4), Grey(0));
  EXPECT_EQ(At(canvas.Composite(), 3, 3), Grey(0));
  EXPECT_EQ(canvas.GetLayer(0)->Undo().StepCount(), 1u);
}

}  // namespace
}  // namespace varnel

// Each brush kind on small dabs, with results worked out from its rule.

#include <gtest/gtest.h>

#include "brush/brush_kinds.h"
#include "platform/crt_rand.h"
#include "tests/brush/brush_test_support.h"

namespace varnel {
namespace {

using brush_test::At;
using brush_test::Grey;
using brush_test::MakeLayer;
using brush_test::Pixels;
using brush_test::Rgb;

TEST(BrushKinds, EveryKindFromOneToTwentyTwoIsBuiltAndNothingElse) {
  for (int32_t kind = 1; kind <= 22; ++kind) {
    auto brush = CreateBrushKind(kind, {3, 2});
    ASSERT_NE(brush, nullptr) << kind;
    EXPECT_EQ(brush->Kind(), kind);
    EXPECT_EQ(brush->GetSize(), (Size{3, 2}));
    EXPECT_STREQ(brush->Name(), BrushKindLabel(kind));
  }
  EXPECT_EQ(CreateBrushKind(0, {3, 3}), nullptr);
  EXPECT_EQ(CreateBrushKind(23, {3, 3}), nullptr);
  EXPECT_EQ(CreateBrushKind(-1, {3, 3}), nullptr);
}

TEST(BrushKinds, SizesAreKeptBetweenOneAnd256) {
  auto brush = CreateBrushKind(kBrushNormal, {0, 999});
  EXPECT_EQ(brush->GetSize(), (Size{1, 256}));
  brush->SetBrushSize(-4, 300);
  EXPECT_EQ(brush->GetSize(), (Size{1, 256}));
  EXPECT_GE(DabBuffers::Shared().Capacity(), 256u);
}

// --- normal ---------------------------------------------------------------------------------

TEST(NormalKind, PaintsTheWholeSquareCentredOnThePoint) {
  auto layer = MakeLayer({6, 6}, Grey(255));
  NormalBrush brush({2, 3});
  brush.SetColours(MakeColourRef(255, 0, 0), MakeColourRef(255, 255, 255));
  brush.DrawDab(*layer, 3, 3, 256);  // left 3 − 1 = 2, top 3 − 1 = 2, to (3, 4)
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x)
      EXPECT_EQ(At(*layer, x, y), (x >= 2 && x <= 3 && y >= 2 && y <= 4) ? Rgb(255, 0, 0) : Grey(255)) << x << "," << y;
}

TEST(NormalKind, OpacityZeroDrawsNothingAndTakesNoBackup) {
  auto layer = MakeLayer({6, 6}, Grey(255));
  NormalBrush brush({2, 2});
  brush.DrawDab(*layer, 3, 3, 0);
  EXPECT_EQ(layer->SavedTileCount(), 0);
  EXPECT_TRUE(layer->IsDirtyEmpty());
}

TEST(NormalKind, ADabPartlyOutsideTheLayerIsClipped) {
  auto layer = MakeLayer({4, 4}, Grey(255));
  NormalBrush brush({4, 4});
  brush.DrawDab(*layer, 0, 0, 256);  // (−2, −2) to (1, 1)
  EXPECT_EQ(At(*layer, 1, 1), Grey(0));
  EXPECT_EQ(At(*layer, 2, 1), Grey(255));
  EXPECT_EQ(layer->DirtyRect(), (Rect{0, 0, 1, 1}));
  brush.DrawDab(*layer, 10, 10, 256);  // wholly outside
  EXPECT_EQ(layer->DirtyRect(), (Rect{0, 0, 1, 1}));
}

TEST(NormalKind, WithoutAffectAlphaTransparentPixelsStayUnchanged) {
  auto layer = MakeLayer({3, 1}, Grey(255, 0));
  layer->Row(0)[1] = Grey(255, 128);
  NormalBrush brush({3, 1});
  brush.SetAffectAlpha(false);
  brush.DrawDab(*layer, 1, 0, 256);
  EXPECT_EQ(At(*layer, 0, 0), Grey(255, 0));
  // A' = 128 + (127 × 256 + 127) >> 8 = 255, k = 256: the colour goes to black, alpha stays.
  EXPECT_EQ(At(*layer, 1, 0), Grey(0, 128));
}

// --- bristles ------------------------------------------------------------------------------

TEST(BristleKind, TwoByTwoPutsItsOnlyDotInTheLowerRightCell) {
  // trunc(4 × 0.3) = 1 dot; rx = ry = rand() mod 1 = 0, so it lands on (w/2, h/2) = (1, 1).
  CrtSrand(1);
  BristleBrush brush({2, 2});
  EXPECT_EQ(brush.Bristles(), (std::vector<uint8_t>{0, 0, 0, 80}));
  // Mask 80: m = 81, k = 81: 255 + floor(−255 × 81 / 256) = 174.
  auto layer = MakeLayer({2, 2}, Grey(255));
  brush.DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(Pixels(*layer), (std::vector<uint32_t>{Grey(255), Grey(255), Grey(255), Grey(174)}));
}

TEST(BristleKind, DotsScatterByTheRandomGenerator) {
  // Seed 1: (rx, ry, a) = (41 % 2, 18467 % 2, 6334 × 6.28) … four dots, two of them on
  // (2, 1) and (2, 2), the others on the same cells.
  CrtSrand(1);
  BristleBrush brush({4, 4});
  const std::vector<uint8_t> expected{0, 0, 0, 0, 0, 0, 80, 0, 0, 0, 80, 0, 0, 0, 0, 0};
  EXPECT_EQ(brush.Bristles(), expected);
}

TEST(BristleKind, TheDabCounterRescattersAfterPassingItsLimit) {
  DabCounter counter;
  CrtSrand(1);
  for (int i = 0; i < 65; ++i) ASSERT_FALSE(counter.Tick()) << i;  // old values 0 … 64
  EXPECT_TRUE(counter.Tick());                                    // old value 65 > 64
  EXPECT_EQ(counter.count, 0);
  EXPECT_EQ(counter.limit, 32 + 41 % 32);
}

TEST(Bristle2Kind, KeepsItsBristlesForTheWholeStrokeAndLaysThemAnewAtPenDown) {
  auto layer = MakeLayer({64, 64}, Grey(255));
  Bristle2Brush brush({8, 8});
  brush.BeginStroke(*layer, 4, 4, 256);
  const std::vector<uint8_t> laid = brush.Bristles();
  for (int i = 0; i < 100; ++i) brush.DrawDab(*layer, 10, 10, 256);
  EXPECT_EQ(brush.Bristles(), laid);
  brush.EndStroke(*layer);
  CrtSrand(5);
  BristleBrush same({8, 8});
  CrtSrand(5);
  brush.BeginStroke(*layer, 4, 4, 256);
  EXPECT_EQ(brush.Bristles(), same.Bristles());
  brush.EndStroke(*layer);
}

// --- oil paint -----------------------------------------------------------------------------

TEST(OilPaintKind, ColourTableVariesValueAndSaturationOfTheForeground) {
  OilPaintBrush brush({2, 2});
  // Seed 7: (value step, saturation step) = (5, 6) (7, 0) (1, 4) (0, 2) (7, 0) (2, 1) (2, 1)
  // (2, 7) (7, 5). Red has value 255 and saturation 1: even entries keep 255 and lose
  // saturation (green and blue trunc((1 − s) × 255 + 0.5)), odd ones lose value.
  CrtSrand(7);
  brush.SetColours(MakeColourRef(255, 0, 0), MakeColourRef(255, 255, 255));
  const uint32_t expected[9] = {Rgb(255, 15, 15), Rgb(248, 0, 0), Rgb(255, 10, 10), Rgb(255, 0, 0), Rgb(255, 0, 0),
                                Rgb(253, 0, 0),   Rgb(255, 3, 3), Rgb(253, 0, 0),   Rgb(255, 13, 13)};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(brush.ColourTable()[i], expected[i]) << i;
}

TEST(OilPaintKind, PaintsTheTableColourOfEachIndexAndNothingWhereItIsZero) {
  CrtSrand(2);  // two dots, both on (1, 1); the second's index is 7
  OilPaintBrush brush({2, 2});
  EXPECT_EQ(brush.IndexMap(), (std::vector<uint8_t>{0, 0, 0, 7}));
  CrtSrand(7);
  brush.SetColours(MakeColourRef(255, 0, 0), MakeColourRef(255, 255, 255));
  auto layer = MakeLayer({2, 2}, Grey(255));
  brush.DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(Pixels(*layer), (std::vector<uint32_t>{Grey(255), Grey(255), Grey(255), Rgb(253, 0, 0)}));
}

// --- square kernels ------------------------------------------------------------------------

TEST(BlurKind, AveragesEachInnerPixelWithItsFourNeighbours) {
  auto layer = MakeLayer({3, 3}, Grey(90));
  layer->Row(1)[1] = Grey(0);
  layer->Row(0)[1] = Grey(10);
  layer->Row(2)[1] = Grey(20);
  layer->Row(1)[0] = Grey(30);
  layer->Row(1)[2] = Grey(40);
  BlurBrush brush({3, 3});
  brush.DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(At(*layer, 1, 1), Grey(20));  // (0 + 10 + 20 + 30 + 40 + 3) / 5
  EXPECT_EQ(At(*layer, 0, 0), Grey(90));  // the border is copied
  EXPECT_EQ(At(*layer, 1, 0), Grey(10));
  layer->Row(1)[1] = Grey(0);
  brush.DrawDab(*layer, 1, 1, 128);  // 0 + floor(20 × 128 / 256)
  EXPECT_EQ(At(*layer, 1, 1), Grey(10));
}

TEST(BlurKind, AtTheLayerEdgeTheMissingNeighboursRepeatTheEdge) {
  auto layer = MakeLayer({2, 2}, Grey(100));
  layer->Row(0)[0] = Grey(0);
  BlurBrush brush({3, 3});
  // The rect (−1, −1) … (1, 1); its inner pixel is layer (0, 0), whose up and left
  // neighbours repeat it: (0 + 0 + 100 + 0 + 100 + 3) / 5 = 40.
  brush.DrawDab(*layer, 0, 0, 256);
  EXPECT_EQ(At(*layer, 0, 0), Grey(40));
}

TEST(RainbowKind, FillsTheDabWithTheNextHueOfTheTable) {
  auto layer = MakeLayer({2, 2}, Grey(0, 0));
  RainbowBrush brush({2, 2});
  brush.DrawDab(*layer, 1, 1, 256);
  // Hue 1: f = 1/60, G = trunc(f × 255 + 0.5) = 4.
  EXPECT_EQ(brush.Hue(), 1);
  EXPECT_EQ(Pixels(*layer), std::vector<uint32_t>(4, Rgb(255, 4, 0)));
  EXPECT_EQ(brush.Colours()[0], Rgb(255, 0, 0));
  EXPECT_EQ(brush.Colours()[60], Rgb(255, 255, 0));
  EXPECT_EQ(brush.Colours()[240], Rgb(0, 0, 255));
  for (int i = 0; i < 359; ++i) brush.DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(brush.Hue(), 0);
  // A dab beside the layer draws nothing but still takes its hue.
  brush.DrawDab(*layer, -5, 1, 256);
  EXPECT_EQ(brush.Hue(), 1);
  EXPECT_EQ(Pixels(*layer), std::vector<uint32_t>(4, Rgb(255, 0, 0)));
}

TEST(StirKind, TakesAColumnThenARowOfTheDabForEachPixel) {
  auto layer = MakeLayer({2, 1}, Grey(0));
  layer->Row(0)[0] = Grey(10);
  layer->Row(0)[1] = Grey(20);
  StirBrush brush({2, 1});
  CrtSrand(1);  // 41 % 2 = 1, 18467 % 1 = 0; 6334 % 2 = 0, 26500 % 1 = 0
  brush.DrawDab(*layer, 1, 0, 256);
  EXPECT_EQ(Pixels(*layer), (std::vector<uint32_t>{Grey(20), Grey(10)}));
}

TEST(Blur2Kind, MovesPixelsNearTheCentreTowardTheMeanOfTheirNeighbours) {
  auto layer = MakeLayer({5, 5}, Grey(100));
  layer->Row(2)[2] = Grey(200);
  Blur2Brush brush({3, 3});  // r = 1: the centre and its four neighbours
  brush.DrawDab(*layer, 2, 2, 256);
  // Centre: 200 + (100 − 200) × 30 / 256 = 200 − 11 (toward zero).
  EXPECT_EQ(At(*layer, 2, 2), Grey(189));
  // (2, 1): neighbours 100, 200, 100, 100 → (500 + 2) / 4 = 125; 100 + 25 × 30 / 256 = 102.
  EXPECT_EQ(At(*layer, 2, 1), Grey(102));
  EXPECT_EQ(At(*layer, 1, 2), Grey(102));
  EXPECT_EQ(At(*layer, 3, 2), Grey(102));
  EXPECT_EQ(At(*layer, 2, 3), Grey(102));
  EXPECT_EQ(At(*layer, 1, 1), Grey(100));  // outside r²
}

TEST(Blur2Kind, LeavesTransparentNeighboursOutOfTheMean) {
  auto layer = MakeLayer({5, 5}, Grey(100));
  layer->Row(2)[2] = Grey(200);
  layer->Row(1)[2] = Rgb(255, 0, 0, 0);
  Blur2Brush brush({3, 3});
  brush.DrawDab(*layer, 2, 2, 256);
  // Three neighbours of 100; alpha 255 toward 255.
  EXPECT_EQ(At(*layer, 2, 2), Grey(189));
}

TEST(Blur2Kind, FarFromTheCentreTakesThePixelOneStepInward) {
  auto layer = MakeLayer({17, 17}, Grey(128));
  layer->Row(8)[0] = Grey(255);
  layer->Row(8)[1] = Grey(0);
  Blur2Brush brush({16, 16});  // r = 8; dab (0, 8) is 8 from the centre (8, 8)
  brush.DrawDab(*layer, 8, 8, 256);
  // 255 + (0 − 255) × 30 / 256 = 255 − 29.
  EXPECT_EQ(At(*layer, 0, 8), Grey(226));
}

// --- round kernels -------------------------------------------------------------------------

TEST(FingerSmudgeKind, PicksUpOnEvenDabsAndLaysTheSoftenedPaintOnOddOnes) {
  auto layer = MakeLayer({12, 12}, Grey(255));
  layer->Row(4)[4] = Grey(0);  // dab (3, 3) of the first rect (1, 1) … (5, 5)
  FingerSmudgeBrush brush({5, 5});
  brush.DrawDab(*layer, 3, 3, 256);
  EXPECT_EQ(layer->SavedTileCount(), 0);  // nothing drawn
  EXPECT_EQ(brush.DabCount(), 1);
  brush.DrawDab(*layer, 8, 8, 256);  // rect (6, 6) … (10, 10)
  // Inner pixels with a mask: (2, 2), (3, 2), (2, 3), (3, 3).
  EXPECT_EQ(At(*layer, 9, 9), Grey(128));  // (4 × 0 + 4 × 255 + 4) / 8
  EXPECT_EQ(At(*layer, 8, 9), Grey(223));  // (7 × 255 + 4) / 8
  EXPECT_EQ(At(*layer, 9, 8), Grey(223));
  EXPECT_EQ(At(*layer, 8, 8), Grey(255));
  EXPECT_EQ(At(*layer, 7, 7), Grey(255));
  EXPECT_EQ(At(*layer, 4, 4), Grey(0));
}

TEST(FingerSmudgeKind, TransparentNeighboursGiveNoColourButTheirAlpha) {
  auto layer = MakeLayer({12, 12}, Grey(255));
  layer->Row(4)[4] = Grey(0);
  layer->Row(4)[5] = Rgb(255, 0, 0, 0);  // right of the centre, alpha 0
  FingerSmudgeBrush brush({5, 5});
  brush.DrawDab(*layer, 3, 3, 256);
  brush.DrawDab(*layer, 8, 8, 256);
  // Colour (0 × 4 + 255 × 3 + 3) / 7 = 109; alpha (2 × 255 + 3 × 255 + 0) / 6 = 212.
  EXPECT_EQ(At(*layer, 9, 9), Grey(109, 212));
}

struct ToneCase {
  const char* name;
  int32_t kind;
  uint32_t before;
  uint32_t after;
};

// 3 × 3 round dabs change only the lower right cell.
const ToneCase kToneCases[] = {
    {"DodgeAllRaisesLightness", kBrushDodgeAll, Grey(100), Grey(101)},
    {"DodgeBrightSkipsMidTones", kBrushDodgeBright, Grey(100), Grey(100)},
    {"DodgeBrightIncludesItsLowerBound", kBrushDodgeBright, Grey(170), Grey(171)},
    {"DodgeMiddleIncludesItsUpperBound", kBrushDodgeMiddle, Grey(170), Grey(171)},
    {"DodgeDarkIncludesEightyFive", kBrushDodgeDark, Grey(85), Grey(86)},
    {"DodgeDarkSkipsEightySix", kBrushDodgeDark, Grey(86), Grey(86)},
    {"DodgeStopsAtWhite", kBrushDodgeAll, Grey(255), Grey(255)},
    // Value 100 − 0.5 with saturation 0: trunc(99.5).
    {"BurnAllLowersValue", kBrushBurnAll, Grey(100), Grey(99)},
    // H 20, S 0.75, V 199.5: v 199, t trunc(0.5 × 199.5 + 0.5) = 100, p trunc(0.25 × 199.5 + 0.5) = 50.
    {"BurnKeepsHue", kBrushBurnAll, Rgb(200, 100, 50), Rgb(199, 100, 50)},
    {"BurnDarkSkipsBright", kBrushBurnDark, Grey(200), Grey(200)},
    {"BurnStopsAtBlack", kBrushBurnAll, Grey(0), Grey(0)},
    // Alpha half = 127: 0 + (127 × 255) >> 8 = 126; 255 − 126 = 129.
    {"OpacityAdd", kBrushOpacityAdd, Grey(255, 0), Grey(255, 126)},
    {"OpacitySubtract", kBrushOpacitySubtract, Grey(255), Grey(255, 129)},
    // HLS (20, 80, 153) ± 4.
    {"SaturationUp", kBrushSaturationUp, Rgb(128, 64, 32), Rgb(129, 64, 31)},
    {"SaturationDown", kBrushSaturationDown, Rgb(128, 64, 32), Rgb(127, 64, 33)},
    {"SaturationDownStopsAtGrey", kBrushSaturationDown, Grey(90), Grey(90)},
};

class ToneKinds : public ::testing::TestWithParam<ToneCase> {};

TEST_P(ToneKinds, ChangeOnlyThePixelsUnderTheRoundMask) {
  const ToneCase& c = GetParam();
  auto layer = MakeLayer({3, 3}, c.before);
  auto brush = CreateBrushKind(c.kind, {3, 3});
  brush->DrawDab(*layer, 1, 1, 256);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At(*layer, x, y), (x == 2 && y == 2) ? c.after : c.before) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Kinds, ToneKinds, ::testing::ValuesIn(kToneCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ToneKinds, AOneByOneRoundDabChangesNothing) {
  for (int32_t kind : {kBrushDodgeAll, kBrushBurnAll, kBrushOpacityAdd, kBrushSharpen, kBrushSaturationUp}) {
    auto layer = MakeLayer({1, 1}, Grey(100, 100));
    auto brush = CreateBrushKind(kind, {1, 1});
    brush->DrawDab(*layer, 0, 0, 256);
    EXPECT_EQ(At(*layer, 0, 0), Grey(100, 100)) << kind;
  }
}

TEST(ToneKinds, OpacityKindsDoNothingWithoutAffectAlpha) {
  auto layer = MakeLayer({3, 3}, Grey(255, 60));
  auto brush = CreateBrushKind(kBrushOpacityAdd, {3, 3});
  brush->SetAffectAlpha(false);
  brush->DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(At(*layer, 2, 2), Grey(255, 60));
}

TEST(SharpenKind, PushesEachChannelAwayFromItsNeighboursOnTheLayer) {
  auto layer = MakeLayer({4, 4}, Grey(0));
  layer->Row(2)[2] = Grey(100);
  layer->Row(1)[2] = Grey(50);
  layer->Row(3)[2] = Grey(60);
  layer->Row(2)[1] = Grey(70);
  layer->Row(2)[3] = Grey(80);
  SharpenBrush brush({3, 3});
  brush.DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(At(*layer, 2, 2), Grey(123));  // 100 + (400 − 260) / 6
  layer->Row(2)[2] = Grey(10);
  layer->Row(1)[2] = layer->Row(3)[2] = layer->Row(2)[1] = layer->Row(2)[3] = Grey(100);
  brush.DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(At(*layer, 2, 2), Grey(0));  // 10 − 60, limited to 0
}

TEST(SharpenKind, PastTheLayerEdgeThePixelStandsForItsMissingNeighbours) {
  auto layer = MakeLayer({3, 3}, Grey(40));
  layer->Row(2)[2] = Grey(100);
  SharpenBrush brush({3, 3});
  brush.DrawDab(*layer, 1, 1, 256);
  EXPECT_EQ(At(*layer, 2, 2), Grey(120));  // 100 + (400 − 40 − 40 − 100 − 100) / 6
}

}  // namespace
}  // namespace varnel

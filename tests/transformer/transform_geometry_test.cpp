// The rotated bounding size, the kept angles, the dialogs' field rules and the mask transforms.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "transformer/transformer.h"

namespace varnel {
namespace {

struct BoundsCase {
  int32_t degrees, width, height;
  RotatedBounds expected;
};

// Worked from the corners. The angle's π is 3.1415926535, a little short, so at 90° the cosine
// is a hair above 0 and the far corner's y, −7 + 5 cos θ, truncates to −6; at −270° (kept as
// typed) the size is 90°'s again.
const BoundsCase kBoundsCases[] = {
    {0, 7, 5, {7, 5, 0, 0}},          {90, 7, 5, {5, 7, 0, 7}},          {-270, 7, 5, {5, 7, 0, 7}},
    {450, 7, 5, {5, 7, 0, 7}},        {180, 7, 5, {7, 5, 7, 5}},         {45, 100, 100, {141, 140, 0, 70}},
    {-45, 100, 100, {140, 141, 70, 0}}, {0, 1, 1, {1, 1, 0, 0}},         {90, 1, 1, {1, 1, 0, 1}},
};

TEST(RotatedBoundingSize, MatchesTheCornersWorkedByHand) {
  for (const BoundsCase& c : kBoundsCases) {
    const RotatedBounds b = RotatedBoundingSize(TypedRotationAngle(c.degrees), c.width, c.height);
    EXPECT_EQ(b.width, c.expected.width) << c.degrees;
    EXPECT_EQ(b.height, c.expected.height) << c.degrees;
    EXPECT_EQ(b.offsetX, c.expected.offsetX) << c.degrees;
    EXPECT_EQ(b.offsetY, c.expected.offsetY) << c.degrees;
  }
}

// Every typed angle: the box is the turned picture's extent, each side within two pixels of
// W |cos θ| + H |sin θ| (or the other way), and the offsets lie inside it.
TEST(RotatedBoundingSize, HoldsTheTurnedPictureForEveryTypedAngle) {
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{640, 480}})
    for (int32_t degrees = -720; degrees <= 720; ++degrees) {
      const double angle = TypedRotationAngle(degrees);
      const RotatedBounds b = RotatedBoundingSize(angle, w, h);
      const double c = std::fabs(std::cos(angle)), s = std::fabs(std::sin(angle));
      EXPECT_NEAR(b.width, w * c + h * s, 2.0) << degrees << " " << w;
      EXPECT_NEAR(b.height, w * s + h * c, 2.0) << degrees << " " << w;
      EXPECT_LE(b.offsetX, b.width);
      EXPECT_LE(b.offsetY, b.height);
    }
}

TEST(RotationAngles, TypedDegreesKeepTheirSignAfterTheModulo) {
  EXPECT_EQ(TypedRotationAngle(-270), 270 * 0.005555555555555556 * 3.1415926535);
  EXPECT_EQ(TypedRotationAngle(450), TypedRotationAngle(90));
  EXPECT_EQ(TypedRotationAngle(-630), TypedRotationAngle(-270));
  EXPECT_EQ(LineRotationAngle(90.0), 90.0 * 0.005555555555555556 * 3.1415926535);
}

struct LineCase {
  int32_t x1, y1, x2, y2;
  double degrees;
};

TEST(RotationAngles, ADraggedLineGivesDegreesFromZeroToThreeSixty) {
  // Dragged left: atan2(0, 10) = 0, so half a turn; right: a whole turn; down to the right
  // (y grows downward): 315°; up to the right: 45°.
  for (const LineCase& c : {LineCase{10, 5, 0, 5, 180.0}, LineCase{0, 5, 10, 5, 360.0}, LineCase{0, 0, 10, 10, 315.0},
                            LineCase{0, 10, 10, 0, 45.0}})
    EXPECT_NEAR(DraggedLineDegrees(c.x1, c.y1, c.x2, c.y2), c.degrees, 1e-7) << c.x2 << "," << c.y2;
}

TEST(ResizeFields, SizesAndPercentagesTruncateAsTyped) {
  EXPECT_EQ(ResizePercentForSize(150, 300), 50);
  EXPECT_EQ(ResizePercentForSize(1, 3), 33);
  EXPECT_EQ(ResizePercentForSize(57, 100), 56);  // 0.57 × 100 is 56.99999999999999
  EXPECT_EQ(ResizePercentForSize(0, 300), 0);
  EXPECT_EQ(ResizePercentForSize(10, 0), 0);
  EXPECT_EQ(ResizeSizeForPercent(50, 301), 150);
  EXPECT_EQ(ResizeSizeForPercent(200, 640), 1280);
  EXPECT_EQ(ResizeSizeForPercent(0, 640), 0);
}

// ---- Masks ---------------------------------------------------------------------------------

std::vector<uint8_t> MaskResult(const std::vector<uint8_t>& bytes, int32_t w, int32_t h, int32_t tw, int32_t th,
                                int32_t degrees, bool rotate) {
  std::vector<uint8_t> from = bytes, to(size_t(tw) * size_t(th), 9);
  TransformMask source{w, h, from.data()}, target{tw, th, to.data()};
  if (rotate)
    RotateMask(source, target, TypedRotationAngle(degrees));
  else
    ResizeMask(source, target);
  return to;
}

TEST(MaskTransforms, ResizeTakesTheNearestByteBelow) {
  EXPECT_EQ(MaskResult({1, 2, 3, 4}, 2, 2, 3, 3, 0, false), (std::vector<uint8_t>{1, 1, 2, 1, 1, 2, 3, 3, 4}));
  EXPECT_EQ(MaskResult({1, 2, 3, 4, 5, 6}, 3, 2, 1, 1, 0, false), (std::vector<uint8_t>{1}));
}

// 180°: the offsets are (2, 2) and target (i, j) reads (2 − i, 2 − j) give or take a hair of
// the short π, so column 0 falls just outside the source and keeps its byte.
TEST(MaskTransforms, RotationCopiesAtZeroAndLeavesBytesOutsideTheSource) {
  EXPECT_EQ(MaskResult({1, 2, 3, 4, 5, 6}, 3, 2, 3, 2, 0, true), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(MaskResult({1, 2, 3, 4}, 2, 2, 2, 2, 180, true), (std::vector<uint8_t>{9, 4, 9, 2}));
  EXPECT_EQ(MaskResult({7}, 1, 1, 3, 1, 0, true), (std::vector<uint8_t>{7, 9, 9}));
}

TEST(MaskTransforms, MasksWithoutBytesOrSizeAreLeftAlone) {
  std::vector<uint8_t> to(4, 9);
  TransformMask empty{2, 2, nullptr}, negative{-1, 2, to.data()}, target{2, 2, to.data()};
  ResizeMask(empty, target);
  RotateMask(empty, target, 1.0);
  ResizeMask(target, negative);
  RotateMask(target, negative, 1.0);
  EXPECT_EQ(to, std::vector<uint8_t>(4, 9));
}

}  // namespace
}  // namespace varnel

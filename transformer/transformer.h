#pragma once
// The geometric transforms of Transformer.so without the library around them: the resamplers,
// the rotation, the mask transforms, the rotated bounding size and the rules of the dialogs'
// fields. Images are ImageDescriptors (sdk/varnel_image.h): pixels BGRA, not premultiplied,
// reached through the row table. Every function writes only inside its target and does
// nothing with an image that has no pixels.

#include <cmath>
#include <cstdint>

#include "sdk/transformer.h"
#include "sdk/varnel_image.h"

namespace varnel {

// The enlargement methods in the order of the combo box "拡大時補間手法".
enum class ResampleMethod : int32_t {
  kBilinear = 0,      // "通常"
  kPolynomial = 1,    // "多項式補間"
  kSplineA = 2,       // "スプライン1"
  kCubicBSpline = 3,  // "Cubic B-Spline"
  kOMoms = 4,         // "oMoms"
  kKeys = 5,          // "Keys'function"
};
inline constexpr const char* kResampleMethodLabels[kTransformMethodCount] = {
    "通常", "多項式補間", "スプライン1", "Cubic B-Spline", "oMoms", "Keys'function"};

// Which code computes the pixels. Both give the same bytes; the reference is the rule written
// out plainly, the fast path uses SIMD and both cores. kAuto is the fast path unless
// VARNEL_FORCE_REFERENCE=1.
enum class TransformPath { kAuto, kReference, kFast };

// Resizes source into target at the target's own size: area averaging for both axes when the
// target is narrower or lower than the source, else the method.
void ResizeImage(const ImageDescriptor& source, ImageDescriptor& target, ResampleMethod method,
                 TransformPath path = TransformPath::kAuto);
// Rotates source into target by angle (radians; positive turns clockwise on the screen), the
// source's corner (0, 0) landing at the offsets of RotatedBounds. Target pixels whose sample
// lies outside the source keep what they held.
void RotateImage(const ImageDescriptor& source, ImageDescriptor& target, double angle,
                 TransformPath path = TransformPath::kAuto);

// Gives the saved tiles back to Memwell and clears their flags (the library takes none of its
// own; a target may come with some).
void ClearSavedTiles(ImageDescriptor& image);

// Nearest-neighbour mask transforms: byte (i, j) of target from (i × W / W', j × H / H') of
// source, or from the source position the rotation maps it to (a position outside the source
// leaves the byte alone).
void ResizeMask(const TransformMask& source, TransformMask& target);
void RotateMask(const TransformMask& source, TransformMask& target, double angle);

// The size a W × H picture needs turned by angle, and where its corner (0, 0) goes: the four
// corners (0, 0), (−H sin θ, H cos θ), (W cos θ, W sin θ) and their sum, each coordinate
// truncated toward zero; width is the largest x (at least 0) plus the magnitude of the most
// negative x (0 if none is), height likewise; those magnitudes are the offsets.
struct RotatedBounds {
  int32_t width = 0;
  int32_t height = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
};
RotatedBounds RotatedBoundingSize(double angle, int32_t width, int32_t height);

// The angle "回転" keeps for typed degrees: the degrees modulo 360 (the remainder keeps the
// sign), then −(degrees × 0.005555555555555556 × 3.1415926535) radians.
double TypedRotationAngle(int32_t degrees);
// The angle "平行線で回転" keeps: degrees × 0.005555555555555556 × 3.1415926535, not negated.
double LineRotationAngle(double degrees);

// The rules of the dialogs' fields, inline so the dialogs need nothing else of the library.

// The degrees of a line dragged from (x1, y1) to (x2, y2), 0…360:
// (atan2(y2 − y1, x1 − x2) + 3.1415926536) × 360 × 0.15915494309137826.
inline double DraggedLineDegrees(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return (std::atan2(static_cast<double>(y2 - y1), static_cast<double>(x1 - x2)) + 3.1415926536) * 360.0 *
         0.15915494309137826;
}

// The linked fields of "RESIZE": editing a size sets its percentage to trunc(size / source ×
// 100); editing a percentage sets its size to trunc(percentage × source × 0.01). A source of 0,
// or a result beyond the int range, gives 0.
inline int32_t ResizePercentForSize(int32_t size, int32_t source) {
  if (source == 0) return 0;
  const double percent = static_cast<double>(size) / source * 100.0;
  return std::fabs(percent) < 2147483647.0 ? static_cast<int32_t>(percent) : 0;
}
inline int32_t ResizeSizeForPercent(int32_t percent, int32_t source) {
  const double size = static_cast<double>(percent) * source * 0.01;
  return std::fabs(size) < 2147483647.0 ? static_cast<int32_t>(size) : 0;
}

}  // namespace varnel

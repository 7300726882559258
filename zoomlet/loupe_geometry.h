#pragma once
// The loupe's arithmetic without a window: the magnification table, the layout of the control's
// rectangle, hit testing, the screen point under a control point, and the nearest-pixel stretch
// that fills the magnified area.

#include <array>
#include <cstdint>

namespace varnel {

// Magnification index ("LoupePows") to factor, and the pop-up menu's labels in that order.
inline constexpr std::array<int, 6> kLoupeFactors = {2, 4, 6, 8, 12, 16};
inline constexpr std::array<const char*, 6> kLoupeFactorLabels = {"200%", "400%", "600%", "800%", "1200%", "1600%"};
inline constexpr int kLoupeDefaultIndex = 2;
// Below the magnified area: a strip of this height holding 18-pixel buttons, 18 apart from x 2.
inline constexpr int kLoupeStripHeight = 20;
inline constexpr int kLoupeButtonSize = 18;
// The strip's colour as a COLORREF (0x00BBGGRR).
inline constexpr uint32_t kLoupeStripColour = 0x00C8C8C8u;

// An index outside the table counts as the default, so a bad saved state still shows a picture.
int LoupeFactorOf(int32_t index);

struct LoupeRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  friend bool operator==(const LoupeRect&, const LoupeRect&) = default;
};

enum class LoupePart { Magnified, Timer, Pick, Magnification };

struct LoupeLayout {
  LoupeRect magnified, strip, timer, pick, magnification;
};
// The layout of a control whose client rectangle is width × height (never negative).
LoupeLayout LayoutLoupe(int width, int height);
// Magnification button, pick button, timer button, else the magnified area.
LoupePart HitTestLoupe(const LoupeLayout& layout, int x, int y);

struct LoupePoint {
  int x = 0, y = 0;
  friend bool operator==(const LoupePoint&, const LoupePoint&) = default;
};
// The screen rectangle shown: at origin, (width ÷ factor) × (height ÷ factor), integer division.
LoupeRect LoupeSourceRect(LoupePoint origin, int factor, int width, int height);
// The screen point under control point p: p ÷ factor + origin (integer division, so negative
// control points round toward zero as the design's arithmetic does).
LoupePoint LoupeScreenPoint(LoupePoint origin, int factor, LoupePoint p);

// Fills dst (dstWidth × dstHeight, rows dstStride pixels apart) from src (srcWidth × srcHeight)
// by the nearest source pixel: destination x takes source x · srcWidth ÷ dstWidth, likewise y.
// An empty source leaves dst as it was.
void StretchNearest(const uint32_t* src, int srcWidth, int srcHeight, int srcStride, uint32_t* dst,
                    int dstWidth, int dstHeight, int dstStride);

}  // namespace varnel

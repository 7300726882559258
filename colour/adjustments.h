#pragma once
// The four colour adjustments of the 画像 menu: 色調補正 (curves), 明度・コントラスト調整,
// トーンバランス and RGBA値操作. Each is turned once into lookup tables (a 256-entry table per
// channel, and for the curves of hue, saturation and value a table over the pair maximum and
// chroma) and then applied to rows of 0xAARRGGBB pixels. Only RGBA値操作 touches alpha.
//
// Curves (one ColourCurve per channel of the curve file, curves[k] for channel k):
//   A coordinate c of a control point stands for the byte 256 × c, so the file's 0 ≤ c < 1
//   spans the bytes 0 … 255 (and a little beyond). The curve runs through its knots: the points
//   in ascending x, with (0, 0) put in front unless a point lies at x = 0, and (255/256, 255/256)
//   put behind unless a point lies at or beyond it. No points: the identity.
//   POLYLINE: straight segments from knot to knot; at an x shared by several knots the last of
//   them counts. 3BSPLINE: the uniform quadratic B-spline (order 3) with the knots as its control
//   polygon, clamped so that it starts at the first knot and ends at the last: a chain of
//   quadratic Bézier pieces (P0, P1, mid(P1, P2)), (mid(P1, P2), P2, mid(P2, P3)), …,
//   (mid(Pm−2, Pm−1), Pm−1, Pm); it meets the inner knots' neighbourhood smoothly without passing
//   through them. The curve's table entry for byte i is its height at x = i / 256, times 256,
//   rounded half up and clamped to 0 … 255.
//   RED, GREEN, BLUE map each channel byte through their tables. HUE, SATURATION and VALUE act
//   in HSV first (before the RGB tables), on V = max(r, g, b), chroma C = V − min(r, g, b),
//   S = C / V and the hue:
//     V' = Tv[V].
//     S is read at the fractional table position p = 255 × C / V (0 for black), linearly
//     between the two entries around it: S' = T*(p) / 255, and C' = round(V' × S').
//     With a hue table that is the identity, every channel c keeps its place between the new
//     minimum and maximum: c' = (V' − C') + round((c − min) × C' / C); a grey has hue 0, so
//     should it gain chroma, red becomes V' and green and blue V' − C'. Otherwise the hue is
//     taken in 1536 steps of the circle, hq = 256 × sector + round(256 × f) (mod 1536) with f the
//     mid channel's place in its sector (rising from the minimum in sectors 0, 2, 4 — red to
//     yellow, green to cyan, blue to magenta — falling from the maximum in 1, 3, 5; ties go to
//     red, then green; greys have hue 0); the hue table is read at hq / 6 between its entries,
//     wrapping round (entry 256 is entry 0 plus 256), giving hq' = 6 × T*(hq / 6) mod 1536; in
//     the new sector hq' / 256 the mid channel lies round(C' × (hq' mod 256) / 256) from the end
//     it leaves.
//   Every round() here is half up, on exact integers.
//
// 明度・コントラスト調整 (brightness −255 … 255, contrast −100 … 100), per colour channel:
//   v' = clamp(round((v − 128) × k + 128 + brightness), 0, 255) with k = (100 + contrast) / 100
//   when lowering the contrast and 100 / (100 − contrast) when raising it, so +50 doubles the
//   distance from mid-grey and −50 halves it; at +100 the channel becomes a threshold (below 128
//   → 0, above → 255, 128 itself → 128 + brightness).
//
// トーンバランス (for shadows, midtones and highlights, the sliders cyan–red, magenta–green and
//   yellow–blue, −100 … 100, positive towards red, green and blue): each channel value v is
//   weighed by the tone zones it lies in, x = v / 255: shadows (1 − x)², midtones 4x(1 − x),
//   highlights x², and moved by v' = clamp(v + round(128 × (S × (1 − x)² + M × 4x(1 − x) +
//   H × x²) / 100), 0, 255) with S, M, H that channel's sliders. Luminosity is not preserved.
//
// RGBA値操作 (four sliders 0 … 510, 255 leaves the channel): the slider less 255 is added,
//   c' = clamp(c + slider − 255, 0, 255), for red, green, blue and alpha.
//
// Values outside their ranges are held to them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "colour/colour_curve_file.h"
#include "core/canvas.h"

namespace varnel {

namespace adjust {
struct HsvTableStore;
}

struct CurveSet {
  std::array<ColourCurve, 6> curves;  // curves[k] is channel k (kCurveHue … kCurveBlue)
  CurveSet();
  bool operator==(const CurveSet&) const = default;
};

struct BrightnessContrast {
  int32_t brightness = 0;  // −255 … 255
  int32_t contrast = 0;    // −100 … 100
  bool operator==(const BrightnessContrast&) const = default;
};

struct ToneBalance {
  enum Zone : int { kShadows, kMidtones, kHighlights };
  enum Axis : int { kCyanRed, kMagentaGreen, kYellowBlue };
  std::array<std::array<int32_t, 3>, 3> shifts{};  // [zone][axis], −100 … 100
  bool operator==(const ToneBalance&) const = default;
};

struct RgbaValues {
  static constexpr int32_t kUnchanged = 255;
  std::array<int32_t, 4> values{kUnchanged, kUnchanged, kUnchanged, kUnchanged};  // red, green, blue, alpha; 0 … 510
  bool operator==(const RgbaValues&) const = default;
};

using Adjustment = std::variant<CurveSet, BrightnessContrast, ToneBalance, RgbaValues>;

using CurveTable = std::array<uint8_t, 256>;
// The curve's table (the channel is not consulted). Coordinates outside 0 … 1 (or NaN) are
// held to the range.
CurveTable EvaluateCurve(const ColourCurve& curve);
// The ends the curve runs through without a point of its own: (0, 0) unless a point lies at
// x = 0, (255/256, 255/256) unless a point lies at or beyond it.
std::vector<CurvePoint> ImplicitCurveEnds(const ColourCurve& curve);

// The tables of one adjustment, built once.
class AdjustmentKernel {
 public:
  explicit AdjustmentKernel(const Adjustment& adjustment);

  uint32_t Apply(uint32_t pixel) const;
  // In place; no allocation, no lock.
  void Apply(uint32_t* pixels, size_t count) const;
  // Every row of the surface, in two bands of rows on two threads when it is large.
  void ApplyToSurface(ImageSurface& surface) const;
  bool IsIdentity() const { return m_identity; }

 private:
  // The HSV stage alone.
  void ApplyHsv(uint32_t* pixels, size_t count) const;

  std::array<uint8_t, 256> m_red, m_green, m_blue, m_alpha;
  bool m_identity = true;
  bool m_alphaTable = false;    // alpha goes through m_alpha
  bool m_colourTables = false;  // red, green and blue go through their tables
  bool m_hsv = false;           // the HSV stage runs before the RGB tables
  bool m_hueTable = false;      // the hue goes through the hue table
  std::shared_ptr<const adjust::HsvTableStore> m_hsvTables;
};

// A canvas operation that applies an adjustment to the target it is handed.
class AdjustmentOperation : public CanvasOperation {
 public:
  explicit AdjustmentOperation(const Adjustment& adjustment) : m_kernel(adjustment) {}
  void Execute(ImageSurface& target, int32_t pass) override;

 private:
  AdjustmentKernel m_kernel;
};

// Applies the adjustment through the canvas (active layer, or the mask image under edit; the
// selection and its coverage as for every operation) as one undo step, recomposed.
void ApplyAdjustment(Canvas& canvas, const Adjustment& adjustment);

// Shows an adjustment on the canvas while its dialog is open, without committing anything: the
// target's pixels in an area are changed with their tiles backed up (merged through the
// selection as the operation merges them), and Revert puts those tiles back. The target must have
// no uncommitted change when the preview starts (tools close their steps as they finish). The
// changed part of the composite is recomposed; the caller shows it.
class AdjustmentPreview {
 public:
  explicit AdjustmentPreview(Canvas& canvas);
  ~AdjustmentPreview();
  AdjustmentPreview(const AdjustmentPreview&) = delete;
  AdjustmentPreview& operator=(const AdjustmentPreview&) = delete;

  // Shows the adjustment over area (canvas pixels, inclusive) in place of what was shown; the
  // rest of the picture is as it was.
  void Show(const Adjustment& adjustment, const Rect& area);
  // Puts the picture back exactly as it was.
  void Revert();
  // Reverts, then applies the adjustment to the whole target as one undo step (none for an
  // adjustment that changes nothing).
  void Commit(const Adjustment& adjustment);
  // The canvas rectangle that shows the adjustment now; empty when none does.
  Rect Shown() const { return m_shown; }

 private:
  ImageSurface* Target() const;

  Canvas& m_canvas;
  Rect m_shown{0, 0, -1, -1};
  std::vector<uint32_t> m_original;  // the shown area's pixels as they were
  std::vector<uint32_t> m_pixels;    // and as they are shown
};

}  // namespace varnel

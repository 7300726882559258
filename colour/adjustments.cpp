// The colour adjustments: their tables, the kernel that applies them, the canvas operation and
// the dialogs' preview. The rules are written out in adjustments.h.

#include "colour/adjustments.h"

#include <algorithm>
#include <cmath>

#include "colour/adjustments_p.h"
#include "core/bands.h"
#include "core/region.h"
#include "core/region_clipped_image.h"
#include "platform/fast_paths.h"

namespace varnel {
namespace {

// The byte 255 as a curve coordinate: where the implicit right end of every curve lies.
constexpr double kLastByte = 255.0 / 256.0;

struct Knot {
  double x;
  double y;
};

double Held(double value) { return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0); }

// Floor division for a positive divisor (C++ truncates toward zero).
int64_t FloorDiv(int64_t numerator, int64_t denominator) {
  const int64_t q = numerator / denominator;
  return (numerator % denominator != 0 && numerator < 0) ? q - 1 : q;
}

// round(numerator / denominator), halves up, for a positive denominator.
int64_t RoundDiv(int64_t numerator, int64_t denominator) { return FloorDiv(2 * numerator + denominator, 2 * denominator); }

uint8_t ClampByte(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255)); }

std::vector<Knot> Knots(const ColourCurve& curve) {
  std::vector<Knot> knots;
  knots.reserve(curve.points.size() + 2);
  for (const CurvePoint& point : curve.points) knots.push_back({Held(point.x), Held(point.y)});
  // The ends lie left and right of every point: sorting puts them in their places.
  for (const CurvePoint& end : ImplicitCurveEnds(curve)) knots.push_back({end.x, end.y});
  // Stable, so that of several knots at one x the last one given stays last.
  std::stable_sort(knots.begin(), knots.end(), [](const Knot& a, const Knot& b) { return a.x < b.x; });
  return knots;
}

// The polyline's height at u: from the last knot at or left of u towards the next one.
double PolylineAt(const std::vector<Knot>& knots, double u) {
  size_t k = 0;
  while (k + 1 < knots.size() && knots[k + 1].x <= u) ++k;
  if (k + 1 == knots.size()) return knots[k].y;
  const Knot& a = knots[k];
  const Knot& b = knots[k + 1];
  return a.y + (u - a.x) * (b.y - a.y) / (b.x - a.x);
}

double Bezier(double a, double b, double c, double s) { return (1 - s) * (1 - s) * a + 2 * s * (1 - s) * b + s * s * c; }

// The clamped uniform quadratic B-spline's height at u. Its pieces are quadratic Béziers whose
// x never falls (the knots ascend), so each piece is solved for u by bisection.
double BSplineAt(const std::vector<Knot>& knots, double u) {
  const size_t m = knots.size() - 1;
  if (m < 2) return PolylineAt(knots, u);
  const auto mid = [](const Knot& p, const Knot& q) { return Knot{(p.x + q.x) / 2, (p.y + q.y) / 2}; };
  Knot a{}, b{}, c{};
  for (size_t j = 0; j + 1 < m; ++j) {
    const Knot start = j == 0 ? knots[0] : mid(knots[j], knots[j + 1]);
    if (j > 0 && start.x > u) break;
    a = start;
    b = knots[j + 1];
    c = j + 2 == m ? knots[m] : mid(knots[j + 1], knots[j + 2]);
  }
  if (c.x <= u || c.x == a.x) return c.y;
  double low = 0.0, high = 1.0;
  for (int i = 0; i < 60; ++i) {
    const double s = (low + high) / 2;
    if (Bezier(a.x, b.x, c.x, s) < u) {
      low = s;
    } else {
      high = s;
    }
  }
  return Bezier(a.y, b.y, c.y, (low + high) / 2);
}

bool IsIdentityTable(const CurveTable& table) {
  for (int i = 0; i < 256; ++i)
    if (table[static_cast<size_t>(i)] != i) return false;
  return true;
}

CurveTable IdentityTable() {
  CurveTable table;
  for (int i = 0; i < 256; ++i) table[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  return table;
}

// Two bands of rows on two threads once there is enough work to pay for the second thread.
constexpr size_t kSplitPixels = size_t{1} << 18;

template <typename Work>
void RunSplit(int32_t count, size_t pixelsPerItem, Work work) {
  RunInTwoBands(static_cast<size_t>(std::max(count, 0)) * pixelsPerItem >= kSplitPixels, 0, count, work);
}

}  // namespace

namespace adjust {

HsvTableStore BuildHsvTables(const CurveTable& hue, const CurveTable& saturation, const CurveTable& value) {
  HsvTableStore store;
  store.place.assign(size_t{256} * 256, 0);
  store.ends.assign(size_t{256} * 256, 0);
  for (int64_t maximum = 0; maximum < 256; ++maximum) {
    const int64_t newMaximum = value[static_cast<size_t>(maximum)];
    for (int64_t chroma = 0; chroma <= maximum; ++chroma) {
      int64_t newChroma;
      if (maximum == 0) {
        newChroma = RoundDiv(newMaximum * saturation[0], 255);
      } else {
        // The saturation table read at 255 × C / V, between its two entries.
        const int64_t i = 255 * chroma / maximum, r = 255 * chroma % maximum;
        const int64_t next = saturation[static_cast<size_t>(std::min<int64_t>(i + 1, 255))];
        const int64_t sigma = saturation[static_cast<size_t>(i)] * (maximum - r) + next * r;
        newChroma = RoundDiv(newMaximum * sigma, 255 * maximum);
      }
      const size_t index = static_cast<size_t>(maximum * 256 + chroma);
      store.place[index] = PlaceMultiplier(static_cast<uint32_t>(newChroma), static_cast<uint32_t>(chroma));
      store.ends[index] = static_cast<uint32_t>((newMaximum - newChroma) | newMaximum << 8 | newChroma << 16);
    }
  }
  if (IsIdentityTable(hue)) return store;
  store.hue.assign(kHueSteps + 1, 0);  // the last one pads eight-at-a-time reads
  for (uint32_t step = 0; step < kHueSteps; ++step) {
    const uint32_t i = step / 6, r = step % 6;
    // Round the circle: past the last entry comes the first, one turn on.
    const uint32_t next = i == 255 ? hue[0] + 256u : hue[i + 1];
    store.hue[step] = static_cast<uint16_t>((hue[i] * (6 - r) + next * r) % kHueSteps);
  }
  return store;
}

}  // namespace adjust

CurveSet::CurveSet() {
  for (size_t k = 0; k < curves.size(); ++k) curves[k].channel = static_cast<int32_t>(k);
}

std::vector<CurvePoint> ImplicitCurveEnds(const ColourCurve& curve) {
  bool bottom = true, top = true;
  for (const CurvePoint& point : curve.points) {
    if (Held(point.x) <= 0.0) bottom = false;
    if (Held(point.x) >= kLastByte) top = false;
  }
  std::vector<CurvePoint> ends;
  if (bottom) ends.push_back({0.0, 0.0});
  if (top) ends.push_back({kLastByte, kLastByte});
  return ends;
}

CurveTable EvaluateCurve(const ColourCurve& curve) {
  if (curve.points.empty()) return IdentityTable();
  const std::vector<Knot> knots = Knots(curve);
  CurveTable table;
  for (int i = 0; i < 256; ++i) {
    const double u = i / 256.0;
    const double y = curve.type == kCurveBSpline ? BSplineAt(knots, u) : PolylineAt(knots, u);
    table[static_cast<size_t>(i)] = ClampByte(static_cast<int64_t>(std::floor(256.0 * y + 0.5)));
  }
  return table;
}

AdjustmentKernel::AdjustmentKernel(const Adjustment& adjustment)
    : m_red(IdentityTable()), m_green(IdentityTable()), m_blue(IdentityTable()), m_alpha(IdentityTable()) {
  std::array<CurveTable*, 3> colour = {&m_red, &m_green, &m_blue};
  if (const auto* curves = std::get_if<CurveSet>(&adjustment)) {
    // Curves: the HSV stage (when any of its curves is not the identity), then a table per colour.
    m_red = EvaluateCurve(curves->curves[kCurveRed]);
    m_green = EvaluateCurve(curves->curves[kCurveGreen]);
    m_blue = EvaluateCurve(curves->curves[kCurveBlue]);
    const CurveTable hue = EvaluateCurve(curves->curves[kCurveHue]);
    const CurveTable saturation = EvaluateCurve(curves->curves[kCurveSaturation]);
    const CurveTable value = EvaluateCurve(curves->curves[kCurveValue]);
    m_hueTable = !IsIdentityTable(hue);
    m_hsv = m_hueTable || !IsIdentityTable(saturation) || !IsIdentityTable(value);
    if (m_hsv) m_hsvTables = std::make_shared<const adjust::HsvTableStore>(adjust::BuildHsvTables(hue, saturation, value));
  } else if (const auto* bc = std::get_if<BrightnessContrast>(&adjustment)) {
    const int64_t brightness = std::clamp<int64_t>(bc->brightness, -255, 255);
    const int64_t contrast = std::clamp<int64_t>(bc->contrast, -100, 100);
    // (v − 128) × k + 128 + brightness, clamped; k = numerator / denominator, and at contrast
    // +100 (denominator 0) a threshold at 128.
    const int64_t numerator = contrast <= 0 ? 100 + contrast : 100;
    const int64_t denominator = contrast <= 0 ? 100 : 100 - contrast;
    for (int64_t v = 0; v < 256; ++v) {
      int64_t result;
      if (denominator == 0) {
        result = v < 128 ? 0 : v > 128 ? 255 : 128 + brightness;
      } else {
        result = RoundDiv((v - 128) * numerator, denominator) + 128 + brightness;
      }
      m_red[static_cast<size_t>(v)] = ClampByte(result);
    }
    m_green = m_blue = m_red;
  } else if (const auto* tone = std::get_if<ToneBalance>(&adjustment)) {
    // v + 128 × (S (255 − v)² + M · 4v(255 − v) + H v²) / (100 × 255²), clamped, per axis.
    for (size_t axis = 0; axis < 3; ++axis) {
      const int64_t shadows = std::clamp<int64_t>(tone->shifts[ToneBalance::kShadows][axis], -100, 100);
      const int64_t midtones = std::clamp<int64_t>(tone->shifts[ToneBalance::kMidtones][axis], -100, 100);
      const int64_t highlights = std::clamp<int64_t>(tone->shifts[ToneBalance::kHighlights][axis], -100, 100);
      CurveTable& table = *colour[axis];
      for (int64_t v = 0; v < 256; ++v) {
        const int64_t w = 255 - v;
        const int64_t weighed = shadows * w * w + midtones * 4 * v * w + highlights * v * v;
        table[static_cast<size_t>(v)] = ClampByte(v + RoundDiv(128 * weighed, 100 * 255 * 255));
      }
    }
  } else if (const auto* rgba = std::get_if<RgbaValues>(&adjustment)) {
    // c + slider − 255, clamped, alpha included.
    std::array<CurveTable*, 4> tables = {&m_red, &m_green, &m_blue, &m_alpha};
    for (size_t c = 0; c < 4; ++c) {
      const int64_t offset = std::clamp<int64_t>(rgba->values[c], 0, 510) - RgbaValues::kUnchanged;
      for (int64_t v = 0; v < 256; ++v) (*tables[c])[static_cast<size_t>(v)] = ClampByte(v + offset);
    }
  }
  m_alphaTable = !IsIdentityTable(m_alpha);
  m_colourTables = !IsIdentityTable(m_red) || !IsIdentityTable(m_green) || !IsIdentityTable(m_blue);
  m_identity = !m_hsv && !m_alphaTable && !m_colourTables;
}

void AdjustmentKernel::ApplyHsv(uint32_t* pixels, size_t count) const {
  const adjust::HsvTables tables = m_hsvTables->View();
  if (UseAvx2Paths()) {
    adjust::HsvRunAvx2(pixels, count, tables, m_hueTable);
  } else if (m_hueTable) {
    adjust::HsvRunReference<true>(pixels, count, tables);
  } else {
    adjust::HsvRunReference<false>(pixels, count, tables);
  }
}

uint32_t AdjustmentKernel::Apply(uint32_t pixel) const {
  Apply(&pixel, 1);
  return pixel;
}

void AdjustmentKernel::Apply(uint32_t* pixels, size_t count) const {
  if (m_identity) return;
  const uint8_t* red = m_red.data();
  const uint8_t* green = m_green.data();
  const uint8_t* blue = m_blue.data();
  if (m_hsv) {
    // In runs that stay in the cache between the two stages.
    constexpr size_t kRun = 1024;
    for (size_t done = 0; done < count; done += kRun) {
      uint32_t* run = pixels + done;
      const size_t n = std::min(kRun, count - done);
      ApplyHsv(run, n);
      if (!m_colourTables) continue;
      for (size_t i = 0; i < n; ++i) {
        const uint32_t p = run[i];
        run[i] = (p & 0xFF000000u) | uint32_t{red[(p >> 16) & 0xFFu]} << 16 | uint32_t{green[(p >> 8) & 0xFFu]} << 8 |
                 blue[p & 0xFFu];
      }
    }
  } else if (m_alphaTable) {
    const uint8_t* alpha = m_alpha.data();
    for (size_t i = 0; i < count; ++i) {
      const uint32_t p = pixels[i];
      pixels[i] = uint32_t{alpha[p >> 24]} << 24 | uint32_t{red[(p >> 16) & 0xFFu]} << 16 |
                  uint32_t{green[(p >> 8) & 0xFFu]} << 8 | blue[p & 0xFFu];
    }
  } else {
    for (size_t i = 0; i < count; ++i) {
      const uint32_t p = pixels[i];
      pixels[i] = (p & 0xFF000000u) | uint32_t{red[(p >> 16) & 0xFFu]} << 16 | uint32_t{green[(p >> 8) & 0xFFu]} << 8 |
                  blue[p & 0xFFu];
    }
  }
}

void AdjustmentKernel::ApplyToSurface(ImageSurface& surface) const {
  if (m_identity || surface.Bits() == nullptr) return;
  const size_t width = static_cast<size_t>(surface.Width());
  RunSplit(surface.Height(), width, [&](int32_t top, int32_t end) {
    for (int32_t y = top; y < end; ++y) Apply(surface.Row(y), width);
  });
}

void AdjustmentOperation::Execute(ImageSurface& target, int32_t pass) {
  if (pass == 1) m_kernel.ApplyToSurface(target);
}

void ApplyAdjustment(Canvas& canvas, const Adjustment& adjustment) {
  AdjustmentOperation operation(adjustment);
  canvas.ApplyOperation(operation);
}

AdjustmentPreview::AdjustmentPreview(Canvas& canvas) : m_canvas(canvas) {}

AdjustmentPreview::~AdjustmentPreview() { Revert(); }

ImageSurface* AdjustmentPreview::Target() const {
  return m_canvas.MaskImage() ? m_canvas.MaskImage() : static_cast<ImageSurface*>(m_canvas.ActiveLayer());
}

void AdjustmentPreview::Revert() {
  if (m_shown.IsEmpty()) return;
  if (ImageSurface* target = Target()) {
    target->RevertUncommitted();
    target->ClearDirty();
  }
  m_canvas.Compose(m_shown);
  m_shown = Rect{0, 0, -1, -1};
}

void AdjustmentPreview::Show(const Adjustment& adjustment, const Rect& area) {
  ImageSurface* target = Target();
  if (target == nullptr) return;
  const int32_t offsetX = m_canvas.EditOffsetX(), offsetY = m_canvas.EditOffsetY();
  Rect wanted = area.Normalized().Offset(-offsetX, -offsetY).Intersected({0, 0, target->Width() - 1, target->Height() - 1});
  const Region* selection = m_canvas.Selection();
  if (selection) wanted = wanted.Intersected(selection->Bounds().Offset(-offsetX, -offsetY));
  const AdjustmentKernel kernel(adjustment);
  const Rect previous = m_shown;
  // Another area (or nothing to show) starts from the picture as it was; the same area keeps its
  // backed-up tiles and the copy of its pixels, and is only written over.
  const bool sameArea = !previous.IsEmpty() && !wanted.IsEmpty() && wanted.Offset(offsetX, offsetY) == previous;
  if (!previous.IsEmpty() && (!sameArea || kernel.IsIdentity())) {
    target->RevertUncommitted();
    m_shown = Rect{0, 0, -1, -1};
  }
  if (!wanted.IsEmpty() && !kernel.IsIdentity()) {
    const size_t width = static_cast<size_t>(wanted.Width());
    const size_t count = width * static_cast<size_t>(wanted.Height());
    if (m_shown.IsEmpty()) {
      m_original.resize(count);
      target->GetRect(wanted, m_original.data());
    }
    m_pixels.resize(count);
    RunSplit(wanted.Height(), width, [&](int32_t top, int32_t end) {
      const size_t first = static_cast<size_t>(top) * width, rows = static_cast<size_t>(end - top);
      const uint32_t* before = m_original.data() + first;
      uint32_t* pixels = m_pixels.data() + first;
      std::copy_n(before, rows * width, pixels);
      kernel.Apply(pixels, rows * width);
      if (!selection) return;
      // The operation's merge through the selection: each pixel weighed by its coverage.
      for (int32_t y = top; y < end; ++y, pixels += width, before += width) {
        const uint8_t* coverage =
            selection->Row(wanted.top + y + offsetY - selection->Top()) + (wanted.left + offsetX - selection->Left());
        for (size_t i = 0; i < width; ++i) {
          const uint8_t m = coverage[i];
          if (m == 0) {
            pixels[i] = before[i];
          } else if (m != 255) {
            pixels[i] = RegionClippedImage::BlendCovered(before[i], pixels[i], m);
          }
        }
      }
    });
    // The first write of the area backs its tiles up; later ones find them saved.
    target->SetRect(wanted, m_pixels.data());
    m_shown = wanted.Offset(offsetX, offsetY);
  }
  target->ClearDirty();
  Rect changed = m_shown;
  if (!previous.IsEmpty()) {
    changed = m_shown.IsEmpty() ? previous
                                : Rect{std::min(previous.left, m_shown.left), std::min(previous.top, m_shown.top),
                                       std::max(previous.right, m_shown.right), std::max(previous.bottom, m_shown.bottom)};
  }
  if (!changed.IsEmpty()) m_canvas.Compose(changed);
}

void AdjustmentPreview::Commit(const Adjustment& adjustment) {
  Revert();
  if (!AdjustmentKernel(adjustment).IsIdentity()) ApplyAdjustment(m_canvas, adjustment);
}

}  // namespace varnel

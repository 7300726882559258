#include "brush/brush_kinds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "brush/brush_settings.h"
#include "core/colour_convert.h"

namespace varnel {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

int32_t Channel(uint32_t pixel, int shift) { return static_cast<int32_t>((pixel >> shift) & 0xFF); }

size_t PixelCount(const Rect& rect) {
  return static_cast<size_t>(rect.Width()) * static_cast<size_t>(rect.Height());
}

void CopyOld(const Rect& rect, const uint32_t* old, uint32_t* result) {
  std::memcpy(result, old, PixelCount(rect) * sizeof(uint32_t));
}

uint32_t WithBgr(uint32_t pixel, const uint8_t* bytes) {
  return (pixel & 0xFF000000u) | (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[1]) << 8) |
         bytes[0];
}

void ToBytes(uint32_t pixel, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(pixel);
  bytes[1] = static_cast<uint8_t>(pixel >> 8);
  bytes[2] = static_cast<uint8_t>(pixel >> 16);
  bytes[3] = static_cast<uint8_t>(pixel >> 24);
}

}  // namespace

std::unique_ptr<BrushEngine> CreateBrushKind(int32_t kind, Size size) {
  switch (kind) {
    case kBrushNormal:
      return std::make_unique<NormalBrush>(size);
    case kBrushBristle:
      return std::make_unique<BristleBrush>(size);
    case kBrushOilPaint:
      return std::make_unique<OilPaintBrush>(size);
    case kBrushBlur:
      return std::make_unique<BlurBrush>(size);
    case kBrushFingerSmudge:
      return std::make_unique<FingerSmudgeBrush>(size);
    case kBrushRainbow:
      return std::make_unique<RainbowBrush>(size);
    case kBrushStir:
      return std::make_unique<StirBrush>(size);
    case kBrushBlur2:
      return std::make_unique<Blur2Brush>(size);
    case kBrushBristle2:
      return std::make_unique<Bristle2Brush>(size);
    case kBrushDodgeAll:
    case kBrushBurnAll:
    case kBrushDodgeBright:
    case kBrushBurnBright:
    case kBrushDodgeMiddle:
    case kBrushBurnMiddle:
    case kBrushDodgeDark:
    case kBrushBurnDark:
      return std::make_unique<DodgeBurnBrush>(kind, size);
    case kBrushOpacityAdd:
    case kBrushOpacitySubtract:
      return std::make_unique<OpacityBrush>(kind, size);
    case kBrushSharpen:
      return std::make_unique<SharpenBrush>(size);
    case kBrushSaturationUp:
    case kBrushSaturationDown:
      return std::make_unique<SaturationBrush>(kind, size);
    default:
      return nullptr;
  }
}

// --- colour kinds -------------------------------------------------------------------------

bool NormalBrush::ColourAndMask(ImageSurface&, const Rect& rect, const uint32_t*, uint32_t* colour, uint8_t* mask) {
  const size_t count = PixelCount(rect);
  std::fill(colour, colour + count, Foreground() | kOpaque);
  std::memset(mask, 255, count);
  return true;
}

bool DabCounter::Tick() {
  const int32_t before = count++;
  if (before <= limit) return false;
  count = 0;
  limit = 32 + CrtRand() % 32;
  return true;
}

BristleBrush::BristleBrush(Size size, int32_t kind) : BrushEngine(kind, size) {
  if (kind == kBrushBristle) ScatterBristles();
}

void BristleBrush::ScatterBristles() {
  const Size size = GetSize();
  ScatterDots(m_bristles, size.width, size.height, 0.3, [] { return uint8_t{80}; });
}

void BristleBrush::OnSizeChanged() { ScatterBristles(); }

bool BristleBrush::ColourAndMask(ImageSurface&, const Rect& rect, const uint32_t*, uint32_t* colour, uint8_t* mask) {
  if (m_counter.Tick()) ScatterBristles();
  const size_t count = PixelCount(rect);
  std::fill(colour, colour + count, Foreground() | kOpaque);
  std::memcpy(mask, m_bristles.data(), count);
  return true;
}

Bristle2Brush::Bristle2Brush(Size size) : BristleBrush(size, kBrushBristle2) { Lay(); }

void Bristle2Brush::Lay() {
  ScatterBristles();
  m_bristleWidth = GetSize().width;
  m_bristleHeight = GetSize().height;
}

void Bristle2Brush::OnSizeChanged() { Lay(); }

void Bristle2Brush::OnStrokeBegins() { Lay(); }

bool Bristle2Brush::ColourAndMask(ImageSurface&, const Rect& rect, const uint32_t*, uint32_t* colour, uint8_t* mask) {
  if (GetSize() != Size{m_bristleWidth, m_bristleHeight}) Lay();
  const size_t count = PixelCount(rect);
  std::fill(colour, colour + count, Foreground() | kOpaque);
  std::memcpy(mask, m_bristles.data(), count);
  return true;
}

OilPaintBrush::OilPaintBrush(Size size) : BrushEngine(kBrushOilPaint, size) {
  // Until the tool sets its colours every entry is the (black) foreground.
  std::fill(std::begin(m_table), std::end(m_table), Foreground() | kOpaque);
  ScatterIndices();
}

void OilPaintBrush::ScatterIndices() {
  const Size size = GetSize();
  ScatterDots(m_indices, size.width, size.height, 0.5, [] { return static_cast<uint8_t>(CrtRand() % 9); });
}

void OilPaintBrush::OnSizeChanged() { ScatterIndices(); }

void OilPaintBrush::SetColours(ColourRef foreground, ColourRef background) {
  BrushEngine::SetColours(foreground, background);
  uint8_t base[4];
  ToBytes(Foreground(), base);
  const HsvColour hsv = RgbToHsv(base);
  for (int i = 0; i < 9; ++i) {
    const int32_t valueStep = CrtRand() % 8;
    const int32_t saturationStep = CrtRand() % 8;
    HsvColour entry = hsv;
    if (i % 2 == 0) {
      entry.value = std::min(255.0, std::trunc(hsv.value + valueStep));
      entry.saturation = std::max(0.0, hsv.saturation - saturationStep * 0.01);
    } else {
      entry.value = std::max(0.0, std::trunc(hsv.value - valueStep));
      entry.saturation = std::min(1.0, hsv.saturation + saturationStep * 0.01);
    }
    uint8_t bytes[4];
    std::memcpy(bytes, base, 4);
    HsvToRgb(entry, bytes);
    m_table[i] = WithBgr(kOpaque, bytes);
  }
}

bool OilPaintBrush::ColourAndMask(ImageSurface&, const Rect& rect, const uint32_t*, uint32_t* colour, uint8_t* mask) {
  if (m_counter.Tick()) ScatterIndices();
  const size_t count = PixelCount(rect);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t index = m_indices[i];
    colour[i] = m_table[index];
    mask[i] = index != 0 ? 255 : 0;
  }
  return true;
}

// --- square kernels -----------------------------------------------------------------------

bool BlurBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* result) {
  CopyOld(rect, old, result);
  const int32_t w = rect.Width(), h = rect.Height();
  for (int32_t y = 1; y < h - 1; ++y) {
    for (int32_t x = 1; x < w - 1; ++x) {
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      const uint32_t c = old[at], up = old[at - static_cast<size_t>(w)], down = old[at + static_cast<size_t>(w)];
      const uint32_t left = old[at - 1], right = old[at + 1];
      uint32_t out = c & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const int32_t sum = Channel(c, shift) + Channel(up, shift) + Channel(down, shift) + Channel(left, shift) +
                            Channel(right, shift);
        out |= static_cast<uint32_t>((sum + 3) / 5) << shift;
      }
      result[at] = out;
    }
  }
  return true;
}

RainbowBrush::RainbowBrush(Size size) : BrushEngine(kBrushRainbow, size) {
  for (int32_t hue = 0; hue < 360; ++hue) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    HsvToRgb({static_cast<double>(hue), 1.0, 255.0}, bytes);
    m_colours[hue] = WithBgr(kOpaque, bytes);
  }
}

bool RainbowBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t*, uint32_t* result) {
  m_hue = (m_hue + 1) % 360;
  std::fill(result, result + PixelCount(rect), m_colours[m_hue]);
  return true;
}

bool StirBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* result) {
  const int32_t w = rect.Width(), h = rect.Height();
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t column = CrtRand() % w;
      const int32_t row = CrtRand() % h;
      result[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          old[static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(column)];
    }
  }
  return true;
}

bool Blur2Brush::Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) {
  CopyOld(rect, old, result);
  const int32_t w = rect.Width(), h = rect.Height();
  const int32_t radius = (h / 2 + w / 2) / 2;
  const int32_t cx = w / 2, cy = h / 2;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t dx = x - cx, dy = y - cy;
      const int32_t d2 = dx * dx + dy * dy;
      if (d2 > radius * radius) continue;
      const int32_t lx = rect.left + x, ly = rect.top + y;
      int32_t target[4];
      if (d2 <= 36) {
        // The mean of the four neighbours on the layer that are not transparent.
        const int32_t around[4][2] = {{lx, ly - 1}, {lx, ly + 1}, {lx - 1, ly}, {lx + 1, ly}};
        int32_t sum[4] = {0, 0, 0, 0};
        int32_t n = 0;
        for (const auto& p : around) {
          uint32_t pixel;
          if (!layer.GetPixel(p[0], p[1], &pixel) || (pixel >> 24) == 0) continue;
          for (int c = 0; c < 4; ++c) sum[c] += Channel(pixel, c * 8);
          ++n;
        }
        if (n == 0) continue;
        for (int c = 0; c < 4; ++c) target[c] = (sum[c] + n / 2) / n;
      } else {
        // One pixel along the line toward the centre.
        const double d = std::sqrt(static_cast<double>(d2));
        const int32_t sx = lx - static_cast<int32_t>(std::lround(dx / d));
        const int32_t sy = ly - static_cast<int32_t>(std::lround(dy / d));
        uint32_t pixel;
        if (!layer.GetPixel(sx, sy, &pixel)) continue;
        for (int c = 0; c < 4; ++c) target[c] = Channel(pixel, c * 8);
      }
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      const uint32_t c0 = old[at];
      uint32_t out = 0;
      for (int c = 0; c < 4; ++c) {
        const int32_t value = Channel(c0, c * 8);
        out |= static_cast<uint32_t>(value + ((target[c] - value) * 30) / 256) << (c * 8);
      }
      result[at] = out;
    }
  }
  return true;
}

// --- round kernels ------------------------------------------------------------------------

RoundBrush::RoundBrush(int32_t kind, Size size) : BrushEngine(kind, size) { m_round.Build(size.width, size.height); }

void RoundBrush::OnSizeChanged() { m_round.Build(GetSize().width, GetSize().height); }

bool FingerSmudgeBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* result) {
  const Size size = rect.Dimensions();
  const int32_t count = m_dabCount++;
  if (count % 2 == 0 || size != m_carriedSize) {
    // Pick the paint up; it goes down at the next dab.
    m_carried.assign(old, old + PixelCount(rect));
    m_carriedSize = size;
    return false;
  }
  CopyOld(rect, old, result);
  const int32_t w = size.width, h = size.height;
  for (int32_t y = 1; y < h - 1; ++y) {
    for (int32_t x = 1; x < w - 1; ++x) {
      if (m_round.At(x, y) == 0) continue;
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      const uint32_t centre = m_carried[at];
      const uint32_t around[4] = {m_carried[at - static_cast<size_t>(w)], m_carried[at + static_cast<size_t>(w)],
                                  m_carried[at - 1], m_carried[at + 1]};
      int32_t sums[3];
      int32_t weight = 4;
      for (int c = 0; c < 3; ++c) sums[c] = 4 * Channel(centre, c * 8);
      int32_t alpha = 2 * Channel(centre, 24);
      for (uint32_t n : around) {
        alpha += Channel(n, 24);
        if ((n >> 24) == 0) continue;
        for (int c = 0; c < 3; ++c) sums[c] += Channel(n, c * 8);
        ++weight;
      }
      uint32_t out = static_cast<uint32_t>(alpha / 6) << 24;
      for (int c = 0; c < 3; ++c) out |= static_cast<uint32_t>((sums[c] + weight / 2) / weight) << (c * 8);
      result[at] = out;
    }
  }
  return true;
}

DodgeBurnBrush::DodgeBurnBrush(int32_t kind, Size size) : RoundBrush(kind, size) {
  m_dodge = (kind % 2) == 0;
  switch (kind) {
    case kBrushDodgeBright:
    case kBrushBurnBright:
      m_low = 170, m_high = 255;
      break;
    case kBrushDodgeMiddle:
    case kBrushBurnMiddle:
      m_low = 85, m_high = 170;
      break;
    case kBrushDodgeDark:
    case kBrushBurnDark:
      m_low = 0, m_high = 85;
      break;
    default:
      m_low = 0, m_high = 255;
      break;
  }
}

bool DodgeBurnBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* result) {
  CopyOld(rect, old, result);
  const size_t count = PixelCount(rect);
  const uint8_t* mask = m_round.Data();
  for (size_t i = 0; i < count; ++i) {
    if (mask[i] == 0) continue;
    const uint32_t p = old[i];
    const int32_t tone = (Channel(p, 16) + Channel(p, 8) + Channel(p, 0)) / 3;
    if (tone < m_low || tone > m_high) continue;
    uint8_t bytes[4];
    ToBytes(p, bytes);
    if (m_dodge) {
      HlsColour hls = RgbToHls(p);
      hls.lightness = std::min(255, hls.lightness + 1);
      HlsToRgb(hls, bytes);
    } else {
      HsvColour hsv = RgbToHsv(bytes);
      hsv.value = std::max(0.0, hsv.value - 0.5);
      HsvToRgb(hsv, bytes);
    }
    result[i] = WithBgr(p, bytes);
  }
  return true;
}

bool OpacityBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* result) {
  CopyOld(rect, old, result);
  const size_t count = PixelCount(rect);
  const uint8_t* mask = m_round.Data();
  const bool add = Kind() == kBrushOpacityAdd;
  for (size_t i = 0; i < count; ++i) {
    if (mask[i] == 0) continue;
    const int32_t a = Channel(old[i], 24);
    const int32_t half = mask[i] >> 1;
    const int32_t alpha = add ? a + ((half * (255 - a)) >> 8) : a - ((half * a) >> 8);
    result[i] = (old[i] & 0x00FFFFFFu) | (static_cast<uint32_t>(alpha) << 24);
  }
  return true;
}

bool SharpenBrush::Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) {
  CopyOld(rect, old, result);
  const int32_t w = rect.Width(), h = rect.Height();
  // The neighbours come from the layer, one pixel beyond the dab on every side; past the
  // layer's edge the nearest layer pixel stands in.
  const Rect around{rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1};
  const size_t aw = static_cast<size_t>(w) + 2;
  m_around.resize(aw * (static_cast<size_t>(h) + 2));
  if (!ReadClamped(layer, around, m_around.data())) return false;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (m_round.At(x, y) == 0) continue;
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      const size_t a = (static_cast<size_t>(y) + 1) * aw + static_cast<size_t>(x) + 1;
      const uint32_t c = old[at];
      const uint32_t up = m_around[a - aw], down = m_around[a + aw], left = m_around[a - 1], right = m_around[a + 1];
      uint32_t out = c & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const int32_t v = Channel(c, shift);
        const int32_t edge = 4 * v - Channel(up, shift) - Channel(down, shift) - Channel(left, shift) - Channel(right, shift);
        out |= static_cast<uint32_t>(std::clamp(v + edge / 6, 0, 255)) << shift;
      }
      result[at] = out;
    }
  }
  return true;
}

bool SaturationBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* result) {
  CopyOld(rect, old, result);
  const size_t count = PixelCount(rect);
  const uint8_t* mask = m_round.Data();
  const int32_t step = Kind() == kBrushSaturationUp ? 4 : -4;
  for (size_t i = 0; i < count; ++i) {
    if (mask[i] == 0) continue;
    HlsColour hls = RgbToHls(old[i]);
    hls.saturation = std::clamp(hls.saturation + step, 0, 255);
    uint8_t bytes[4];
    ToBytes(old[i], bytes);
    HlsToRgb(hls, bytes);
    result[i] = WithBgr(old[i], bytes);
  }
  return true;
}

}  // namespace varnel

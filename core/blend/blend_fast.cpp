// The fast blend kernels: one tight loop per mode and frame, the blended value computed by
// integer arithmetic where the rule allows it (exact rounding division by 255 in place of the
// MUL table) and through a 64 KiB table of F[b][s] for the modes whose rule branches or
// divides. Every result equals the reference; the tests compare them exhaustively.

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "core/blend.h"
#include "core/blend/blend_p.h"
#include "core/blend/hls_fast.h"

namespace varnel::blend_fast {
namespace {

// (x + 127) / 255 for 0 <= x <= 65025, without dividing.
inline int Div255Round(int x) {
  const int t = x + 128;
  return (t + (t >> 8)) >> 8;
}

inline int MulExact(int b, int s) { return Div255Round(b * s); }

// Per-channel modes computed by arithmetic.
struct Normal { static int F(int, int s) { return s; } };
struct Multiply { static int F(int b, int s) { return MulExact(b, s); } };
struct Screen { static int F(int b, int s) { return 255 - MulExact(255 - s, 255 - b); } };
struct Add { static int F(int b, int s) { const int v = b + s; return v < 255 ? v : 255; } };
struct Subtract { static int F(int b, int s) { const int v = b - s; return v > 0 ? v : 0; } };
struct Lighten { static int F(int b, int s) { return b > s ? b : s; } };
struct Darken { static int F(int b, int s) { return b < s ? b : s; } };
struct And { static int F(int b, int s) { return b & s; } };
struct Or { static int F(int b, int s) { return b | s; } };
struct Xor { static int F(int b, int s) { return b ^ s; } };

// Modes whose rule branches or divides read F from a table built from the reference.
std::array<std::atomic<uint8_t*>, kBlendModeCount> g_channelTables{};
std::mutex g_channelTablesMutex;

}  // namespace

const uint8_t* ChannelTable(int32_t mode) {
  auto& slot = g_channelTables[static_cast<size_t>(mode)];
  if (uint8_t* table = slot.load(std::memory_order_acquire)) return table;
  std::lock_guard lock(g_channelTablesMutex);
  if (uint8_t* table = slot.load(std::memory_order_relaxed)) return table;
  auto* table = new uint8_t[256 * 256 + 4]();  // padding for 32-bit gathers of the last entry
  for (int b = 0; b < 256; ++b)
    for (int s = 0; s < 256; ++s)
      table[b * 256 + s] = blend_reference::Channel(mode, static_cast<uint8_t>(b), static_cast<uint8_t>(s));
  slot.store(table, std::memory_order_release);
  return table;
}

namespace {

// Every mode gives F as a pixel (blue, green, red) for a pair of pixels; the frames below
// weigh it onto the lower pixel the same way for all of them.
template <typename Mode>
struct Static {
  uint32_t operator()(uint32_t l, uint32_t u) const {
    return static_cast<uint32_t>(Mode::F(l & 0xFF, u & 0xFF)) |
           static_cast<uint32_t>(Mode::F((l >> 8) & 0xFF, (u >> 8) & 0xFF)) << 8 |
           static_cast<uint32_t>(Mode::F((l >> 16) & 0xFF, (u >> 16) & 0xFF)) << 16;
  }
};

struct Table {
  const uint8_t* f;
  int F(int b, int s) const { return f[b * 256 + s]; }
  uint32_t operator()(uint32_t l, uint32_t u) const {
    return static_cast<uint32_t>(F(l & 0xFF, u & 0xFF)) | static_cast<uint32_t>(F((l >> 8) & 0xFF, (u >> 8) & 0xFF)) << 8 |
           static_cast<uint32_t>(F((l >> 16) & 0xFF, (u >> 16) & 0xFF)) << 16;
  }
};

// Whole-pixel modes: the density modes by the reference's rule, the HLS ones with the
// division-free conversions.
struct WholePixel {
  int32_t mode;
  uint32_t operator()(uint32_t lower, uint32_t upper) const {
    if (mode == 7 || mode == 8) return blend_reference::WholePixelColour(mode, lower, upper);
    const HlsColour l = hls_fast::RgbToHls(lower);
    const HlsColour u = hls_fast::RgbToHls(upper);
    HlsColour r = l;
    switch (mode) {
      case 14: r = {u.hue, l.lightness, u.saturation}; break;
      case 15: r.hue = u.hue; break;
      case 16: r.saturation = u.saturation; break;
      case 17: r.lightness = u.lightness; break;
      case 18: r.lightness = std::min(255, l.lightness + u.lightness); break;
      case 19: r.lightness = std::max(0, l.lightness - u.lightness); break;
      case 20: r.saturation = std::min(255, l.saturation + u.saturation); break;
      case 21: r.saturation = std::max(0, l.saturation - u.saturation); break;
      default: break;
    }
    return hls_fast::HlsToRgb(r, lower);
  }
};

// b + ((F − b) × weight) >> 8 on blue, green and red, with the given alpha bits.
inline uint32_t Weigh(uint32_t base, uint32_t f, int weight, uint32_t alphaBits) {
  auto channel = [&](int shift) {
    const int b = (base >> shift) & 0xFF, fb = (f >> shift) & 0xFF;
    return static_cast<uint32_t>(b + (((fb - b) * weight) >> 8)) << shift;
  };
  return channel(0) | channel(8) | channel(16) | alphaBits;
}

template <typename Blend>
void DisplayPixels(const Blend& blend, uint32_t* dst, const uint32_t* up, const int32_t* table, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t d = dst[i], u = up[i];
    const int t = table[u >> 24];
    if (t == 0) continue;
    dst[i] = Weigh(d, blend(d, u), t, d & 0xFF000000u);
  }
}

template <typename Blend>
void MergePixels(const Blend& blend, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
                 int32_t weight, uint32_t* out, size_t n) {
  const int16_t* weights = WeightTable();
  for (size_t i = 0; i < n; ++i) {
    const uint32_t l = lower[i];
    const int c = coverage[i];
    if (c == 0) {
      out[i] = l;
      continue;
    }
    const int a = (c * weight) >> 8;
    const int lowerAlpha = static_cast<int>(l >> 24);
    const int alpha = lowerAlpha + (((255 - lowerAlpha) * (a + 1) + 127) >> 8);
    out[i] = Weigh(l, blend(l, upper[i]), weights[(a + 1) * 256 + alpha], static_cast<uint32_t>(alpha) << 24);
  }
}

template <typename Frame>
void ForMode(int32_t mode, Frame&& frame) {
  switch (mode) {
    case 0: frame(Static<Normal>{}); break;
    case 1: frame(Static<Multiply>{}); break;
    case 2: frame(Static<Screen>{}); break;
    case 3: frame(Static<Add>{}); break;
    case 4: frame(Static<Subtract>{}); break;
    case 5: frame(Static<Lighten>{}); break;
    case 6: frame(Static<Darken>{}); break;
    case 9: frame(Static<And>{}); break;
    case 10: frame(Static<Or>{}); break;
    case 11: frame(Static<Xor>{}); break;
    default: IsWholePixelMode(BlendMode{mode}) ? frame(WholePixel{mode}) : frame(Table{ChannelTable(mode)}); break;
  }
}

}  // namespace

void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n) {
  if (mode < 0 || mode >= kBlendModeCount) return;
  ForMode(mode, [&](const auto& blend) { DisplayPixels(blend, destination, upper, opacityTable, n); });
}

void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n) {
  if (mode < 0 || mode >= kBlendModeCount) {
    if (out != lower) std::copy(lower, lower + n, out);
    return;
  }
  ForMode(mode, [&](const auto& blend) { MergePixels(blend, lower, upper, coverage, opacityWeight, out, n); });
}

void ReleaseTables() {
  std::lock_guard lock(g_channelTablesMutex);
  for (auto& slot : g_channelTables) delete[] slot.exchange(nullptr);
}

}  // namespace varnel::blend_fast

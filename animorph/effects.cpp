#include "animorph/effects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "animorph/effects_p.h"
#include "platform/crt_rand.h"
#include "platform/fast_paths.h"

namespace varnel::animorph {

namespace detail {

Enlargement MeasureEnlargement(const Frame& f, int32_t percent) {
  const double grow = (percent - 100) * 0.01 * f.k * f.src.width / f.n;
  // Beyond a billion pixels every target pixel reads the top-left source pixel anyway.
  const int64_t d = static_cast<int64_t>(std::min(grow, 1e9));
  const int64_t scaledWidth = f.src.width + d, scaledHeight = f.src.height + d;
  return {(static_cast<int64_t>(f.src.width) << 8) / scaledWidth,
          (static_cast<int64_t>(f.src.height) << 8) / scaledHeight,
          static_cast<int32_t>(std::min<int64_t>(scaledWidth, f.dst.width)),
          static_cast<int32_t>(std::min<int64_t>(scaledHeight, f.dst.height))};
}

Rotation MeasureRotation(const Frame& f) {
  const double theta = f.k * 2.0 * kPi / f.n;
  return {static_cast<int64_t>(std::sin(theta) * 256), static_cast<int64_t>(std::cos(theta) * 256),
          static_cast<int64_t>(f.w - 1) * 128, static_cast<int64_t>(f.h - 1) * 128};
}

}  // namespace detail

namespace {

using namespace detail;

struct EffectRow {
  std::string_view name;
  bool configurable;
};

constexpr EffectRow kEffects[] = {
    {"フェードイン", false}, {"フェードアウト", false}, {"ワイプイン", false}, {"ワイプアウト", false},
    {"拡大", true},          {"回転", false},           {"正弦波", false},     {"モザイク", false},
    {"すだれ", false},       {"行スライド", false},     {"ぼかし", false},     {"雪", false},
};
static_assert(std::size(kEffects) == kEffectCount);


bool SizeIsGood(const EffectPicture& p) {
  return p.width > 0 && p.height > 0 && p.bits != nullptr &&
         static_cast<int64_t>(p.width) * p.height * 4 <= 0x7FFFFFFF;
}

void CopyRow(const Frame& f, int32_t y) { std::memcpy(f.dst.Row(y), f.src.Row(y), static_cast<size_t>(f.w) * 4); }
void ClearRow(const Frame& f, int32_t y) { std::memset(f.dst.Row(y), 0, static_cast<size_t>(f.w) * 4); }

// Fades: a copy of W × H; the layer opacity ((k + 1) × 256) ÷ (n + 1), or 256 minus that.
int32_t Fade(const Frame& f, bool out, int32_t* opacity) {
  for (int32_t y = 0; y < f.h; ++y) CopyRow(f, y);
  const int32_t in = static_cast<int32_t>((static_cast<int64_t>(f.k) + 1) * 256 / (static_cast<int64_t>(f.n) + 1));
  if (opacity) *opacity = out ? 256 - in : in;
  return 0;
}

// Wipes: m = k × H ÷ n rows from the top are copied (in) or cleared (out), the rest the other way.
int32_t Wipe(const Frame& f, bool out) {
  const int32_t m = static_cast<int32_t>(static_cast<int64_t>(f.k) * f.h / f.n);
  for (int32_t y = 0; y < f.h; ++y) {
    if ((y < m) != out)
      CopyRow(f, y);
    else
      ClearRow(f, y);
  }
  return 0;
}




int32_t Enlarge(const Frame& f, const VarnelEnlargeObject* object) {
  if (!object || object->percent <= 99) return -1;
  const Enlargement e = MeasureEnlargement(f, object->percent);
  struct Column {
    int32_t x0, x1, nearest;
    uint32_t fx;
  };
  Column* columns = new (std::nothrow) Column[e.width];
  if (!columns) return -1;
  for (int32_t x = 0; x < e.width; ++x) {
    const int64_t px = x * e.stepX;
    const int32_t x0 = static_cast<int32_t>(px >> 8);
    columns[x] = {x0, std::min(x0 + 1, f.src.width - 1),
                  static_cast<int32_t>(std::min<int64_t>((px + 128) >> 8, f.src.width - 1)),
                  static_cast<uint32_t>(px & 255)};
  }
  for (int32_t y = 0; y < e.height; ++y) {
    const int64_t py = y * e.stepY;
    const int32_t y0 = static_cast<int32_t>(py >> 8);
    const uint32_t fy = static_cast<uint32_t>(py & 255);
    const int32_t nearestY = static_cast<int32_t>(std::min<int64_t>((py + 128) >> 8, f.src.height - 1));
    const uint32_t* top = f.src.Row(y0);
    const uint32_t* bottom = f.src.Row(std::min(y0 + 1, f.src.height - 1));
    const uint32_t* nearestRow = f.src.Row(nearestY);
    uint32_t* out = f.dst.Row(y);
    for (int32_t x = 0; x < e.width; ++x) {
      const Column& c = columns[x];
      out[x] = MixColour(top[c.x0], top[c.x1], bottom[c.x0], bottom[c.x1], c.fx, fy) |
               (nearestRow[c.nearest] & 0xFF000000u);
    }
  }
  delete[] columns;
  return 0;
}




int32_t Rotate(const Frame& f) {
  const Rotation r = MeasureRotation(f);
  // A copy: the frame's fields would be read again after every store to the destination.
  const Picture src = f.src;
  const int64_t limitX = static_cast<int64_t>(src.width) << 8, limitY = static_cast<int64_t>(src.height) << 8;
  for (int32_t y = 0; y < f.h; ++y) {
    const int64_t dy = static_cast<int64_t>(y) * 256 - r.cy;
    int64_t u = -r.cx * r.c + dy * r.s;
    int64_t v = dy * r.c + r.cx * r.s;
    uint32_t* out = f.dst.Row(y);
    for (int32_t x = 0; x < f.w; ++x, u += 256 * r.c, v -= 256 * r.s) {
      const int64_t px = (u >> 8) + r.cx, py = (v >> 8) + r.cy;
      if (px < 0 || py < 0 || px >= limitX || py >= limitY) continue;
      out[x] = RotatedPixel(src, px, py);
    }
  }
  return 0;
}

// Sine wave: column x reads source row y + trunc(64 sin(φ + (x mod 128) × 2π ÷ 128)),
// φ = k × 2π ÷ n; a row above the top folds back as −(r mod height), one past the bottom wraps
// as r mod height; the pixel is copied when that row is above H.
int32_t SineWave(const Frame& f) {
  const double phi = f.k * 2.0 * kPi / f.n;
  int32_t offsets[128];
  for (int32_t i = 0; i < 128; ++i) offsets[i] = static_cast<int32_t>(std::sin(phi + i * 2.0 * kPi / 128.0) * 64);
  for (int32_t y = 0; y < f.h; ++y) {
    uint32_t* out = f.dst.Row(y);
    for (int32_t x = 0; x < f.w; ++x) {
      int32_t r = y + offsets[x & 127];
      if (r < 0)
        r = -(r % f.src.height);
      else if (r >= f.src.height)
        r %= f.src.height;
      if (r < f.h) out[x] = f.src.Row(r)[x];
    }
  }
  return 0;
}

// Mosaic: b = max(1, k × 32 ÷ n); row y copies source row b ⌊y ÷ b⌋, each run of b pixels the
// value of its first.
int32_t Mosaic(const Frame& f) {
  const int32_t b = std::max<int32_t>(1, static_cast<int32_t>(static_cast<int64_t>(f.k) * 32 / f.n));
  for (int32_t y = 0; y < f.h; ++y) {
    const uint32_t* in = f.src.Row(y / b * b);
    uint32_t* out = f.dst.Row(y);
    for (int32_t x = 0; x < f.w; x += b) {
      const int32_t end = std::min(x + b, f.w);
      std::fill(out + x, out + end, in[x]);
    }
  }
  return 0;
}

// Blinds: every f-th row up from row H − 1 is copied, f = max(1, 32 − k × 32 ÷ n).
int32_t Blinds(const Frame& f) {
  const int32_t step = std::max<int32_t>(1, 32 - static_cast<int32_t>(static_cast<int64_t>(f.k) * 32 / f.n));
  for (int32_t y = f.h - 1; y >= 0; y -= step) CopyRow(f, y);
  return 0;
}

// Line slide: m = trunc((1 − k ÷ n) × source width), g = width − m. Even rows take m source
// pixels from column g at column 0; odd rows take the source from column 0 at column
// min(g, destination width − 1). Both only as far as the destination reaches.
int32_t LineSlide(const Frame& f) {
  const double t = static_cast<double>(f.k) / f.n;
  const int32_t m = static_cast<int32_t>((1 - t) * f.src.width);
  const int32_t g = f.src.width - m;
  const int32_t oddStart = std::min(g, f.dst.width - 1);
  const int32_t evenCount = std::min(m, f.dst.width);
  const int32_t oddCount = std::min(f.src.width, f.dst.width - oddStart);
  for (int32_t y = 0; y < f.h; ++y) {
    if (y % 2 == 0)
      std::memcpy(f.dst.Row(y), f.src.Row(y) + g, static_cast<size_t>(evenCount) * 4);
    else
      std::memcpy(f.dst.Row(y) + oddStart, f.src.Row(y), static_cast<size_t>(oddCount) * 4);
  }
  return 0;
}

// ⌊v ÷ d⌋ as (v × ⌈2^40 ÷ d⌉) >> 40: exact while v × d < 2^40, and here v ≤ 255 d with
// d ≤ 32 × 32 + 8.
constexpr int32_t kMaxBlurDivisor = 32 * 32 + 8;
struct BlurReciprocals {
  uint64_t m[kMaxBlurDivisor + 1] = {};
  constexpr BlurReciprocals() {
    for (uint64_t d = 1; d <= kMaxBlurDivisor; ++d) m[d] = ((uint64_t{1} << 40) + d - 1) / d;
  }
};
constexpr BlurReciprocals kBlurReciprocals;

// Blur: a = k × 32 ÷ n (0 draws nothing). Each pixel is, per channel, (the sum over the a × a
// source window from ⌊a ÷ 2⌋ above and left of it, clipped to the source, + 8 × its own value)
// ÷ (pixels in the window + 8). Column sums over the window's rows move down a row at a time;
// each row sums them across with a running window.
int32_t Blur(const Frame& f) {
  const int32_t a = static_cast<int32_t>(static_cast<int64_t>(f.k) * 32 / f.n);
  if (a == 0) return 0;
  const int32_t half = a / 2;
  const int32_t sw = f.src.width, sh = f.src.height;
  uint32_t* sums = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(sw) * 4, sizeof(uint32_t)));
  if (!sums) return -1;
  auto addRow = [&](int32_t row, bool add) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(f.src.Row(row));
    if (add)
      for (int32_t i = 0; i < sw * 4; ++i) sums[i] += p[i];
    else
      for (int32_t i = 0; i < sw * 4; ++i) sums[i] -= p[i];
  };
  for (int32_t row = 0; row <= std::min(sh - 1, a - 1 - half); ++row) addRow(row, true);
  for (int32_t y = 0; y < f.h; ++y) {
    if (y > 0) {
      const int32_t leaving = y - 1 - half, entering = y - half + a - 1;
      if (leaving >= 0) addRow(leaving, false);
      if (entering < sh) addRow(entering, true);
    }
    const int32_t rows = std::min(sh - 1, y - half + a - 1) - std::max(0, y - half) + 1;
    const uint8_t* own = reinterpret_cast<const uint8_t*>(f.src.Row(y));
    uint8_t* out = reinterpret_cast<uint8_t*>(f.dst.Row(y));
    uint32_t window[4] = {0, 0, 0, 0};
    for (int32_t col = 0; col <= std::min(sw - 1, a - 1 - half); ++col)
      for (int ch = 0; ch < 4; ++ch) window[ch] += sums[col * 4 + ch];
    for (int32_t x = 0; x < f.w; ++x) {
      if (x > 0) {
        const int32_t leaving = x - 1 - half, entering = x - half + a - 1;
        if (leaving >= 0)
          for (int ch = 0; ch < 4; ++ch) window[ch] -= sums[leaving * 4 + ch];
        if (entering < sw)
          for (int ch = 0; ch < 4; ++ch) window[ch] += sums[entering * 4 + ch];
      }
      const int32_t cols = std::min(sw - 1, x - half + a - 1) - std::max(0, x - half) + 1;
      const uint64_t m = kBlurReciprocals.m[rows * cols + 8];
      for (int ch = 0; ch < 4; ++ch)
        out[x * 4 + ch] = static_cast<uint8_t>(((window[ch] + 8u * own[x * 4 + ch]) * m) >> 40);
    }
  }
  std::free(sums);
  return 0;
}


// Snow: the source, then each flake's round mask at (trunc(sin(phase) × size × 0.5 + base),
// round(y)), clipped to the destination, each byte (dst × (256 − v) + mask × v) >> 8 with v
// the mask's alpha (255 counts as 256). Then every flake moves one step.
int32_t Snow(const Frame& f, SnowObject* snow) {
  if (!snow) return -1;
  for (int32_t y = 0; y < f.h; ++y) CopyRow(f, y);
  for (SnowFlake& flake : snow->flakes) {
    const int32_t size = flake.size;
    const uint32_t* mask = snow->masks[size - SnowObject::kMinSize];
    const double left = std::sin(flake.phase) * size * 0.5 + flake.base;
    const double top = std::floor(flake.y + 0.5);
    // Far outside the picture the flake draws nothing; keep the casts in range.
    if (left > -64 && left < f.dst.width && top > -64 && top < f.dst.height) {
      const int32_t fx = static_cast<int32_t>(left), fy = static_cast<int32_t>(top);
      for (int32_t j = std::max(0, -fy); j < size && fy + j < f.dst.height; ++j) {
        uint8_t* out = reinterpret_cast<uint8_t*>(f.dst.Row(fy + j));
        const uint8_t* in = reinterpret_cast<const uint8_t*>(mask + j * size);
        for (int32_t i = std::max(0, -fx); i < size && fx + i < f.dst.width; ++i) {
          const uint32_t alpha = in[i * 4 + 3];
          const uint32_t v = alpha == 255 ? 256 : alpha;
          uint8_t* d = out + (fx + i) * 4;
          for (int ch = 0; ch < 4; ++ch) d[ch] = static_cast<uint8_t>((d[ch] * (256 - v) + in[i * 4 + ch] * v) >> 8);
        }
      }
    }
    flake.phase += 0.1;
    flake.y += size * 0.1;
    if (flake.y > f.h) {
      flake.y = 0;
      flake.base = CrtRand() % f.src.width;
      flake.size = SnowObject::kMinSize + CrtRand() % 12;
    }
  }
  return 0;
}

// A size × size mask, white, alpha 255 − d² × 255 ÷ r² within r = ⌊size ÷ 2⌋ of pixel (r, r),
// transparent outside.
uint32_t* MakeFlakeMask(int32_t size) {
  uint32_t* mask = new (std::nothrow) uint32_t[static_cast<size_t>(size) * size];
  if (!mask) return nullptr;
  const int32_t r = size / 2;
  for (int32_t j = 0; j < size; ++j)
    for (int32_t i = 0; i < size; ++i) {
      const int32_t d2 = (i - r) * (i - r) + (j - r) * (j - r);
      const uint32_t alpha = d2 <= r * r ? static_cast<uint32_t>(255 - d2 * 255 / (r * r)) : 0;
      mask[j * size + i] = (alpha << 24) | 0x00FFFFFFu;
    }
  return mask;
}

SnowObject* CreateSnow() {
  SnowObject* snow = new (std::nothrow) SnowObject;
  if (!snow) return nullptr;
  for (int32_t size = SnowObject::kMinSize; size <= SnowObject::kMaxSize; ++size) {
    snow->masks[size - SnowObject::kMinSize] = MakeFlakeMask(size);
    if (!snow->masks[size - SnowObject::kMinSize]) {
      DeleteEffectObject(kSnow, snow);
      return nullptr;
    }
  }
  // In this order per flake: base, height, size, phase (rand() ÷ RAND_MAX of a turn).
  for (SnowFlake& flake : snow->flakes) {
    flake.base = CrtRand() % 400;
    flake.y = CrtRand() % 400;
    flake.size = SnowObject::kMinSize + CrtRand() % 12;
    flake.phase = CrtRand() * 2.0 * kPi / kCrtRandMax;
  }
  return snow;
}

int32_t Run(int32_t type, void* object, EffectPicture destination, EffectPicture source, int32_t k, int32_t n,
            int32_t* opacity, bool fast) {
  if (type < 0 || type >= kEffectCount || !SizeIsGood(destination) || !SizeIsGood(source) || n < 1 || k < 0 || k > n)
    return -1;
  const Frame f{{destination.width, destination.height, destination.bits},
                {source.width, source.height, source.bits},
                std::min(destination.width, source.width),
                std::min(destination.height, source.height),
                k,
                n};
#if defined(__SSE2__)
  if (fast) {
    switch (type) {
      case kEnlarge: return EnlargeFast(f, static_cast<const VarnelEnlargeObject*>(object));
      case kRotate: return RotateFast(f);
      case kBlur: return BlurFast(f);
    }
  }
#else
  (void)fast;
#endif
  switch (type) {
    case kFadeIn: return Fade(f, false, opacity);
    case kFadeOut: return Fade(f, true, opacity);
    case kWipeIn: return Wipe(f, false);
    case kWipeOut: return Wipe(f, true);
    case kEnlarge: return Enlarge(f, static_cast<const VarnelEnlargeObject*>(object));
    case kRotate: return Rotate(f);
    case kSineWave: return SineWave(f);
    case kMosaic: return Mosaic(f);
    case kBlinds: return Blinds(f);
    case kLineSlide: return LineSlide(f);
    case kBlur: return Blur(f);
    case kSnow: return Snow(f, static_cast<SnowObject*>(object));
  }
  return -1;
}

}  // namespace

namespace detail {
int32_t ReferenceEnlarge(const Frame& f, const VarnelEnlargeObject* object) { return Enlarge(f, object); }
int32_t ReferenceBlur(const Frame& f) { return Blur(f); }
}  // namespace detail

std::string_view EffectName(int32_t type) {
  return type >= 0 && type < kEffectCount ? kEffects[type].name : std::string_view();
}

void* CreateEffectObject(int32_t type) {
  if (type == kEnlarge) return new (std::nothrow) VarnelEnlargeObject{1, kEnlargeDefaultPercent};
  if (type == kSnow) return CreateSnow();
  return nullptr;
}

void DeleteEffectObject(int32_t type, void* object) {
  if (!object) return;
  if (type == kEnlarge) {
    delete static_cast<VarnelEnlargeObject*>(object);
  } else if (type == kSnow) {
    SnowObject* snow = static_cast<SnowObject*>(object);
    for (uint32_t* mask : snow->masks) delete[] mask;
    delete snow;
  }
}

int32_t ExecEffect(int32_t type, void* object, EffectPicture destination, EffectPicture source, int32_t k, int32_t n,
                   int32_t* opacity) {
  return Run(type, object, destination, source, k, n, opacity, !ForceReferencePaths());
}

int32_t ExecReferenceEffect(int32_t type, void* object, EffectPicture destination, EffectPicture source, int32_t k,
                            int32_t n, int32_t* opacity) {
  return Run(type, object, destination, source, k, n, opacity, false);
}

int32_t ExecEffect(int32_t type, void* object, const VarnelBitmapInfoHeader* destinationHeader, void* destinationPixels,
                   const VarnelBitmapInfoHeader* sourceHeader, const void* sourcePixels, int32_t k, int32_t n,
                   int32_t* opacity) {
  if (!destinationHeader || !sourceHeader) return -1;
  // The source is only read; the cast keeps one picture type.
  return ExecEffect(type, object,
                    {destinationHeader->biWidth, destinationHeader->biHeight, static_cast<uint8_t*>(destinationPixels)},
                    {sourceHeader->biWidth, sourceHeader->biHeight,
                     const_cast<uint8_t*>(static_cast<const uint8_t*>(sourcePixels))},
                    k, n, opacity);
}

}  // namespace varnel::animorph

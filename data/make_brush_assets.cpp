// Writes the brush tip shapes and the textures the custom brush ships with:
//
//   make_brush_assets SHAPE_DIR TEXTURE_DIR
//
// Everything is computed from fixed seeds with integer hashing, so every build writes the same
// bytes and the pictures need not live in the repository. Shapes are 8-bit grey bitmaps (the
// brush reads darkness as paint: black paints fully, white not at all); textures are 24-bit and
// wrap seamlessly, because the brush tiles them over the whole layer.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------------------------
// Randomness: integer hashes and a small LCG, so no library's generator decides the pictures.

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

uint32_t Hash2(int32_t x, int32_t y, uint32_t seed) {
  return Hash(static_cast<uint32_t>(x) * 0x85ebca6bu ^ Hash(static_cast<uint32_t>(y) + seed * 0x9e3779b9u));
}

double UnitOf(uint32_t h) { return static_cast<double>(h >> 8) * (1.0 / 16777216.0); }

class Lcg {
 public:
  explicit Lcg(uint64_t seed) : m_state(seed * 2862933555777941757ull + 3037000493ull) {}
  uint32_t Next() {
    m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(m_state >> 33);
  }
  double Unit() { return static_cast<double>(Next()) * (1.0 / 2147483648.0); }
  double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }

 private:
  uint64_t m_state;
};

// ---------------------------------------------------------------------------------------------
// Small maths.

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
double Smoothstep(double e0, double e1, double x) {
  const double t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3.0 - 2.0 * t);
}
double Fract(double v) { return v - std::floor(v); }
int32_t Wrap(int32_t i, int32_t n) {
  const int32_t m = i % n;
  return m < 0 ? m + n : m;
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by, double* along = nullptr) {
  const double vx = bx - ax, vy = by - ay;
  const double t = Clamp01(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy));
  if (along != nullptr) *along = t;
  const double dx = px - (ax + t * vx), dy = py - (ay + t * vy);
  return std::sqrt(dx * dx + dy * dy);
}

// ---------------------------------------------------------------------------------------------
// Noise. The lattice wraps after `period` cells, so a texture sampled over one period tiles.

struct Vec2 {
  double x, y;
};

const std::array<Vec2, 16>& Gradients() {
  static const std::array<Vec2, 16> table = [] {
    std::array<Vec2, 16> t{};
    for (size_t k = 0; k < t.size(); ++k) {
      const double a = static_cast<double>(k) * kPi / 8.0;
      t[k] = {std::cos(a), std::sin(a)};
    }
    return t;
  }();
  return table;
}

double Fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

// Gradient noise, about −0.7…0.7, periodic in px cells along x and py cells along y.
double Perlin(double x, double y, int32_t px, int32_t py, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
  const double dx = x - fx, dy = y - fy;
  auto corner = [&](int32_t cx, int32_t cy) {
    const Vec2& g = Gradients()[Hash2(Wrap(ix + cx, px), Wrap(iy + cy, py), seed) & 15u];
    return g.x * (dx - cx) + g.y * (dy - cy);
  };
  const double u = Fade(dx), v = Fade(dy);
  return Mix(Mix(corner(0, 0), corner(1, 0), u), Mix(corner(0, 1), corner(1, 1), u), v);
}

// Fractal sum over the unit tile (u, v in 0…1): octaves of doubling frequency from the base
// periods, normalised by the summed amplitudes (so roughly −0.5…0.5).
double FbmXY(double u, double v, int32_t periodX, int32_t periodY, int32_t octaves, uint32_t seed, double gain = 0.5) {
  double sum = 0.0, norm = 0.0, amp = 1.0;
  for (int32_t o = 0; o < octaves; ++o) {
    sum += amp * Perlin(u * periodX, v * periodY, periodX, periodY, seed + 131u * static_cast<uint32_t>(o));
    norm += amp;
    amp *= gain;
    periodX *= 2;
    periodY *= 2;
  }
  return sum / norm;
}
double Fbm(double u, double v, int32_t period, int32_t octaves, uint32_t seed, double gain = 0.5) {
  return FbmXY(u, v, period, period, octaves, seed, gain);
}

// Summed absolute noise: sharp creases where the noise crosses zero (marble, turbulence).
double Turbulence(double u, double v, int32_t period, int32_t octaves, uint32_t seed) {
  double sum = 0.0, norm = 0.0, amp = 1.0;
  for (int32_t o = 0; o < octaves; ++o) {
    sum += amp * std::fabs(Perlin(u * period, v * period, period, period, seed + 97u * static_cast<uint32_t>(o)));
    norm += amp;
    amp *= 0.5;
    period *= 2;
  }
  return sum / norm;
}

// Cellular noise over an n × n wrapping grid of one jittered point per cell: the nearest and
// second nearest distances (in cells) and a hash of the nearest point's cell.
struct Cells {
  double f1, f2;
  uint32_t id;
};

Cells Worley(double u, double v, int32_t n, uint32_t seed) {
  const double x = u * n, y = v * n;
  const int32_t ix = static_cast<int32_t>(std::floor(x)), iy = static_cast<int32_t>(std::floor(y));
  Cells c{1e9, 1e9, 0};
  for (int32_t oy = -2; oy <= 2; ++oy) {
    for (int32_t ox = -2; ox <= 2; ++ox) {
      const int32_t cx = ix + ox, cy = iy + oy;
      const uint32_t h = Hash2(Wrap(cx, n), Wrap(cy, n), seed);
      const double px = cx + 0.1 + 0.8 * UnitOf(h), py = cy + 0.1 + 0.8 * UnitOf(Hash(h));
      const double d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
      if (d < c.f1) {
        c.f2 = c.f1;
        c.f1 = d;
        c.id = Hash(h ^ 0x5bd1e995u);
      } else if (d < c.f2) {
        c.f2 = d;
      }
    }
  }
  return c;
}

// ---------------------------------------------------------------------------------------------
// Pictures: rows top-down in memory; the writers turn them bottom-up.

struct Grey {  // paint amount per pixel, 0 none … 255 full
  int32_t width = 0, height = 0;
  std::vector<uint8_t> paint;
};

struct Rgb {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // R, G, B per pixel
};

struct Colour {
  double r, g, b;
};

Colour Mix(const Colour& a, const Colour& b, double t) { return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)}; }

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0l, 255l)); }

// A shape whose pixels average `samples` × `samples` evaluations of f(x, y, ix, iy) (0…1), x
// and y in pixels with the sample's position, ix and iy the pixel, for smooth edges.
template <class F>
Grey RenderShape(int32_t size, int32_t samples, F f) {
  Grey g{size, size, std::vector<uint8_t>(static_cast<size_t>(size) * size)};
  for (int32_t iy = 0; iy < size; ++iy) {
    for (int32_t ix = 0; ix < size; ++ix) {
      double sum = 0.0;
      for (int32_t sy = 0; sy < samples; ++sy) {
        for (int32_t sx = 0; sx < samples; ++sx) {
          const double x = ix + (sx + 0.5) / samples, y = iy + (sy + 0.5) / samples;
          sum += Clamp01(f(x, y, ix, iy));
        }
      }
      g.paint[static_cast<size_t>(iy) * size + ix] = ToByte(255.0 * sum / (samples * samples));
    }
  }
  return g;
}

// A texture from f(u, v, ix, iy) at pixel centres, u and v over the unit tile.
template <class F>
Rgb RenderTexture(int32_t size, F f) {
  Rgb t{size, size, std::vector<uint8_t>(static_cast<size_t>(size) * size * 3)};
  for (int32_t iy = 0; iy < size; ++iy) {
    for (int32_t ix = 0; ix < size; ++ix) {
      const Colour c = f((ix + 0.5) / size, (iy + 0.5) / size, ix, iy);
      uint8_t* p = &t.rgb[(static_cast<size_t>(iy) * size + ix) * 3];
      p[0] = ToByte(c.r);
      p[1] = ToByte(c.g);
      p[2] = ToByte(c.b);
    }
  }
  return t;
}

Colour GreyLevel(double level) { return {level, level, level}; }

// ---------------------------------------------------------------------------------------------
// Brush tip shapes.

Grey RoundHard() {
  return RenderShape(128, 4, [](double x, double y, int32_t, int32_t) {
    const double dx = x - 64.0, dy = y - 64.0;
    return dx * dx + dy * dy <= 62.0 * 62.0 ? 1.0 : 0.0;
  });
}

Grey RoundSoft() {
  // Gaussian, lowered so it reaches nothing exactly at the rim instead of a faint square edge.
  constexpr double kSigma = 22.0, kRim = 63.0;
  const double rim = std::exp(-kRim * kRim / (2.0 * kSigma * kSigma));
  return RenderShape(128, 1, [rim](double x, double y, int32_t, int32_t) {
    const double dx = x - 64.0, dy = y - 64.0;
    const double g = std::exp(-(dx * dx + dy * dy) / (2.0 * kSigma * kSigma));
    return (g - rim) / (1.0 - rim);
  });
}

Grey PencilGrain() {
  return RenderShape(64, 4, [](double x, double y, int32_t ix, int32_t iy) {
    const double dx = x - 32.0, dy = y - 32.0;
    const double r = std::sqrt(dx * dx + dy * dy) / 28.0;
    if (r > 1.0) return 0.0;
    const double grain = Fbm((ix + 0.5) / 64.0, (iy + 0.5) / 64.0, 16, 2, 11);
    const double fleck = UnitOf(Hash2(ix, iy, 12)) - 0.5;
    return 0.9 + 0.9 * grain + 0.3 * fleck - 0.25 * r * r * r * r;
  });
}

// A flat brush: separate hairs lying along x, side by side across y, so a stroke drawn along
// the hairs leaves parallel tracks with gaps.
Grey Bristles() {
  struct Hair {
    double ax, ay, bx, by, half, dark;
    uint32_t seed;
  };
  std::vector<Hair> hairs;
  Lcg rng(21);
  constexpr int32_t kCount = 15;
  for (int32_t i = 0; i < kCount; ++i) {
    const double y = 14.0 + (i + 0.5) * 100.0 / kCount + rng.Range(-1.2, 1.2);
    const double side = (y - 64.0) / 56.0;
    const double length = 60.0 + 44.0 * (1.0 - side * side) + rng.Range(-8.0, 8.0);
    const double start = 64.0 - length / 2.0 + rng.Range(-6.0, 6.0);
    // The tips splay outwards a little, as a loaded flat brush does.
    const double splay = side * rng.Range(2.0, 5.0);
    hairs.push_back({start, y - splay * 0.3, start + length, y + splay, rng.Range(1.6, 2.6), rng.Range(0.8, 1.0),
                     static_cast<uint32_t>(100 + i)});
  }
  return RenderShape(128, 4, [hairs](double x, double y, int32_t, int32_t) {
    double best = 0.0;
    for (const Hair& h : hairs) {
      double t = 0.0;
      const double d = SegmentDistance(x, y, h.ax, h.ay, h.bx, h.by, &t);
      // Thinner and fainter towards both ends, with some streakiness along the hair.
      const double ends = Smoothstep(0.0, 0.18, t) * Smoothstep(1.0, 0.8, t);
      const double half = h.half * (0.55 + 0.45 * ends);
      if (d > half) continue;
      const double streak = 0.85 + 0.3 * Perlin(t * 6.0, 0.5, 64, 64, h.seed);
      best = std::max(best, h.dark * (0.5 + 0.5 * ends) * streak);
    }
    return best;
  });
}

Grey Chalk() {
  return RenderShape(128, 2, [](double x, double y, int32_t ix, int32_t iy) {
    const double u = x / 128.0, v = y / 128.0;
    const double dx = x - 64.0, dy = y - 64.0;
    const double edge = 50.0 + 18.0 * Fbm(u, v, 4, 3, 31);
    const double t = std::sqrt(dx * dx + dy * dy) / edge;
    if (t > 1.3) return 0.0;
    const double grain = Fbm(u, v, 32, 2, 32);
    const double holes = Fbm(u, v, 8, 2, 33);
    const double fleck = UnitOf(Hash2(ix, iy, 34)) - 0.5;
    const double score = 0.9 - t * t * t * t + 2.2 * grain + 1.0 * holes + 0.6 * fleck;
    return Smoothstep(0.25, 0.6, score);
  });
}

Grey Sponge() {
  return RenderShape(128, 2, [](double x, double y, int32_t, int32_t) {
    const double u = x / 128.0, v = y / 128.0;
    const double dx = x - 64.0, dy = y - 64.0;
    const double r = std::sqrt(dx * dx + dy * dy);
    const double edge = 52.0 + 10.0 * Fbm(u, v, 4, 2, 41);
    const double body = Smoothstep(edge + 2.0, edge - 2.0, r);
    if (body <= 0.0) return 0.0;
    const Cells big = Worley(u, v, 9, 42);
    const double bigRadius = 0.18 + 0.26 * UnitOf(big.id);
    const double bigHole = Smoothstep(bigRadius + 0.06, bigRadius - 0.06, big.f1);
    const Cells small = Worley(u, v, 22, 43);
    const double smallRadius = 0.12 + 0.25 * UnitOf(small.id);
    const double smallHole = Smoothstep(smallRadius + 0.08, smallRadius - 0.08, small.f1);
    const double material = 0.85 + 0.5 * Fbm(u, v, 16, 2, 44);
    return body * (1.0 - bigHole) * (1.0 - smallHole) * material;
  });
}

// A leaf pointing up: the blade, a short stem, a lighter midrib and side veins.
Grey Leaf() {
  constexpr double kTip = 8.0, kBase = 102.0, kLength = kBase - kTip;
  auto halfWidth = [](double t) { return 36.0 * std::pow(std::sin(kPi * std::pow(t, 0.8)), 0.85); };
  auto mid = [](double t) { return 64.0 + 5.0 * std::sin(kPi * t); };
  struct Vein {
    double ax, ay, bx, by;
  };
  std::vector<Vein> veins;
  for (int32_t k = 0; k < 6; ++k) {
    const double t = 0.1 + 0.135 * k;
    const double y = kBase - t * kLength, x = mid(t);
    const double reach = halfWidth(t) * 1.25;
    // Side veins run outwards and towards the tip, as on most leaves.
    for (const double side : {-1.0, 1.0}) {
      veins.push_back({x, y, x + side * reach * std::cos(0.75), y - reach * std::sin(0.75)});
    }
  }
  return RenderShape(128, 4, [=](double x, double y, int32_t, int32_t) {
    const double stem = SegmentDistance(x, y, 64.0, kBase - 6.0, 59.0, 124.0) < 2.0 ? 1.0 : 0.0;
    if (y < kTip || y > kBase) return stem;
    const double t = (kBase - y) / kLength;
    const double across = x - mid(t);
    if (std::fabs(across) > halfWidth(t)) return stem;
    if (t < 0.97 && std::fabs(across) < 0.6 + 1.2 * (1.0 - t)) return 0.42;
    for (const Vein& v : veins) {
      if (SegmentDistance(x, y, v.ax, v.ay, v.bx, v.by) < 0.85) return 0.55;
    }
    return 0.94 + 0.12 * Fbm(x / 128.0, y / 128.0, 16, 2, 51);
  });
}

Grey Star() {
  constexpr double kOuter = 60.0, kInner = kOuter * 0.382;
  // Centred on its height: the lower points reach less far than the top one.
  const double cy = 64.0 + (kOuter - kOuter * std::cos(kPi / 5.0)) / 2.0;
  std::array<Vec2, 10> corners{};
  for (int32_t k = 0; k < 10; ++k) {
    const double a = -kPi / 2.0 + k * kPi / 5.0;
    const double r = (k % 2 == 0) ? kOuter : kInner;
    corners[static_cast<size_t>(k)] = {64.0 + r * std::cos(a), cy + r * std::sin(a)};
  }
  return RenderShape(128, 4, [corners](double x, double y, int32_t, int32_t) {
    bool inside = false;
    for (size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
      const Vec2 &a = corners[i], &b = corners[j];
      if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside ? 1.0 : 0.0;
  });
}

Grey Spatter() {
  struct Drop {
    double x, y, r;
  };
  std::vector<Drop> drops;
  Lcg rng(61);
  auto place = [&](int32_t count, double rMin, double rMax, double spread, double bias) {
    for (int32_t i = 0; i < count; ++i) {
      const double r = rng.Range(rMin, rMax);
      const double a = rng.Range(0.0, 2.0 * kPi);
      const double d = (60.0 - r) * spread * std::pow(rng.Unit(), bias);
      drops.push_back({64.0 + d * std::cos(a), 64.0 + d * std::sin(a), r});
    }
  };
  place(5, 5.0, 10.0, 0.7, 0.6);   // a few large drops towards the middle
  place(40, 2.0, 4.5, 1.0, 0.7);   // the spray around them
  place(40, 0.8, 1.8, 1.0, 0.5);   // and fine mist, mostly towards the rim
  return RenderShape(128, 4, [drops](double x, double y, int32_t, int32_t) {
    for (const Drop& d : drops) {
      if ((x - d.x) * (x - d.x) + (y - d.y) * (y - d.y) <= d.r * d.r) return 1.0;
    }
    return 0.0;
  });
}

// A calligraphy nib: an ellipse four times as long as wide, its long axis rising at 45°.
Grey FlatWedge() {
  return RenderShape(128, 4, [](double x, double y, int32_t, int32_t) {
    const double dx = x - 64.0, dy = y - 64.0;
    const double along = (dx - dy) / std::sqrt(2.0), across = (dx + dy) / std::sqrt(2.0);
    return (along / 80.0) * (along / 80.0) + (across / 20.0) * (across / 20.0) <= 1.0 ? 1.0 : 0.0;
  });
}

// ---------------------------------------------------------------------------------------------
// Textures, 128 × 128, all periodic over the tile.

constexpr int32_t kTextureSize = 128;

Rgb Paper() {
  return RenderTexture(kTextureSize, [](double u, double v, int32_t ix, int32_t iy) {
    const double fine = Fbm(u, v, 64, 2, 71);
    const double tooth = Fbm(u, v, 16, 3, 72);
    const double fibre = FbmXY(u, v, 8, 32, 2, 73);
    const double fleck = UnitOf(Hash2(ix, iy, 74)) - 0.5;
    const double level = 206.0 + 70.0 * fine + 60.0 * tooth + 14.0 * fibre + 12.0 * fleck;
    return Colour{level + 4.0, level + 1.0, level - 6.0};
  });
}

// Plain weave: a thread every 8 pixels, over and under in turn, each bulging where it lies on top.
Rgb Canvas() {
  constexpr int32_t kPitch = 8;
  return RenderTexture(kTextureSize, [](double u, double v, int32_t ix, int32_t iy) {
    const int32_t i = ix / kPitch, j = iy / kPitch;
    const double fx = ((ix % kPitch) + 0.5) / kPitch, fy = ((iy % kPitch) + 0.5) / kPitch;
    const bool warpOnTop = ((i + j) & 1) == 0;
    const double across = warpOnTop ? fx : fy, along = warpOnTop ? fy : fx;
    const int32_t thread = warpOnTop ? i : j + 1000;
    const double width = 0.8 + 0.16 * UnitOf(Hash(static_cast<uint32_t>(thread) * 7919u + 5u));
    const double a = std::fabs(across - 0.5) / (width / 2.0);
    const double profile = a < 1.0 ? std::sqrt(1.0 - a * a) : 0.0;
    const double bulge = 0.62 + 0.38 * std::sin(kPi * along);
    const double fibre = warpOnTop ? FbmXY(u, v, 64, 8, 2, 81) : FbmXY(u, v, 8, 64, 2, 82);
    const double slub = Fbm(u, v, 4, 2, 83);
    const double h = profile * bulge + 0.35 * fibre + 0.2 * slub;
    const double level = 78.0 + 110.0 * h;
    return Colour{level * 1.04 + 6.0, level * 0.97 + 2.0, level * 0.84};
  });
}

Rgb Rough() {
  return RenderTexture(kTextureSize, [](double u, double v, int32_t ix, int32_t iy) {
    const double n = Fbm(u, v, 16, 4, 91, 0.55);
    const double fleck = UnitOf(Hash2(ix, iy, 92)) - 0.5;
    const double dark = 165.0 + 640.0 * n + 40.0 * fleck;
    return GreyLevel(255.0 - dark);
  });
}

// Fine tooth for pencils: mostly dark, so the lead lays most of its paint, with small pits the
// tip skips.
Rgb Grain() {
  return RenderTexture(kTextureSize, [](double u, double v, int32_t ix, int32_t iy) {
    const double n = Fbm(u, v, 32, 3, 151);
    const double fleck = UnitOf(Hash2(ix, iy, 152)) - 0.5;
    const double dark = 150.0 + 560.0 * n + 80.0 * fleck;
    return GreyLevel(255.0 - dark);
  });
}

Rgb Wood() {
  const Colour light{218.0, 176.0, 124.0}, dark{120.0, 74.0, 40.0};
  return RenderTexture(kTextureSize, [=](double u, double v, int32_t, int32_t) {
    // Eight growth rings across the tile, bent by slow noise; both wrap.
    const double phase = 8.0 * u + 1.3 * Fbm(u, v, 1, 2, 101) + 0.4 * FbmXY(u, v, 4, 1, 2, 102);
    const double ring = Fract(phase);
    const double late = Smoothstep(0.45, 0.85, ring) * Smoothstep(1.0, 0.9, ring);
    const double fibres = FbmXY(u, v, 64, 4, 2, 103);
    const double t = Clamp01(0.1 + 0.7 * late + 0.7 * fibres);
    return Mix(light, dark, t);
  });
}

Rgb Marble() {
  const Colour cream{243.0, 237.0, 225.0}, rose{229.0, 200.0, 192.0}, haze{176.0, 184.0, 184.0},
      slate{40.0, 74.0, 84.0}, gold{196.0, 140.0, 52.0};
  return RenderTexture(kTextureSize, [=](double u, double v, int32_t, int32_t) {
    // Integer wave numbers keep the veins periodic over the tile; strong turbulence breaks up
    // their regular waves.
    const double main = std::sin(2.0 * kPi * (u + v) + 11.0 * Turbulence(u, v, 2, 5, 111));
    const double fine = std::sin(2.0 * kPi * (2.0 * u - v) + 9.0 * Turbulence(u, v, 2, 5, 112));
    const double closeness = 1.0 - std::fabs(main);
    const double vein = std::pow(closeness, 9.0);
    const double halo = std::pow(closeness, 2.5);
    const double thread = std::pow(1.0 - std::fabs(fine), 18.0);
    const double cloud = Fbm(u, v, 2, 4, 113);
    Colour c = Mix(cream, rose, Smoothstep(-0.15, 0.3, cloud));
    c = Mix(c, haze, 0.45 * halo);
    c = Mix(c, slate, 0.9 * vein);
    c = Mix(c, gold, 0.8 * thread);
    return c;
  });
}

Rgb LeavesColour() {
  const std::array<Colour, 7> stops = {{{38.0, 88.0, 30.0},
                                        {92.0, 142.0, 40.0},
                                        {172.0, 170.0, 42.0},
                                        {232.0, 186.0, 40.0},
                                        {230.0, 118.0, 30.0},
                                        {192.0, 44.0, 26.0},
                                        {118.0, 26.0, 22.0}}};
  auto palette = [stops](double t) {
    const double x = Clamp01(t) * (stops.size() - 1);
    const size_t k = std::min(static_cast<size_t>(x), stops.size() - 2);
    return Mix(stops[k], stops[k + 1], x - static_cast<double>(k));
  };
  return RenderTexture(kTextureSize, [=](double u, double v, int32_t, int32_t) {
    // Patches like fallen leaves: each cell its own shade, around a slowly drifting colour.
    const double warp = Fbm(u, v, 2, 3, 121);
    const double drift = Fbm(u + 0.3 * warp, v - 0.3 * warp, 2, 3, 122);
    const Cells c = Worley(u, v, 10, 123);
    const double patch = UnitOf(c.id) - 0.5;
    const double t = 0.5 + 1.5 * drift + 0.35 * patch + 0.15 * Fbm(u, v, 16, 2, 124);
    const double edge = Smoothstep(0.0, 0.12, c.f2 - c.f1);
    const double shade = (0.72 + 0.28 * edge) * (0.95 + 0.25 * Fbm(u, v, 32, 2, 125));
    const Colour base = palette(t);
    return Colour{base.r * shade, base.g * shade, base.b * shade};
  });
}

// A height field of rounded cobbles with grooves between them; light is high.
Rgb BumpStone() {
  return RenderTexture(kTextureSize, [](double u, double v, int32_t, int32_t) {
    const Cells c = Worley(u, v, 6, 131);
    const double top = Smoothstep(0.0, 0.35, c.f2 - c.f1);
    const double dome = 1.0 - 0.35 * c.f1 * c.f1;
    const double lift = 0.12 * UnitOf(c.id);
    const double rough = Fbm(u, v, 16, 3, 132);
    const double h = top * (dome + lift) + 0.25 * rough;
    return GreyLevel(40.0 + 190.0 * h);
  });
}

// Smooth mid-grey clouds: a slowly changing value around the middle, for the colour modes that
// shift the paint colour by the texture.
Rgb Clouds() {
  return RenderTexture(kTextureSize, [](double u, double v, int32_t, int32_t) {
    return GreyLevel(128.0 + 330.0 * Fbm(u, v, 3, 4, 141));
  });
}

// ---------------------------------------------------------------------------------------------
// Windows bitmap files.

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xff));
  out.push_back(static_cast<char>((v >> 8) & 0xff));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

void PutHeaders(std::string& out, int32_t width, int32_t height, uint32_t bits, uint32_t colours, uint32_t rowBytes) {
  const uint32_t image = rowBytes * static_cast<uint32_t>(height);
  const uint32_t offset = 14 + 40 + colours * 4;
  out += "BM";
  Put32(out, offset + image);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));  // positive: rows bottom-up
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, 0);  // BI_RGB
  Put32(out, image);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, colours);
  Put32(out, 0);
}

// 8-bit with a grey ramp: pixel value = grey level, so paint is stored as its complement.
std::string ShapeBitmap(const Grey& g) {
  const uint32_t rowBytes = (static_cast<uint32_t>(g.width) + 3u) & ~3u;
  std::string out;
  PutHeaders(out, g.width, g.height, 8, 256, rowBytes);
  for (uint32_t i = 0; i < 256; ++i) {
    out.push_back(static_cast<char>(i));
    out.push_back(static_cast<char>(i));
    out.push_back(static_cast<char>(i));
    out.push_back(0);
  }
  for (int32_t y = g.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < g.width; ++x) out.push_back(static_cast<char>(255 - g.paint[static_cast<size_t>(y) * g.width + x]));
    out.append(rowBytes - static_cast<uint32_t>(g.width), '\0');
  }
  return out;
}

std::string TextureBitmap(const Rgb& t) {
  const uint32_t rowBytes = (static_cast<uint32_t>(t.width) * 3u + 3u) & ~3u;
  std::string out;
  PutHeaders(out, t.width, t.height, 24, 0, rowBytes);
  for (int32_t y = t.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < t.width; ++x) {
      const uint8_t* p = &t.rgb[(static_cast<size_t>(y) * t.width + x) * 3];
      out.push_back(static_cast<char>(p[2]));
      out.push_back(static_cast<char>(p[1]));
      out.push_back(static_cast<char>(p[0]));
    }
    out.append(rowBytes - static_cast<uint32_t>(t.width) * 3u, '\0');
  }
  return out;
}

// Written beside the target and renamed into place, so a failed run never leaves half a file
// that a later build would take as up to date.
void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      throw std::runtime_error("cannot write " + temporary.string());
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw std::runtime_error("cannot rename " + temporary.string() + " to " + path.string() + ": " + error.message());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_brush_assets SHAPE_DIR TEXTURE_DIR\n");
    return 2;
  }
  try {
    const fs::path shapes = argv[1], textures = argv[2];
    fs::create_directories(shapes);
    fs::create_directories(textures);

    WriteFile(shapes / "round_hard.bmp", ShapeBitmap(RoundHard()));
    WriteFile(shapes / "round_soft.bmp", ShapeBitmap(RoundSoft()));
    WriteFile(shapes / "pencil_grain.bmp", ShapeBitmap(PencilGrain()));
    WriteFile(shapes / "bristles.bmp", ShapeBitmap(Bristles()));
    WriteFile(shapes / "chalk.bmp", ShapeBitmap(Chalk()));
    WriteFile(shapes / "sponge.bmp", ShapeBitmap(Sponge()));
    WriteFile(shapes / "leaf.bmp", ShapeBitmap(Leaf()));
    WriteFile(shapes / "star.bmp", ShapeBitmap(Star()));
    WriteFile(shapes / "spatter.bmp", ShapeBitmap(Spatter()));
    WriteFile(shapes / "flat_wedge.bmp", ShapeBitmap(FlatWedge()));

    WriteFile(textures / "paper.bmp", TextureBitmap(Paper()));
    WriteFile(textures / "canvas.bmp", TextureBitmap(Canvas()));
    WriteFile(textures / "rough.bmp", TextureBitmap(Rough()));
    WriteFile(textures / "grain.bmp", TextureBitmap(Grain()));
    WriteFile(textures / "wood.bmp", TextureBitmap(Wood()));
    WriteFile(textures / "marble.bmp", TextureBitmap(Marble()));
    WriteFile(textures / "leaves_colour.bmp", TextureBitmap(LeavesColour()));
    WriteFile(textures / "bump_stone.bmp", TextureBitmap(BumpStone()));
    WriteFile(textures / "clouds.bmp", TextureBitmap(Clouds()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_brush_assets: %s\n", e.what());
    return 1;
  }
  return 0;
}

#pragma once
// The built-in brush kinds 1…22 (the setting Style). Kinds that paint a colour fill the
// colour and mask buffers (ComposeDab lays them on); the others run a kernel over the old
// pixels (FinishDab mixes it in). Round kinds work where the RoundMask is not 0; kernels keep
// the old alpha unless said otherwise and copy the pixels they do not change.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "brush/brush_engine.h"
#include "brush/brush_settings.h"
#include "brush/round_mask.h"
#include "platform/crt_rand.h"

namespace varnel {

// The kind's brush at the given size; null for the custom kind 0 and for anything outside
// 1…22.
std::unique_ptr<BrushEngine> CreateBrushKind(int32_t kind, Size size);

// Kind 1: the foreground colour through a full square mask.
class NormalBrush : public BrushEngine {
 public:
  explicit NormalBrush(Size size) : BrushEngine(kBrushNormal, size) {}
  bool ColourAndMask(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* colour,
                     uint8_t* mask) override;
};

// The dab counter of the bristle and oil kinds: it starts at 0 with limit 64 and grows by one
// per dab; once its old value exceeds the limit it restarts at 0 with a new limit
// 32 + rand() mod 32 and the kind scatters its dots anew.
struct DabCounter {
  int32_t count = 0;
  int32_t limit = 64;
  // True when the dots are due to be scattered anew.
  bool Tick();
};

// Scatters trunc(w × h × density) dots over a w × h byte map cleared to 0: for each dot
// rx = rand() mod max(1, w/2), ry = rand() mod max(1, h/2), a = rand() × 6.28, the dot lands at
// (trunc(cos(a) × rx + w/2), trunc(sin(a) × ry + h/2)), limited to the map, with the value
// value() gives (drawn after the position).
template <typename ValueOf>
void ScatterDots(std::vector<uint8_t>& map, int32_t w, int32_t h, double density, ValueOf value) {
  map.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  const int64_t dots = static_cast<int64_t>(w * h * density);
  for (int64_t n = 0; n < dots; ++n) {
    const int32_t rx = CrtRand() % std::max(1, w / 2);
    const int32_t ry = CrtRand() % std::max(1, h / 2);
    const double a = CrtRand() * 6.28;
    const int32_t x = std::clamp(static_cast<int32_t>(std::cos(a) * rx + w / 2), 0, w - 1);
    const int32_t y = std::clamp(static_cast<int32_t>(std::sin(a) * ry + h / 2), 0, h - 1);
    map[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = value();
  }
}

// Kind 2 (筆風): the foreground colour through the bristle mask (dots of 80).
class BristleBrush : public BrushEngine {
 public:
  explicit BristleBrush(Size size, int32_t kind = kBrushBristle);
  bool ColourAndMask(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* colour,
                     uint8_t* mask) override;
  const std::vector<uint8_t>& Bristles() const { return m_bristles; }
  const DabCounter& Counter() const { return m_counter; }

 protected:
  void OnSizeChanged() override;
  void ScatterBristles();

  std::vector<uint8_t> m_bristles;
  DabCounter m_counter;
};

// Kind 9 (筆風2): the colour and bristle mask of kind 2, but the bristles stay where they are
// for the whole stroke, so they draw streaks; they are scattered anew at every pen-down and
// whenever the dab size differs from the size they were laid out for (kept in its own fields).
class Bristle2Brush : public BristleBrush {
 public:
  explicit Bristle2Brush(Size size);
  bool ColourAndMask(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* colour,
                     uint8_t* mask) override;

 protected:
  void OnSizeChanged() override;
  void OnStrokeBegins() override;

 private:
  void Lay();
  int32_t m_bristleWidth = 0;
  int32_t m_bristleHeight = 0;
};

// Kind 3 (油彩風): colours from a 9-entry table through an index map (index 0 paints nothing).
class OilPaintBrush : public BrushEngine {
 public:
  explicit OilPaintBrush(Size size);
  void SetColours(ColourRef foreground, ColourRef background) override;
  bool ColourAndMask(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* colour,
                     uint8_t* mask) override;
  const std::vector<uint8_t>& IndexMap() const { return m_indices; }
  const uint32_t* ColourTable() const { return m_table; }

 protected:
  void OnSizeChanged() override;

 private:
  void ScatterIndices();
  std::vector<uint8_t> m_indices;
  uint32_t m_table[9];
  DabCounter m_counter;
};

// Kind 4: each inner pixel the rounded mean of itself and its four neighbours.
class BlurBrush : public BrushEngine {
 public:
  explicit BlurBrush(Size size) : BrushEngine(kBrushBlur, size) {}
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
};

// Kind 6: a whole dab of one colour at alpha 255, the hue one degree further each dab.
class RainbowBrush : public BrushEngine {
 public:
  explicit RainbowBrush(Size size);
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
  int32_t Hue() const { return m_hue; }
  const uint32_t* Colours() const { return m_colours; }

 private:
  uint32_t m_colours[360];
  int32_t m_hue = 0;
};

// Kind 7: every pixel a random old pixel of the dab.
class StirBrush : public BrushEngine {
 public:
  explicit StirBrush(Size size) : BrushEngine(kBrushStir, size) {}
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
};

// Kind 8: inside a circle each pixel moves 30/256 of the way toward a target: near the centre
// the mean of its four neighbours on the layer, farther out the layer pixel one step toward
// the centre, so colour is drawn outward.
class Blur2Brush : public BrushEngine {
 public:
  explicit Blur2Brush(Size size) : BrushEngine(kBrushBlur2, size) {}
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
};

// The kinds that work where the round mask is not 0.
class RoundBrush : public BrushEngine {
 public:
  RoundBrush(int32_t kind, Size size);
  const RoundMask& Round() const { return m_round; }

 protected:
  void OnSizeChanged() override;
  RoundMask m_round;
};

// Kind 5: carries the pixels of one dab and lays them, softened, at the next.
class FingerSmudgeBrush : public RoundBrush {
 public:
  explicit FingerSmudgeBrush(Size size) : RoundBrush(kBrushFingerSmudge, size) {}
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
  int32_t DabCount() const { return m_dabCount; }

 private:
  std::vector<uint32_t> m_carried;
  Size m_carriedSize;
  int32_t m_dabCount = 0;
};

// Kinds 10…17: dodge (lightness + 1 through HLS) or burn (value − 0.5 through HSV) on the pixels
// whose tone (red + green + blue) / 3 lies in [low, high].
class DodgeBurnBrush : public RoundBrush {
 public:
  DodgeBurnBrush(int32_t kind, Size size);
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
  int32_t Low() const { return m_low; }
  int32_t High() const { return m_high; }
  bool Dodges() const { return m_dodge; }

 private:
  int32_t m_low;
  int32_t m_high;
  bool m_dodge;
};

// Kinds 18 and 19: alpha up or down by the mask.
class OpacityBrush : public RoundBrush {
 public:
  OpacityBrush(int32_t kind, Size size) : RoundBrush(kind, size) {}
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
};

// Kind 20: each channel c + (4c − up − down − left − right) / 6, neighbours from the layer.
class SharpenBrush : public RoundBrush {
 public:
  explicit SharpenBrush(Size size) : RoundBrush(kBrushSharpen, size) {}
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;

 private:
  std::vector<uint32_t> m_around;
};

// Kinds 21 and 22: HLS saturation + 4 or − 4.
class SaturationBrush : public RoundBrush {
 public:
  SaturationBrush(int32_t kind, Size size) : RoundBrush(kind, size) {}
  bool Kernel(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* result) override;
};

}  // namespace varnel

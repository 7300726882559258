#include "brush/custom_brush.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "brush/round_mask.h"
#include "core/colour_convert.h"
#include "document/bitmap_file.h"
#include "platform/crt_rand.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
// The tip used when a preset names no shape (or one that cannot be read): the soft round mask
// drawn at this size, so it resamples like any shape bitmap.
constexpr int32_t kRoundTipSide = 64;

int32_t Channel(uint32_t pixel, int shift) { return static_cast<int32_t>((pixel >> shift) & 0xFF); }

uint32_t Rgb(int32_t r, int32_t g, int32_t b) {
  return static_cast<uint32_t>(std::clamp(r, 0, 255)) << 16 | static_cast<uint32_t>(std::clamp(g, 0, 255)) << 8 |
         static_cast<uint32_t>(std::clamp(b, 0, 255));
}

int32_t Luminance(uint32_t pixel) {
  return (77 * Channel(pixel, 16) + 151 * Channel(pixel, 8) + 28 * Channel(pixel, 0)) >> 8;
}

int32_t Wrap(int64_t value, int32_t period) {
  const int64_t r = value % period;
  return static_cast<int32_t>(r < 0 ? r + period : r);
}

// A random byte as the colour modes' maps draw it: truncate(rand() / 32767 × 255).
uint8_t RandomByte() { return static_cast<uint8_t>(static_cast<double>(CrtRand()) / kCrtRandMax * 255.0); }

// −1.0 … 1.0 in hundredths.
double RandomUnit() { return (CrtRand() % 201 - 100) / 100.0; }

// A shift of up to ± percent of range, drawn only when the percent asks for one.
int32_t RandomShift(int32_t percent, int32_t range) {
  if (percent <= 0) return 0;
  return static_cast<int32_t>(std::lround(RandomUnit() * std::min(percent, 100) * range / 100.0));
}

HlsColour Hls(uint32_t rgb) { return RgbToHls(rgb); }

uint32_t FromHls(const HlsColour& hls) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  HlsToRgb(hls, bytes);
  return Rgb(bytes[2], bytes[1], bytes[0]);
}

// The colour varied by the mode (1 RGB, 2 HLS) and three percents.
uint32_t Vary(uint32_t rgb, int32_t mode, const int32_t (&percent)[3]) {
  if (mode == 1) {
    const int32_t r = Channel(rgb, 16) + RandomShift(percent[0], 255);
    const int32_t g = Channel(rgb, 8) + RandomShift(percent[1], 255);
    const int32_t b = Channel(rgb, 0) + RandomShift(percent[2], 255);
    return Rgb(r, g, b);
  }
  if (mode == 2) {
    HlsColour hls = Hls(rgb);
    hls.hue = Wrap(static_cast<int64_t>(hls.hue) + RandomShift(percent[0], 360), 360);
    hls.saturation = std::clamp(hls.saturation + RandomShift(percent[1], 255), 0, 255);
    hls.lightness = std::clamp(hls.lightness + RandomShift(percent[2], 255), 0, 255);
    return FromHls(hls);
  }
  return rgb;
}

bool PlainFileName(const std::string& name) {
  // Names come from presets and tool states, which travel between machines: only a file in the
  // folder itself is taken.
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\\') == std::string::npos;
}

std::shared_ptr<ImageSurface> ReadBrushBitmap(const std::string& folder, const std::string& name) {
  if (!PlainFileName(name)) return nullptr;
  auto picture = std::make_shared<ImageSurface>();
  std::string message;
  // A shape or texture of the user's data folder stands beside a read-only program folder's.
  if (ReadBitmapFile(ReadablePathFor(folder + "/" + name), *picture, message) != 0) return nullptr;
  return picture;
}

ByteBitmap RoundTip() {
  RoundMask round;
  round.Build(kRoundTipSide, kRoundTipSide);
  ByteBitmap tip;
  tip.width = round.Width();
  tip.height = round.Height();
  tip.bytes.assign(round.Data(), round.Data() + static_cast<size_t>(tip.width) * static_cast<size_t>(tip.height));
  return tip;
}

}  // namespace

uint8_t Darkness(uint32_t pixel) { return static_cast<uint8_t>(255 - Luminance(pixel)); }

ByteBitmap DarknessOf(const ImageSurface& picture) {
  ByteBitmap bitmap;
  const Size size = picture.GetSize();
  if (size.width < 1 || size.height < 1) return bitmap;
  std::vector<uint32_t> row(static_cast<size_t>(size.width));
  bitmap.width = size.width;
  bitmap.height = size.height;
  bitmap.bytes.resize(static_cast<size_t>(size.width) * static_cast<size_t>(size.height));
  for (int32_t y = 0; y < size.height; ++y) {
    picture.GetRect({0, y, size.width - 1, y}, row.data());
    uint8_t* out = bitmap.bytes.data() + static_cast<size_t>(y) * static_cast<size_t>(size.width);
    for (int32_t x = 0; x < size.width; ++x) out[x] = Darkness(row[static_cast<size_t>(x)]);
  }
  return bitmap;
}

void ResampleShape(const ByteBitmap& shape, int32_t width, int32_t height, std::vector<uint8_t>& mask) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (shape.Empty()) {
    mask.assign(count, 0);
    return;
  }
  if (width < 5 || height < 5) {
    uint64_t sum = 0;
    for (uint8_t byte : shape.bytes) sum += byte;
    const uint64_t n = shape.bytes.size();
    mask.assign(count, static_cast<uint8_t>((sum + n / 2) / n));
    return;
  }
  mask.resize(count);
  for (int32_t j = 0; j < height; ++j) {
    const int64_t row = static_cast<int64_t>(j) * shape.height / height;
    const uint8_t* source = shape.bytes.data() + row * shape.width;
    uint8_t* out = mask.data() + static_cast<size_t>(j) * static_cast<size_t>(width);
    for (int32_t i = 0; i < width; ++i) out[i] = source[static_cast<int64_t>(i) * shape.width / width];
  }
}

std::shared_ptr<const BrushTexture> BrushTexture::From(const ImageSurface& picture, int32_t colourMode,
                                                       int32_t bumpAngle) {
  const Size size = picture.GetSize();
  if (size.width < 1 || size.height < 1) return nullptr;
  auto texture = std::make_shared<BrushTexture>();
  texture->width = size.width;
  texture->height = size.height;
  const size_t count = static_cast<size_t>(size.width) * static_cast<size_t>(size.height);
  std::vector<uint32_t> pixels(count);
  picture.GetRect({0, 0, size.width - 1, size.height - 1}, pixels.data());
  if (colourMode == 4) {
    texture->colours.resize(count);
    for (size_t i = 0; i < count; ++i) texture->colours[i] = pixels[i] | kOpaque;
  } else if (colourMode == 8) {
    // The light comes from the bump angle (counter-clockwise from the right, y growing down),
    // brightness is height: a slope that falls toward the light faces it and is lit.
    const double radians = bumpAngle * std::numbers::pi / 180.0;
    const int32_t dx = static_cast<int32_t>(std::lround(std::cos(radians)));
    const int32_t dy = -static_cast<int32_t>(std::lround(std::sin(radians)));
    texture->heights.resize(count);
    for (int32_t y = 0; y < size.height; ++y) {
      for (int32_t x = 0; x < size.width; ++x) {
        auto at = [&](int32_t px, int32_t py) {
          return Luminance(pixels[static_cast<size_t>(Wrap(py, size.height)) * static_cast<size_t>(size.width) +
                                  static_cast<size_t>(Wrap(px, size.width))]);
        };
        texture->heights[static_cast<size_t>(y) * static_cast<size_t>(size.width) + static_cast<size_t>(x)] =
            static_cast<int16_t>(at(x - dx, y - dy) - at(x + dx, y + dy));
      }
    }
  } else {
    texture->values.resize(count);
    for (size_t i = 0; i < count; ++i) texture->values[i] = Darkness(pixels[i]);
  }
  return texture;
}

std::string MissingShapeMessage(const std::string& file) {
  return "ブラシ形状「" + file + "」が読み込めません。円形のブラシで描画します。";
}

std::string MissingTextureMessage(const std::string& file) {
  return "テクスチャ「" + file + "」が読み込めません。テクスチャなしで描画します。";
}

CustomBrushFiles LoadCustomBrushFiles(const CustomBrushParams& params, const std::string& brushFolder) {
  CustomBrushFiles files;
  if (!params.shapeFile.empty()) {
    if (auto shape = ReadBrushBitmap(brushFolder + "/Shape", params.shapeFile)) {
      files.shape = DarknessOf(*shape);
    } else {
      files.messages.push_back(MissingShapeMessage(params.shapeFile));
    }
  }
  if (!params.textureFile.empty()) {
    files.texture = ReadBrushBitmap(brushFolder + "/Texture", params.textureFile);
    if (!files.texture) files.messages.push_back(MissingTextureMessage(params.textureFile));
  }
  return files;
}

CustomBrush::CustomBrush(Size size, const CustomBrushParams& params, const CustomBrushFiles& files)
    : BrushEngine(kBrushCustom, size), m_params(params) {
  m_params.strokeCount = std::clamp(m_params.strokeCount, 1, 8);
  m_shape = files.shape.Empty() ? RoundTip() : files.shape;
  if (files.texture) m_texture = BrushTexture::From(*files.texture, m_params.colourMode, m_params.bumpAngle);
  SetComposeMode(ComposeRuleFromBlendMode(m_params.blendMode));
  m_strokes.resize(static_cast<size_t>(m_params.strokeCount));
  OnSizeChanged();
}

uint32_t CustomBrush::StrokePaint(int32_t index) const {
  const Stroke& stroke = m_strokes.at(static_cast<size_t>(index));
  return Rgb(static_cast<int32_t>(std::lround(stroke.paint[0])), static_cast<int32_t>(std::lround(stroke.paint[1])),
             static_cast<int32_t>(std::lround(stroke.paint[2])));
}

void CustomBrush::SetColours(ColourRef foreground, ColourRef background) {
  BrushEngine::SetColours(foreground, background);
  m_toolBackground = Background();
  for (Stroke& stroke : m_strokes) {
    const uint32_t fg = Foreground();
    stroke.base[0] = stroke.paint[0] = Channel(fg, 16);
    stroke.base[1] = stroke.paint[1] = Channel(fg, 8);
    stroke.base[2] = stroke.paint[2] = Channel(fg, 0);
    stroke.tableColour = 0xFFFFFFFFu;
  }
}

void CustomBrush::OnSizeChanged() {
  PrepareMask();
  RefillRandomMaps();
}

void CustomBrush::PrepareMask() {
  const Size size = GetSize();
  ResampleShape(m_shape, size.width, size.height, m_resampled);
  m_prepared = m_resampled;
  // Below full density only a share of the tip takes paint; the pattern holds for a run of
  // dabs, so it draws streaks as a dry brush does.
  if (m_params.density < 255) {
    const int32_t density = std::max(m_params.density, 0);
    for (uint8_t& byte : m_prepared)
      if (RandomByte() >= density) byte = 0;
  }
}

void CustomBrush::RefillRandomMaps() {
  if (m_params.colourMode < 5 || m_params.colourMode > 7) return;
  const Size size = GetSize();
  const size_t count = static_cast<size_t>(size.width) * static_cast<size_t>(size.height);
  for (Stroke& stroke : m_strokes) {
    stroke.randomMap.resize(count);
    for (uint8_t& byte : stroke.randomMap) byte = RandomByte();
  }
}

void CustomBrush::OnStrokeBegins() {
  m_dabIndex = 0;
  m_dabMask = nullptr;
  const uint32_t fg = Foreground();
  const size_t count = m_strokes.size();
  // The sub-strokes sit evenly round the gather ring, turned by a random start angle.
  const double start = count > 1 ? (CrtRand() % 360) * std::numbers::pi / 180.0 : 0.0;
  for (size_t k = 0; k < count; ++k) {
    Stroke& stroke = m_strokes[k];
    if (count > 1) {
      const double angle = start + 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(count);
      stroke.ringX = std::cos(angle);
      stroke.ringY = std::sin(angle);
    } else {
      stroke.ringX = stroke.ringY = 0.0;
    }
    const int32_t jitter = std::clamp(m_params.strokePositionJitter, 0, 100);
    stroke.jitterX = jitter > 0 ? RandomUnit() * jitter / 100.0 : 0.0;
    stroke.jitterY = jitter > 0 ? RandomUnit() * jitter / 100.0 : 0.0;
    const uint32_t base = Vary(fg, m_params.strokeColourJitterMode, m_params.strokeColourJitter);
    stroke.base[0] = stroke.paint[0] = Channel(base, 16);
    stroke.base[1] = stroke.paint[1] = Channel(base, 8);
    stroke.base[2] = stroke.paint[2] = Channel(base, 0);
    stroke.tableColour = 0xFFFFFFFFu;
  }
}

void CustomBrush::BuildTable(Stroke& stroke, uint32_t paint) {
  const int32_t mode = m_params.colourMode;
  if (mode == 0 || mode == 4 || mode == 8 || mode < 0 || mode > 8) return;
  if (stroke.tableColour == paint) return;
  stroke.tableColour = paint;
  const uint32_t bg = m_toolBackground;
  const HlsColour hls = Hls(paint);
  // Where the texture leaves the colour as it is, it stays exactly so, not through a round trip
  // to HLS.
  auto fromHls = [&](const HlsColour& c) { return c == hls ? paint : FromHls(c); };
  for (int32_t i = 0; i < 256; ++i) {
    uint32_t entry = paint;
    switch (mode) {
      case 1: {  // saturation follows the texture's darkness
        HlsColour c = hls;
        c.saturation = hls.saturation * i / 255;
        entry = fromHls(c);
        break;
      }
      case 2: {  // light texture lightens, dark texture darkens, mid grey keeps the colour
        HlsColour c = hls;
        c.lightness = i <= 128 ? hls.lightness + (255 - hls.lightness) * (128 - i) / 256
                               : hls.lightness - hls.lightness * (i - 128) / 254;
        entry = fromHls(c);
        break;
      }
      case 3: {  // the hue turns up to 90 degrees either way
        HlsColour c = hls;
        c.hue = Wrap(static_cast<int64_t>(hls.hue) + (i - 128) * 90 / 128, 360);
        entry = fromHls(c);
        break;
      }
      case 5: {  // anywhere in the RGB box of paint and background colour
        int32_t channel[3];
        for (int s = 0; s < 3; ++s) {
          const int32_t a = Channel(paint, 16 - 8 * s), b = Channel(bg, 16 - 8 * s);
          channel[s] = std::min(a, b) + CrtRand() % (std::abs(a - b) + 1);
        }
        entry = Rgb(channel[0], channel[1], channel[2]);
        break;
      }
      case 6: {  // anywhere in the HSV box, the hue the short way round
        uint8_t pb[4], bb[4];
        std::memcpy(pb, &paint, 4);
        std::memcpy(bb, &bg, 4);
        const HsvColour from = RgbToHsv(pb), to = RgbToHsv(bb);
        double dh = to.hue - from.hue;
        if (dh > 180.0) dh -= 360.0;
        if (dh < -180.0) dh += 360.0;
        const double th = static_cast<double>(CrtRand()) / kCrtRandMax;
        const double ts = static_cast<double>(CrtRand()) / kCrtRandMax;
        const double tv = static_cast<double>(CrtRand()) / kCrtRandMax;
        HsvColour c{std::fmod(from.hue + dh * th + 360.0, 360.0), from.saturation + (to.saturation - from.saturation) * ts,
                    from.value + (to.value - from.value) * tv};
        uint8_t out[4] = {pb[0], pb[1], pb[2], 0};
        HsvToRgb(c, out);
        entry = Rgb(out[2], out[1], out[0]);
        break;
      }
      case 7: {  // paint and background colour mixed
        int32_t channel[3];
        for (int s = 0; s < 3; ++s) {
          const int32_t a = Channel(paint, 16 - 8 * s), b = Channel(bg, 16 - 8 * s);
          channel[s] = a + ((b - a) * i + (b >= a ? 127 : -127)) / 255;
        }
        entry = Rgb(channel[0], channel[1], channel[2]);
        break;
      }
      default:
        break;
    }
    stroke.table[i] = entry | kOpaque;
  }
}

uint32_t CustomBrush::VariedPaint(const Stroke& stroke) {
  const uint32_t paint = Rgb(static_cast<int32_t>(std::lround(stroke.paint[0])),
                             static_cast<int32_t>(std::lround(stroke.paint[1])),
                             static_cast<int32_t>(std::lround(stroke.paint[2])));
  return Vary(paint, m_params.colourVariation, m_params.colourVariationValue);
}

void CustomBrush::PickUp(Stroke& stroke, const uint32_t* old, const uint8_t* mask, size_t count) {
  // The mean colour under the tip, each pixel counted by how much the tip covers it and how
  // opaque it is: a transparent layer gives nothing to pick up.
  uint64_t weight = 0, sum[3] = {0, 0, 0};
  for (size_t i = 0; i < count; ++i) {
    const uint64_t w = static_cast<uint64_t>(mask[i]) * (old[i] >> 24);
    if (w == 0) continue;
    weight += w;
    sum[0] += w * static_cast<uint64_t>(Channel(old[i], 16));
    sum[1] += w * static_cast<uint64_t>(Channel(old[i], 8));
    sum[2] += w * static_cast<uint64_t>(Channel(old[i], 0));
  }
  const double pickUp = std::clamp(m_params.backgroundColourAmount, 0, 255) / 255.0;
  const double refill = std::clamp(m_params.inkRefill, 0, 255) / 255.0;
  for (int s = 0; s < 3; ++s) {
    if (weight > 0) stroke.paint[s] += (static_cast<double>(sum[s]) / static_cast<double>(weight) - stroke.paint[s]) * pickUp;
    stroke.paint[s] += (stroke.base[s] - stroke.paint[s]) * refill;
  }
}

const uint8_t* CustomBrush::DabMask(int32_t x, int32_t y) {
  const int32_t mode = m_params.rotationMode;
  double angle = 0.0;
  if (mode == 1) {
    angle = (CrtRand() % 360) * std::numbers::pi / 180.0;
  } else if (mode == 2) {
    // A pen's tilt direction; with a mouse the way the stroke travels.
    if (PenAngle()) {
      angle = *PenAngle();
    } else if (!IsIdle() && (x != LastX() || y != LastY()) && m_dabIndex > 0) {
      angle = std::atan2(y - LastY(), x - LastX());
    }
  }
  if (mode != 1 && mode != 2) return m_prepared.data();
  if (angle == 0.0) return m_prepared.data();
  const Size size = GetSize();
  const int32_t w = size.width, h = size.height;
  m_turned.assign(m_prepared.size(), 0);
  const double c = std::cos(angle), s = std::sin(angle);
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
  for (int32_t j = 0; j < h; ++j) {
    const double dy = j - cy;
    uint8_t* out = m_turned.data() + static_cast<size_t>(j) * static_cast<size_t>(w);
    for (int32_t i = 0; i < w; ++i) {
      const double dx = i - cx;
      // Each dab pixel looks up where the turn brings it from.
      const int32_t u = static_cast<int32_t>(std::floor(c * dx + s * dy + cx + 0.5));
      const int32_t v = static_cast<int32_t>(std::floor(-s * dx + c * dy + cy + 0.5));
      if (u >= 0 && u < w && v >= 0 && v < h)
        out[i] = m_prepared[static_cast<size_t>(v) * static_cast<size_t>(w) + static_cast<size_t>(u)];
    }
  }
  return m_turned.data();
}

void CustomBrush::DrawDab(ImageSurface& layer, int32_t x, int32_t y, int32_t opacity) {
  if (opacity <= 0) return;
  if (m_counter.Tick()) {
    PrepareMask();
    RefillRandomMaps();
  }
  if (CloneColour()) {
    // The clone source gives the paint colour dab by dab.
    const uint32_t fg = Foreground();
    for (Stroke& stroke : m_strokes) {
      stroke.base[0] = Channel(fg, 16);
      stroke.base[1] = Channel(fg, 8);
      stroke.base[2] = Channel(fg, 0);
      if (m_params.backgroundColourEffect == 0)
        std::copy(std::begin(stroke.base), std::end(stroke.base), std::begin(stroke.paint));
    }
  }
  const int64_t k = m_dabIndex;
  if (m_params.fadeOn != 0) {
    // The stroke fades out over fade value × 10 dabs.
    const int64_t span = static_cast<int64_t>(std::max(m_params.fadeValue, 1)) * 10;
    opacity = static_cast<int32_t>(static_cast<int64_t>(opacity) * std::max<int64_t>(0, span - k) / span);
  }
  m_dabMask = DabMask(x, y);
  ++m_dabIndex;
  if (opacity <= 0) return;
  const Size size = GetSize();
  const double ring = m_strokes.size() > 1 ? (255 - std::clamp(m_params.gather, 0, 255)) / 255.0 *
                                                 (size.width + size.height) / 2.0
                                           : 0.0;
  const int32_t scatter = m_params.positionVariationOn != 0 ? std::clamp(m_params.positionVariation, 0, 100) : 0;
  for (size_t n = 0; n < m_strokes.size(); ++n) {
    const Stroke& stroke = m_strokes[n];
    int64_t dx = std::lround(stroke.ringX * ring + stroke.jitterX * size.width);
    int64_t dy = std::lround(stroke.ringY * ring + stroke.jitterY * size.height);
    if (scatter > 0) {
      dx += std::lround(RandomUnit() * scatter * size.width / 100.0);
      dy += std::lround(RandomUnit() * scatter * size.height / 100.0);
    }
    m_current = n;
    BrushEngine::DrawDab(layer, static_cast<int32_t>(std::clamp<int64_t>(x + dx, INT32_MIN / 2, INT32_MAX / 2)),
                         static_cast<int32_t>(std::clamp<int64_t>(y + dy, INT32_MIN / 2, INT32_MAX / 2)), opacity);
  }
  m_current = 0;
  m_dabMask = nullptr;
}

bool CustomBrush::ColourAndMask(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* colour, uint8_t* mask) {
  Stroke& stroke = m_strokes[m_current];
  const int32_t w = rect.Width(), h = rect.Height();
  const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
  // A dab drawn without DrawDab (none today) takes the prepared mask unturned.
  std::memcpy(mask, m_dabMask != nullptr ? m_dabMask : m_prepared.data(), count);
  if (m_params.backgroundColourEffect != 0) PickUp(stroke, old, mask, count);
  const uint32_t paint = VariedPaint(stroke);
  BuildTable(stroke, paint);
  const int32_t mode = m_params.colourMode;

  if (mode >= 5 && mode <= 7) {
    const uint8_t* map = stroke.randomMap.data();
    for (size_t i = 0; i < count; ++i) colour[i] = stroke.table[map[i]];
    return true;
  }
  const BrushTexture* texture = m_texture.get();
  const bool textured = texture != nullptr && mode >= 0 && mode <= 8;
  if (!textured) {
    std::fill(colour, colour + count, paint | kOpaque);
    return true;
  }
  // The texture is pinned to the layer: dab pixel (i, j) reads texture pixel
  // ((left + i + offset x) mod width, (top + j + offset y) mod height).
  const int32_t tw = texture->width, th = texture->height;
  const int32_t column0 = Wrap(static_cast<int64_t>(rect.left) + m_textureOffsetX, tw);
  int32_t row = Wrap(static_cast<int64_t>(rect.top) + m_textureOffsetY, th);
  const int32_t pr = Channel(paint, 16), pg = Channel(paint, 8), pb = Channel(paint, 0);
  for (int32_t j = 0; j < h; ++j) {
    const size_t base = static_cast<size_t>(row) * static_cast<size_t>(tw);
    uint32_t* out = colour + static_cast<size_t>(j) * static_cast<size_t>(w);
    uint8_t* m = mask + static_cast<size_t>(j) * static_cast<size_t>(w);
    int32_t column = column0;
    // Runs up to the texture's right edge, then from its left edge again.
    for (int32_t i = 0; i < w;) {
      const int32_t run = std::min(w - i, tw - column);
      const size_t at = base + static_cast<size_t>(column);
      switch (mode) {
        case 0: {
          const uint8_t* v = texture->values.data() + at;
          for (int32_t r = 0; r < run; ++r) {
            out[i + r] = paint | kOpaque;
            m[i + r] = static_cast<uint8_t>((m[i + r] * (v[r] + 1)) >> 8);
          }
          break;
        }
        case 4:
          std::memcpy(out + i, texture->colours.data() + at, sizeof(uint32_t) * static_cast<size_t>(run));
          break;
        case 8: {
          const int16_t* hgt = texture->heights.data() + at;
          for (int32_t r = 0; r < run; ++r)
            out[i + r] = Rgb(pr + hgt[r], pg + hgt[r], pb + hgt[r]) | kOpaque;
          break;
        }
        default: {
          const uint8_t* v = texture->values.data() + at;
          for (int32_t r = 0; r < run; ++r) out[i + r] = stroke.table[v[r]];
          break;
        }
      }
      i += run;
      column = 0;
    }
    if (++row == th) row = 0;
  }
  return true;
}

}  // namespace varnel

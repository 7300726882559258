#pragma once
// The custom brush (kind 0): a shape bitmap as the dab mask and a texture tiled over the layer
// as the colour source, laid by one to eight stroke sub-objects side by side, each with its own
// paint colour, ink, random maps and place. How every CustomBrushParams field acts is written
// down in README ("The custom brush"); every random choice is drawn from CrtRand, so a stroke
// replays to the same bytes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "brush/brush_engine.h"
#include "brush/brush_kinds.h"
#include "brush/brush_settings.h"

namespace varnel {

// A bitmap as one byte per pixel: the darkness 255 − (77 R + 151 G + 28 B) / 256, so black
// paints fully and white not at all.
struct ByteBitmap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;
  bool Empty() const { return width < 1 || height < 1; }
};
uint8_t Darkness(uint32_t pixel);
ByteBitmap DarknessOf(const ImageSurface& picture);

// The shape resampled to a dab of width × height by nearest neighbour (dab row j takes shape
// row j × shape height / height, columns likewise); a dab under 5 pixels on either side gets a
// uniform mask, the mean of every shape byte.
void ResampleShape(const ByteBitmap& shape, int32_t width, int32_t height, std::vector<uint8_t>& mask);

// The texture in the forms the colour modes read: darkness values (modes 0…3), the pixels
// themselves (mode 4) and bump heights (mode 8: how far the luminance falls toward the light,
// which comes from the bump angle, −255…255).
struct BrushTexture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> values;
  std::vector<uint32_t> colours;
  std::vector<int16_t> heights;
  static std::shared_ptr<const BrushTexture> From(const ImageSurface& picture, int32_t colourMode, int32_t bumpAngle);
};

// What the custom brush reads from the Brush folder. A missing shape falls back to the round
// tip and a missing texture to the plain paint colour; messages say which file was missing.
struct CustomBrushFiles {
  ByteBitmap shape;  // empty: the round tip
  std::shared_ptr<ImageSurface> texture;  // null: no texture
  std::vector<std::string> messages;
};
// brushFolder holds Shape/ and Texture/.
CustomBrushFiles LoadCustomBrushFiles(const CustomBrushParams& params, const std::string& brushFolder);
// The messages for a shape or texture file that cannot be read.
std::string MissingShapeMessage(const std::string& file);
std::string MissingTextureMessage(const std::string& file);

class CustomBrush : public BrushEngine {
 public:
  CustomBrush(Size size, const CustomBrushParams& params, const CustomBrushFiles& files);

  void SetColours(ColourRef foreground, ColourRef background) override;
  void DrawDab(ImageSurface& layer, int32_t x, int32_t y, int32_t opacity) override;
  bool ColourAndMask(ImageSurface& layer, const Rect& rect, const uint32_t* old, uint32_t* colour,
                     uint8_t* mask) override;

  const CustomBrushParams& Params() const { return m_params; }
  int32_t StrokeCount() const { return static_cast<int32_t>(m_strokes.size()); }
  // The dab mask prepared for the current dab size (shape resampled, thinned by the density).
  const std::vector<uint8_t>& PreparedMask() const { return m_prepared; }
  // The paint colour (0x00RRGGBB) a sub-object lays now.
  uint32_t StrokePaint(int32_t index) const;
  // Where the texture is pinned on the layer.
  void SetTextureOffset(int32_t x, int32_t y) {
    m_textureOffsetX = x;
    m_textureOffsetY = y;
  }

 protected:
  void OnSizeChanged() override;
  void OnStrokeBegins() override;

 private:
  struct Stroke {
    double base[3] = {0, 0, 0};   // its own colour: red, green, blue
    double paint[3] = {0, 0, 0};  // what the brush carries now (wet pick-up, refill)
    double ringX = 0.0, ringY = 0.0;      // unit place on the gather ring
    double jitterX = 0.0, jitterY = 0.0;  // start jitter, in dab sizes
    uint32_t tableColour = 0xFFFFFFFFu;   // the colour the table was built for
    uint32_t table[256] = {};
    std::vector<uint8_t> randomMap;       // colour modes 5…7
  };

  void PrepareMask();
  void RefillRandomMaps();
  void BuildTable(Stroke& stroke, uint32_t paint);
  uint32_t VariedPaint(const Stroke& stroke);
  void PickUp(Stroke& stroke, const uint32_t* old, const uint8_t* mask, size_t count);
  // The mask of this dab: the prepared one, turned for the rotation modes.
  const uint8_t* DabMask(int32_t x, int32_t y);

  CustomBrushParams m_params;
  ByteBitmap m_shape;
  std::shared_ptr<const BrushTexture> m_texture;
  std::vector<uint8_t> m_resampled;
  std::vector<uint8_t> m_prepared;
  std::vector<uint8_t> m_turned;
  std::vector<Stroke> m_strokes;
  size_t m_current = 0;
  DabCounter m_counter;
  int64_t m_dabIndex = 0;  // dabs since pen-down, for the fade
  int32_t m_textureOffsetX = 0;
  int32_t m_textureOffsetY = 0;
  const uint8_t* m_dabMask = nullptr;
  uint32_t m_toolBackground = 0x00FFFFFFu;
};

}  // namespace varnel

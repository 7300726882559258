#pragma once
// Colours as single values. Each type's name says its byte order, and the conversions between
// them are here and nowhere else. Pixels in surfaces and runs stay plain 32-bit words
// 0xAARRGGBB (blue, green, red, alpha in memory); ToPixel and ColourRefOfPixel cross over.

#include <cstdint>
#include <initializer_list>

namespace varnel {

// 0x00BBGGRR, red in the lowest byte: the platform's colour reference. Settings, tool colours,
// colour files, grid lines and the debug console keep colours this way.
enum class ColourRef : uint32_t {};
// 0x00RRGGBB: web colours ("#rrggbb") and bitmap palette entries.
enum class RgbColour : uint32_t {};
// 0xAABBGGRR: colours as scripts hand them over.
enum class AbgrColour : uint32_t {};

template <class Colour>
constexpr uint32_t ValueOf(Colour colour) {
  return static_cast<uint32_t>(colour);
}

constexpr ColourRef MakeColourRef(uint8_t red, uint8_t green, uint8_t blue) {
  return ColourRef{uint32_t{red} | uint32_t{green} << 8 | uint32_t{blue} << 16};
}
constexpr uint8_t RedOf(ColourRef colour) { return static_cast<uint8_t>(ValueOf(colour)); }
constexpr uint8_t GreenOf(ColourRef colour) { return static_cast<uint8_t>(ValueOf(colour) >> 8); }
constexpr uint8_t BlueOf(ColourRef colour) { return static_cast<uint8_t>(ValueOf(colour) >> 16); }

// Red and blue change places; green and the top byte stay.
constexpr uint32_t SwapRedAndBlue(uint32_t value) {
  return (value & 0xFF00FF00u) | (value & 0xFFu) << 16 | (value >> 16 & 0xFFu);
}

constexpr RgbColour ToRgb(ColourRef colour) { return RgbColour{SwapRedAndBlue(ValueOf(colour) & 0xFFFFFFu)}; }
constexpr ColourRef ToColourRef(RgbColour colour) { return ColourRef{SwapRedAndBlue(ValueOf(colour) & 0xFFFFFFu)}; }

// The pixel word of a colour with the given alpha.
constexpr uint32_t ToPixel(ColourRef colour, uint8_t alpha) {
  return uint32_t{alpha} << 24 | SwapRedAndBlue(ValueOf(colour) & 0xFFFFFFu);
}
// A pixel's colour without its alpha.
constexpr ColourRef ColourRefOfPixel(uint32_t pixel) { return ColourRef{SwapRedAndBlue(pixel) & 0xFFFFFFu}; }

// A pixel laid over the light checkerboard that shows transparency in thumbnails and swatches,
// made opaque: squares of side cell, white where (x / cell + y / cell) is even, else 0xCC grey;
// each channel c a + ground (255 − a), divided by 255 to nearest.
constexpr uint32_t OverChecker(uint32_t pixel, int x, int y, int cell) {
  const uint32_t alpha = pixel >> 24, ground = ((x / cell + y / cell) & 1) != 0 ? 0xCCu : 0xFFu;
  uint32_t out = 0xFF000000u;
  for (const int shift : {0, 8, 16})
    out |= (((pixel >> shift & 0xFFu) * alpha + ground * (255 - alpha) + 127) / 255) << shift;
  return out;
}

constexpr AbgrColour ToAbgr(uint32_t pixel) { return AbgrColour{SwapRedAndBlue(pixel)}; }
constexpr uint32_t PixelOf(AbgrColour colour) { return SwapRedAndBlue(ValueOf(colour)); }

}  // namespace varnel

#pragma once
// Windows bitmap files: the built-in reader (every uncompressed depth), the writers of the save
// commands (24 bits, and 256 colours with a median-cut palette), and the conversion of any
// device-independent bitmap to the program's 32-bit pixels, which picture plug-ins share.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/surface.h"
#include "sdk/varnel_image.h"

namespace varnel {

inline constexpr const char* kCannotOpenBitmap = "ファイルを開けません";
inline constexpr const char* kNotABitmap = "BMPファイルではありません";
inline constexpr const char* kCompressedBitmap = "圧縮されたBMPは読み込めません";
inline constexpr const char* kPaletteUnreadable = "パレットが読み込めません";
inline constexpr const char* kDataUnreadable = "データセクションが読み込めません";

// Reads a bitmap file into surface. On failure answers -1 with message set to the reason
// (one of the texts above); surface is then not touched.
int32_t ReadBitmapFile(const std::string& path, ImageSurface& surface, std::string& message);

// Fills surface (created here, width × |height|) from a bitmap of 1, 2, 4, 8, 16, 24 or 32 bits
// per pixel: rows padded to 4 bytes, bottom row first for a positive height, top row first for
// a negative one. Palette entries are 0x00RRGGBB words; an index beyond paletteCount reads as
// black. Depths up to 24 bits get alpha 255; 32-bit pixels are copied as they are. -1 for a
// depth, size or compression it cannot take, or no memory.
int32_t SurfaceFromDib(const VarnelBitmapInfoHeader& header, const uint32_t* palette, size_t paletteCount,
                       const uint8_t* bits, ImageSurface& surface);

// Almost every program writes 0 in the fourth byte of an uncompressed 32-bit picture: when every
// alpha byte of the surface is 0 the picture is made opaque (alpha 255); any other alpha is kept.
void MakeOpaqueWhenAlphaUnused(ImageSurface& surface);

// Bytes in one row of a bitmap, padded to a multiple of 4; 0 when it cannot be said.
uint64_t DibRowBytes(int32_t width, int32_t bitCount);

// Writes picture as a 24-bit bitmap (alpha dropped). Answers -1, without any message, when
// the file cannot be made or written (an existing file is then left as it was); else 0.
int32_t WriteBitmap24(const std::string& path, const ImageSurface& picture);

// The 256-colour palette of a picture by median cut: entries 0x00RRGGBB, sorted by increasing
// red + green + blue; fewer than 256 when the picture has fewer colour cells (boxes that hold no
// pixel give no entry).
std::vector<uint32_t> MedianCutPalette(const ImageSurface& picture);

// Writes picture as an 8-bit bitmap with its median-cut palette, each pixel the nearest entry.
// -1 (nothing written) when the file cannot be made or written.
int32_t WriteBitmap256(const std::string& path, const ImageSurface& picture);

}  // namespace varnel

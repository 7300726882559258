#pragma once
// The open dialog's preview: a picture read directly (bitmaps) or through the first plug-in
// that takes the file, fitted into 120 × 120 pixels, and the file's size and times.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/surface.h"
#include "iogate/plugin_list.h"

namespace varnel::iogate {

inline constexpr int32_t kPreviewSize = 120;
inline constexpr const char* kTopDownPreview = "トップダウンビットマップ!";
inline constexpr const char* kPreviewNotSupported = "not supported...";
inline constexpr const char* kPreviewBroken = "dbgError : Initializing fail!";

// A 24-bit picture: rows of blue, green, red, each padded to a multiple of 4 bytes, bottom
// row first.
struct PreviewBitmap {
  int32_t width = 0;
  int32_t height = 0;
  uint32_t stride = 0;
  std::vector<uint8_t> bits;

  // The colour at (x, y), y counted from the top, as 0x00RRGGBB.
  uint32_t Pixel(int32_t x, int32_t y) const;
};

enum class PreviewStatus {
  kShown,         // bitmap holds the fitted picture
  kNotSupported,  // nothing could read the file: the pane says kPreviewNotSupported
  kBroken,        // a picture came back that cannot be converted: the pane says kPreviewBroken
};

struct Preview {
  PreviewStatus status = PreviewStatus::kNotSupported;
  PreviewBitmap bitmap;
};

// The fitted size: the longer side becomes 120 and the other scales by integer division
// (at least 1 pixel, so that a very thin picture still shows). Equal sides give 120 × 120.
Size FitPreviewSize(int32_t width, int32_t height);

// Nearest-neighbour sampling of a 32-bit picture into its fitted size.
PreviewBitmap FitPreview(const ImageSurface& picture);

// Loads the preview of the file at path. "bmp" and "dib" files (any case) are read directly;
// others go to the first plug-in whose IsSupported accepts the file: GetPreview first, then
// GetPicture. A top-down picture shows kTopDownPreview and is not previewed. What a plug-in
// hands back is checked against the size of the blocks it allocated before it is read. Only
// regular files are read.
Preview LoadPreview(const std::string& path, const PluginList& plugins);

// The information lines: "ファイルサイズ : %ldBytes", "最終変更 : %Y/%m/%d %H:%M" and
// "作成日時 : %Y/%m/%d %H:%M" in local time. The creation time is the file's birth time where
// the file system keeps one, else the time of its last status change. Empty lines when the
// file cannot be examined.
std::array<std::string, 3> FileInfoLines(const std::string& path);

}  // namespace varnel::iogate

#include "iogate/preview_picture.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "document/bitmap_file.h"
#include "platform/host.h"

namespace varnel::iogate {
namespace {

constexpr size_t kInfoHeaderBytes = 40;

struct FreeBlock {
  void operator()(void* p) const { std::free(p); }
};
using Block = std::unique_ptr<void, FreeBlock>;

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

void ShowTopDown() { GetHost().MessageBox(kTopDownPreview, "", kMbOk); }

// The height field of a bitmap file, when its headers can be read.
bool BitmapFileHeight(const std::string& path, int32_t* height) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint8_t head[14 + kInfoHeaderBytes];
  const ssize_t got = ::pread(fd, head, sizeof head, 0);
  ::close(fd);
  if (got != static_cast<ssize_t>(sizeof head) || head[0] != 'B' || head[1] != 'M') return false;
  std::memcpy(height, head + 14 + 8, sizeof *height);
  return true;
}

Preview FromSurface(const ImageSurface& surface) {
  Preview preview;
  preview.status = PreviewStatus::kShown;
  preview.bitmap = FitPreview(surface);
  return preview;
}

Preview BitmapPreview(const std::string& path) {
  int32_t height = 0;
  if (BitmapFileHeight(path, &height) && height < 0) {
    ShowTopDown();
    return {};
  }
  ImageSurface surface;
  std::string message;
  if (ReadBitmapFile(path, surface, message) != 0) return {};
  return FromSurface(surface);
}

enum class Converted { kDone, kTopDown, kBroken };

// Turns the two blocks of a plug-in picture into a surface. Nothing is read beyond what the
// plug-in allocated: malloc_usable_size tells how much that is.
Converted ConvertPluginPicture(const void* info, const void* bits, ImageSurface& surface) {
  const size_t infoBytes = ::malloc_usable_size(const_cast<void*>(info));
  if (infoBytes < kInfoHeaderBytes) return Converted::kBroken;
  VarnelBitmapInfoHeader header;
  std::memcpy(&header, info, sizeof header);
  if (header.biHeight < 0) return Converted::kTopDown;
  const int32_t depth = header.biBitCount;
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biCompression != 0) return Converted::kBroken;
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
    return Converted::kBroken;
  }
  const uint64_t rowBytes = DibRowBytes(header.biWidth, header.biBitCount);
  if (rowBytes == 0 || rowBytes * static_cast<uint64_t>(header.biHeight) > ::malloc_usable_size(const_cast<void*>(bits))) {
    return Converted::kBroken;
  }
  // Palette entries the plug-in did not allocate read as black.
  std::vector<uint32_t> palette;
  if (depth <= 8) {
    const size_t wanted = header.biClrUsed != 0 ? std::min<size_t>(header.biClrUsed, size_t{1} << depth) : size_t{1} << depth;
    const size_t present = std::min(wanted, (infoBytes - kInfoHeaderBytes) / 4);
    palette.resize(present);
    if (present > 0) std::memcpy(palette.data(), static_cast<const uint8_t*>(info) + kInfoHeaderBytes, present * 4);
  }
  if (SurfaceFromDib(header, palette.data(), palette.size(), static_cast<const uint8_t*>(bits), surface) != 0) {
    return Converted::kBroken;
  }
  return Converted::kDone;
}

// Calls GetPreview or GetPicture; the blocks come back owned, null when the call failed.
bool Fetch(VarnelGetPicture call, const std::string& path, Block& info, Block& bits) {
  if (call == nullptr) return false;
  void* infoOut = nullptr;
  void* bitsOut = nullptr;
  const int result = call(path.c_str(), 0, kVarnelInputFile, &infoOut, &bitsOut, nullptr, 0);
  info.reset(infoOut);
  bits.reset(bitsOut);
  return result == kVarnelPluginSuccess && info != nullptr && bits != nullptr;
}

Preview PluginPreview(const std::string& path, const PluginList& plugins) {
  const PicturePlugin* plugin = plugins.FindReader(path);
  if (plugin == nullptr) return {};
  bool fetched = false;
  for (VarnelGetPicture call : {plugin->getPreview, plugin->getPicture}) {
    Block info;
    Block bits;
    if (!Fetch(call, path, info, bits)) continue;
    fetched = true;
    ImageSurface surface;
    switch (ConvertPluginPicture(info.get(), bits.get(), surface)) {
      case Converted::kDone:
        return FromSurface(surface);
      case Converted::kTopDown:
        ShowTopDown();
        return {};
      case Converted::kBroken:
        break;  // a broken preview may still come with a sound picture
    }
  }
  Preview preview;
  preview.status = fetched ? PreviewStatus::kBroken : PreviewStatus::kNotSupported;
  return preview;
}

std::string FormatTime(const char* label, time_t when) {
  struct tm local {};
  if (::localtime_r(&when, &local) == nullptr) return label;
  char text[64];
  // With the day: year, month, hour and minute alone read as a wrong date.
  const size_t length = std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", &local);
  return std::string(label) + std::string(text, length);
}

}  // namespace

uint32_t PreviewBitmap::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const uint8_t* p = bits.data() + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
  return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

Size FitPreviewSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return {0, 0};
  if (width >= height) {
    return {kPreviewSize, static_cast<int32_t>(std::max<int64_t>(1, int64_t{height} * kPreviewSize / width))};
  }
  return {static_cast<int32_t>(std::max<int64_t>(1, int64_t{width} * kPreviewSize / height)), kPreviewSize};
}

PreviewBitmap FitPreview(const ImageSurface& picture) {
  PreviewBitmap bitmap;
  const int32_t width = picture.Width();
  const int32_t height = picture.Height();
  const Size fitted = FitPreviewSize(width, height);
  if (fitted.width == 0 || picture.Bits() == nullptr) return bitmap;
  bitmap.width = fitted.width;
  bitmap.height = fitted.height;
  bitmap.stride = (static_cast<uint32_t>(fitted.width) * 3 + 3) & ~3u;
  bitmap.bits.assign(static_cast<size_t>(bitmap.stride) * fitted.height, 0);
  for (int32_t y = 0; y < fitted.height; ++y) {
    const int32_t sy = static_cast<int32_t>(int64_t{y} * height / fitted.height);
    const auto* source = reinterpret_cast<const uint8_t*>(picture.Row(sy));
    uint8_t* out = bitmap.bits.data() + static_cast<size_t>(fitted.height - 1 - y) * bitmap.stride;
    for (int32_t x = 0; x < fitted.width; ++x) {
      const int32_t sx = static_cast<int32_t>(int64_t{x} * width / fitted.width);
      std::memcpy(out + x * 3, source + static_cast<size_t>(sx) * 4, 3);
    }
  }
  return bitmap;
}

Preview LoadPreview(const std::string& path, const PluginList& plugins) {
  // Opening a pipe or a device to read it could wait for ever.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  const std::string ext = LowerExtension(path);
  if (ext == "bmp" || ext == "dib") return BitmapPreview(path);
  return PluginPreview(path, plugins);
}

std::array<std::string, 3> FileInfoLines(const std::string& path) {
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_SIZE | STATX_MTIME | STATX_CTIME | STATX_BTIME, &info) != 0) {
    return {};
  }
  const time_t created = (info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec;
  char size[64];
  std::snprintf(size, sizeof size, "ファイルサイズ : %ldBytes", static_cast<long>(info.stx_size));
  return {size, FormatTime("最終変更 : ", info.stx_mtime.tv_sec), FormatTime("作成日時 : ", created)};
}

}  // namespace varnel::iogate

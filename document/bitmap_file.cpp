#include "document/bitmap_file.h"

#include <vector>

#include "document/file_io.h"
#include "platform/host.h"

namespace varnel {
namespace {

constexpr uint32_t kHeadersSize = 14 + 40;
constexpr size_t kWriteBuffer = 4096;
constexpr int32_t kProgressRows = 16;

}  // namespace

int32_t WriteBitmap24(const std::string& path, const ImageSurface& picture) {
  const int32_t width = picture.Width();
  const int32_t height = picture.Height();
  if (picture.Bits() == nullptr || width < 1 || height < 1) return -1;
  const uint64_t stride = (3 * static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
  const uint64_t imageSize = stride * static_cast<uint64_t>(height);
  if (kHeadersSize + imageSize > UINT32_MAX) return -1;  // the header fields cannot say it

  FileWriter out(kWriteBuffer);
  if (!out.TryCreate(path)) return -1;
  Host& host = GetHost();
  try {
    out.Write("BM", 2);
    out.WriteU32(static_cast<uint32_t>(kHeadersSize + imageSize));
    out.WriteU16(0);
    out.WriteU16(0);
    out.WriteU32(kHeadersSize);
    out.WriteU32(40);
    out.WriteI32(width);
    out.WriteI32(height);
    out.WriteU16(1);
    out.WriteU16(24);
    out.WriteU32(0);
    out.WriteU32(static_cast<uint32_t>(imageSize));
    for (int i = 0; i < 4; ++i) out.WriteU32(0);

    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int32_t written = 0; written < height; ++written) {
      if (written % kProgressRows == 0) {
        host.SetStatusText("BMP保存中");
        host.SetProgress(static_cast<int>(int64_t{written} * 100 / height));
      }
      // Rows go out bottom row first.
      const uint32_t* pixels = picture.Row(height - 1 - written);
      uint8_t* to = row.data();
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t p = pixels[x];
        to[0] = static_cast<uint8_t>(p);
        to[1] = static_cast<uint8_t>(p >> 8);
        to[2] = static_cast<uint8_t>(p >> 16);
        to += 3;
      }
      out.Write(row.data(), row.size());
    }
    out.Commit();
  } catch (const FileError&) {
    host.SetStatusText("");
    return -1;
  }
  host.SetStatusText("");
  return 0;
}

}  // namespace varnel

#include "cli/thumbnail_command.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "cli/cli_support.h"
#include "core/canvas.h"
#include "document/document_file.h"
#include "document/layer_commands.h"
#include "document/file_io.h"

namespace varnel::cli {
namespace {

constexpr uint8_t kChunkedMagic[5] = {0x4C, 0x58, 0x0D, 0x0A, 0x4C};
constexpr size_t kSignatureSize = 10;
constexpr size_t kChunkHeaderSize = 10;
constexpr size_t kPixelHeaderSize = 40;
// Thumbnail sizes in use are 128 to 1024; the cap keeps a typo from asking for gigabytes.
constexpr int32_t kLargestThumbnail = 4096;

// The composite of whatever the picture readers open, alpha dropped as the preview has none.
bool ReadComposite(const std::string& path, ThumbnailPicture& picture, std::string& message) {
  OpenedPicture opened;
  if (ReadPicture(path, opened, &message) != 0) return false;
  Canvas canvas;
  if (!PlacePicture(canvas, opened)) {
    message = kDocumentFailed;
    return false;
  }
  const Layer& composite = canvas.Composite();
  picture.width = composite.Width();
  picture.height = composite.Height();
  if (picture.width < 1 || picture.height < 1) return false;
  picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint32_t* row = composite.Row(y);
    uint32_t* target = picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
    for (int32_t x = 0; x < picture.width; ++x) target[x] = row[x] & 0x00FFFFFFu;
  }
  return true;
}

void AppendToBuffer(png_structp png, png_bytep data, png_size_t length) {
  auto* buffer = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  try {
    buffer->insert(buffer->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    png_error(png, "out of memory");
  }
}

// An 8-bit RGB PNG of the picture in memory; false when libpng gives up.
bool EncodePng(const ThumbnailPicture& picture, std::vector<uint8_t>& encoded) {
  std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 3);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &encoded, AppendToBuffer, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint32_t* source = picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
    for (int32_t x = 0; x < picture.width; ++x) {
      row[3 * x] = static_cast<uint8_t>(source[x] >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(source[x] >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(source[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

int Thumbnail(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {}, args, status)) return status;
  if (args.positional.size() != 3) return Usage(call, "expects IN OUT SIZE");
  int32_t limit = 0;
  if (!ParseInt(args.positional[2], 1, kLargestThumbnail, limit))
    return Usage(call, "SIZE must be a whole number from 1 to " + std::to_string(kLargestThumbnail));

  const std::string& in = args.positional[0];
  ThumbnailPicture picture;
  if (!ReadStoredPreview(in, picture)) {
    std::string message;
    if (!ReadComposite(in, picture, message)) return Fail(call, message.empty() ? kCannotReadPicture : message);
  }
  const ThumbnailPicture thumbnail = ScaleDown(picture, FitWithin({picture.width, picture.height}, limit));
  std::vector<uint8_t> encoded;
  if (!EncodePng(thumbnail, encoded)) return Fail(call, "cannot write " + args.positional[1]);
  try {
    FileWriter writer;
    writer.Create(args.positional[1]);
    writer.Write(encoded.data(), encoded.size());
    writer.Commit();
  } catch (const FileError& e) {
    return Fail(call, e.what());
  }
  return kSuccess;
}

}  // namespace

bool ReadStoredPreview(const std::string& path, ThumbnailPicture& preview) {
  FileReader file;
  if (!file.Open(path)) return false;
  uint8_t signature[kSignatureSize];
  if (!file.ReadExact(signature, sizeof signature) || std::memcmp(signature, kChunkedMagic, sizeof kChunkedMagic) != 0)
    return false;
  uint8_t header[kChunkHeaderSize];
  while (file.ReadExact(header, sizeof header)) {
    const uint32_t size = LoadU32(header + 6);
    if (std::memcmp(header + 2, "LLCB", 4) == 0) return false;
    if (std::memcmp(header + 2, "PRVW", 4) != 0) {
      if (!file.Skip(size)) return false;
      continue;
    }
    uint8_t pixelHeader[kPixelHeaderSize];
    if (size < kPixelHeaderSize || !file.ReadExact(pixelHeader, sizeof pixelHeader)) return false;
    const int32_t width = LoadI32(pixelHeader + 4);
    const int32_t height = LoadI32(pixelHeader + 8);
    if (width < 1 || height < 1) return false;
    const uint64_t bytes = uint64_t{4} * static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (bytes > size - kPixelHeaderSize || bytes > file.Remaining()) return false;
    // The pixel block runs from the bottom row up, blue, green, red, alpha.
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    preview.width = width;
    preview.height = height;
    preview.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int32_t y = height - 1; y >= 0; --y) {
      if (!file.ReadExact(row.data(), row.size())) return false;
      uint32_t* target = preview.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int32_t x = 0; x < width; ++x)
        target[x] = uint32_t{row[4 * x + 2]} << 16 | uint32_t{row[4 * x + 1]} << 8 | row[4 * x];
    }
    return true;
  }
  return false;
}

Size FitWithin(Size size, int32_t limit) {
  if (size.width <= limit && size.height <= limit) return size;
  const bool wide = size.width >= size.height;
  const int64_t longSide = wide ? size.width : size.height;
  const int64_t shortSide = wide ? size.height : size.width;
  const auto scaled = static_cast<int32_t>(std::max<int64_t>(1, (shortSide * limit + longSide / 2) / longSide));
  return wide ? Size{limit, scaled} : Size{scaled, limit};
}

ThumbnailPicture ScaleDown(const ThumbnailPicture& source, Size target) {
  ThumbnailPicture result;
  result.width = target.width;
  result.height = target.height;
  result.pixels.resize(static_cast<size_t>(target.width) * static_cast<size_t>(target.height));
  auto boxStart = [](int32_t i, int32_t from, int32_t to) {
    return static_cast<int32_t>(static_cast<int64_t>(i) * from / to);
  };
  for (int32_t y = 0; y < target.height; ++y) {
    const int32_t top = boxStart(y, source.height, target.height);
    const int32_t bottom = std::max(top + 1, boxStart(y + 1, source.height, target.height));
    for (int32_t x = 0; x < target.width; ++x) {
      const int32_t left = boxStart(x, source.width, target.width);
      const int32_t right = std::max(left + 1, boxStart(x + 1, source.width, target.width));
      uint64_t red = 0, green = 0, blue = 0;
      for (int32_t sy = top; sy < bottom; ++sy) {
        const uint32_t* row = source.pixels.data() + static_cast<size_t>(sy) * static_cast<size_t>(source.width);
        for (int32_t sx = left; sx < right; ++sx) {
          red += row[sx] >> 16 & 0xFF;
          green += row[sx] >> 8 & 0xFF;
          blue += row[sx] & 0xFF;
        }
      }
      const uint64_t count = static_cast<uint64_t>(bottom - top) * static_cast<uint64_t>(right - left);
      const auto mean = [count](uint64_t sum) { return static_cast<uint32_t>((sum + count / 2) / count); };
      result.pixels[static_cast<size_t>(y) * static_cast<size_t>(target.width) + x] =
          mean(red) << 16 | mean(green) << 8 | mean(blue);
    }
  }
  return result;
}

int RunThumbnail(const Invocation& call) {
  try {
    return Thumbnail(call);
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
}

}  // namespace varnel::cli

#include "document/bitmap_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "document/file_io.h"
#include "platform/host.h"

namespace varnel {
namespace {

constexpr uint32_t kHeadersSize = 14 + 40;
constexpr size_t kWriteBuffer = 4096;
constexpr int32_t kProgressRows = 16;
constexpr int kDebugLevel = 3;

bool KnownDepth(int32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

void Debug(const char* format, int64_t a = 0, int64_t b = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, static_cast<int>(a), static_cast<int>(b));
  GetHost().DebugMessage(kDebugLevel, ColourRef{0}, text);
}

uint8_t Expand5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

// One row of a bitmap as 32-bit pixels.
void ConvertRow(const uint8_t* from, int32_t bitCount, int32_t width, const uint32_t* palette, size_t paletteCount,
                uint32_t* to) {
  auto entry = [&](uint32_t index) {
    return 0xFF000000u | (index < paletteCount ? palette[index] & 0x00FFFFFFu : 0u);
  };
  switch (bitCount) {
    case 1:
    case 2:
    case 4: {
      const int perByte = 8 / bitCount;
      const uint32_t mask = (1u << bitCount) - 1;
      for (int32_t x = 0; x < width; ++x) {
        const int shift = 8 - bitCount * (x % perByte + 1);
        to[x] = entry((from[x / perByte] >> shift) & mask);
      }
      break;
    }
    case 8:
      for (int32_t x = 0; x < width; ++x) to[x] = entry(from[x]);
      break;
    case 16:
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t v = static_cast<uint32_t>(from[2 * x]) | static_cast<uint32_t>(from[2 * x + 1]) << 8;
        to[x] = 0xFF000000u | uint32_t{Expand5((v >> 10) & 31)} << 16 | uint32_t{Expand5((v >> 5) & 31)} << 8 |
                Expand5(v & 31);
      }
      break;
    case 24:
      for (int32_t x = 0; x < width; ++x)
        to[x] = 0xFF000000u | uint32_t{from[3 * x + 2]} << 16 | uint32_t{from[3 * x + 1]} << 8 | from[3 * x];
      break;
    default:
      std::memcpy(to, from, static_cast<size_t>(width) * 4);
      break;
  }
}

// The file header and the information header of an uncompressed bitmap.
void WriteHeaders(FileWriter& out, int32_t width, int32_t height, uint16_t bitCount, uint32_t pixelOffset,
                  uint32_t imageSize, uint32_t coloursUsed) {
  out.Write("BM", 2);
  out.WriteU32(pixelOffset + imageSize);
  out.WriteU16(0);
  out.WriteU16(0);
  out.WriteU32(pixelOffset);
  out.WriteU32(40);
  out.WriteI32(width);
  out.WriteI32(height);
  out.WriteU16(1);
  out.WriteU16(bitCount);
  out.WriteU32(0);
  out.WriteU32(imageSize);
  out.WriteU32(0);
  out.WriteU32(0);
  out.WriteU32(coloursUsed);
  out.WriteU32(0);
}

// A box of the 32 × 32 × 32 colour cells, inclusive on every side, with its pixel count.
struct Box {
  int lo[3];  // red, green, blue
  int hi[3];
  uint64_t count;
};

uint32_t CellIndex(int r, int g, int b) { return static_cast<uint32_t>(b * 1024 + g * 32 + r); }

uint64_t CountBox(const std::vector<uint32_t>& histogram, const Box& box) {
  uint64_t count = 0;
  for (int b = box.lo[2]; b <= box.hi[2]; ++b)
    for (int g = box.lo[1]; g <= box.hi[1]; ++g)
      for (int r = box.lo[0]; r <= box.hi[0]; ++r) count += histogram[CellIndex(r, g, b)];
  return count;
}

// Splits box along its longest side (green before red before blue on equal lengths) where the
// running count first reaches half of the box's.
void SplitBox(const std::vector<uint32_t>& histogram, const Box& box, Box& low, Box& high) {
  int side = 1;
  int longest = box.hi[1] - box.lo[1];
  if (box.hi[0] - box.lo[0] > longest) {
    side = 0;
    longest = box.hi[0] - box.lo[0];
  }
  if (box.hi[2] - box.lo[2] > longest) side = 2;
  uint64_t running = 0;
  int at = box.lo[side];
  for (; at < box.hi[side]; ++at) {
    Box slice = box;
    slice.lo[side] = slice.hi[side] = at;
    running += CountBox(histogram, slice);
    if (running * 2 >= box.count) break;
  }
  // The cut never takes the last slice, so both halves keep at least one slice.
  if (at == box.hi[side]) at = box.hi[side] - 1;
  low = box;
  high = box;
  low.hi[side] = at;
  high.lo[side] = at + 1;
  low.count = CountBox(histogram, low);
  high.count = box.count - low.count;
}

// The pixel-weighted average colour of a box (0x00RRGGBB); levels are scaled as level × 255 ÷ 31.
// The sums are exact 64-bit ones: shrinking them once a box passes 65535 pixels would not keep
// the average (a single cell of many pixels would come out far above 255).
uint32_t BoxColour(const std::vector<uint32_t>& histogram, const Box& box) {
  uint64_t sum[3] = {0, 0, 0};
  uint64_t count = 0;
  for (int b = box.lo[2]; b <= box.hi[2]; ++b)
    for (int g = box.lo[1]; g <= box.hi[1]; ++g)
      for (int r = box.lo[0]; r <= box.hi[0]; ++r) {
        const uint64_t n = histogram[CellIndex(r, g, b)];
        count += n;
        sum[0] += n * static_cast<uint64_t>(r * 255 / 31);
        sum[1] += n * static_cast<uint64_t>(g * 255 / 31);
        sum[2] += n * static_cast<uint64_t>(b * 255 / 31);
      }
  return static_cast<uint32_t>(sum[0] / count) << 16 | static_cast<uint32_t>(sum[1] / count) << 8 |
         static_cast<uint32_t>(sum[2] / count);
}

uint32_t SquaredDistance(uint32_t a, uint32_t b) {
  uint32_t d = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int diff = static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255);
    d += static_cast<uint32_t>(diff * diff);
  }
  return d;
}

}  // namespace

std::vector<uint32_t> MedianCutPalette(const ImageSurface& picture) {
  std::vector<uint32_t> histogram(32 * 32 * 32, 0);
  for (int32_t y = 0; y < picture.Height(); ++y) {
    const uint32_t* row = picture.Row(y);
    for (int32_t x = 0; x < picture.Width(); ++x) {
      const uint32_t p = row[x];
      ++histogram[CellIndex(static_cast<int>((p >> 19) & 31), static_cast<int>((p >> 11) & 31), static_cast<int>((p >> 3) & 31))];
    }
  }
  std::vector<Box> boxes{Box{{0, 0, 0}, {31, 31, 31}, static_cast<uint64_t>(picture.Width()) * static_cast<uint64_t>(std::max(0, picture.Height()))}};
  while (boxes.size() < 256) {
    // The box with the most pixels that has more than one cell; an empty one is not worth a split.
    size_t best = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
      const Box& b = boxes[i];
      const bool single = b.lo[0] == b.hi[0] && b.lo[1] == b.hi[1] && b.lo[2] == b.hi[2];
      if (!single && b.count > 0 && (best == boxes.size() || b.count > boxes[best].count)) best = i;
    }
    if (best == boxes.size()) break;
    Box low{}, high{};
    SplitBox(histogram, boxes[best], low, high);
    boxes[best] = low;
    boxes.push_back(high);
  }
  // Boxes that no pixel falls in would only be entries nothing uses.
  std::vector<uint32_t> palette;
  for (const Box& box : boxes)
    if (box.count > 0) palette.push_back(BoxColour(histogram, box));
  std::stable_sort(palette.begin(), palette.end(), [](uint32_t a, uint32_t b) {
    auto sum = [](uint32_t c) { return (c >> 16 & 255) + (c >> 8 & 255) + (c & 255); };
    return sum(a) < sum(b);
  });
  return palette;
}

int32_t WriteBitmap256(const std::string& path, const ImageSurface& picture) {
  const int32_t width = picture.Width();
  const int32_t height = picture.Height();
  if (picture.Bits() == nullptr || width < 1 || height < 1) return -1;
  const uint64_t stride = (static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
  const uint64_t imageSize = stride * static_cast<uint64_t>(height);
  constexpr uint32_t kPixelOffset = 14 + 40 + 1024;
  if (kPixelOffset + imageSize > UINT32_MAX) return -1;
  const std::vector<uint32_t> palette = MedianCutPalette(picture);

  // Nearest entry per colour, remembered for the colours met so far (pictures repeat colours).
  std::vector<int16_t> nearest(size_t{1} << 24, -1);
  auto lookup = [&](uint32_t colour) {
    colour &= 0x00FFFFFFu;
    int16_t& slot = nearest[colour];
    if (slot < 0) {
      uint32_t best = UINT32_MAX;
      for (size_t i = 0; i < palette.size(); ++i) {
        const uint32_t d = SquaredDistance(colour, palette[i]);
        if (d < best) {
          best = d;
          slot = static_cast<int16_t>(i);
        }
      }
    }
    return static_cast<uint8_t>(slot);
  };

  FileWriter out(kWriteBuffer);
  if (!out.TryCreate(path)) return -1;
  try {
    WriteHeaders(out, width, height, 8, kPixelOffset, static_cast<uint32_t>(imageSize), 256);
    for (size_t i = 0; i < 256; ++i) out.WriteU32(i < palette.size() ? palette[i] : 0);
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int32_t written = 0; written < height; ++written) {
      const uint32_t* pixels = picture.Row(height - 1 - written);
      for (int32_t x = 0; x < width; ++x) row[static_cast<size_t>(x)] = lookup(pixels[x]);
      out.Write(row.data(), row.size());
    }
    out.Commit();
  } catch (const FileError&) {
    return -1;
  }
  return 0;
}

uint64_t DibRowBytes(int32_t width, int32_t bitCount) {
  if (width < 1 || !KnownDepth(bitCount)) return 0;
  const uint64_t bytes = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount) + 7) / 8;
  return (bytes + 3) & ~uint64_t{3};
}

int32_t SurfaceFromDib(const VarnelBitmapInfoHeader& header, const uint32_t* palette, size_t paletteCount,
                       const uint8_t* bits, ImageSurface& surface) {
  const int32_t width = header.biWidth;
  const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
  const uint64_t rowBytes = DibRowBytes(width, header.biBitCount);
  if (rowBytes == 0 || height < 1 || height > INT32_MAX || header.biCompression != 0 || bits == nullptr) return -1;
  if (surface.CreateUnfilled({width, static_cast<int32_t>(height)}) != 0) return -1;
  if (header.biBitCount > 8) paletteCount = 0;
  for (int64_t i = 0; i < height; ++i) {
    // Stored rows run bottom-up unless the height is negative.
    const int32_t y = static_cast<int32_t>(header.biHeight > 0 ? height - 1 - i : i);
    ConvertRow(bits + static_cast<uint64_t>(i) * rowBytes, header.biBitCount, width, palette, paletteCount,
               surface.Row(y));
  }
  return 0;
}

void MakeOpaqueWhenAlphaUnused(ImageSurface& surface) {
  const int32_t width = surface.Width(), height = surface.Height();
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* row = surface.Row(y);
    for (int32_t x = 0; x < width; ++x)
      if ((row[x] >> 24) != 0) return;
  }
  for (int32_t y = 0; y < height; ++y) {
    uint32_t* row = surface.Row(y);
    for (int32_t x = 0; x < width; ++x) row[x] |= 0xFF000000u;
  }
}

int32_t ReadBitmapFile(const std::string& path, ImageSurface& surface, std::string& message) {
  Debug("Reading Bitmap");
  FileReader in;
  uint8_t head[kHeadersSize];
  // A missing or unreadable file is not a file of the wrong kind.
  if (!in.Open(path)) {
    message = kCannotOpenBitmap;
    return -1;
  }
  if (!in.ReadExact(head, sizeof head) || head[0] != 'B' || head[1] != 'M') {
    message = kNotABitmap;
    return -1;
  }
  VarnelBitmapInfoHeader header{};
  std::memcpy(&header, head + 14, sizeof header);
  const uint32_t pixelOffset = LoadU32(head + 10);
  Debug("w %d h %d", header.biWidth, header.biHeight);
  Debug("BitCount %d clrused %d", header.biBitCount, header.biClrUsed);
  if (header.biBitCount == 0 || header.biWidth == 0 || header.biHeight == 0) {
    message = kNotABitmap;
    return -1;
  }
  if (header.biCompression != 0) {
    message = kCompressedBitmap;
    return -1;
  }
  const uint64_t rowBytes = DibRowBytes(header.biWidth, header.biBitCount);
  if (rowBytes == 0 || header.biHeight == INT32_MIN) {
    message = kNotABitmap;
    return -1;
  }
  Debug("scw %d", static_cast<int64_t>(rowBytes));
  // Larger information headers (the later bitmap versions) come before the palette.
  const uint64_t headerEnd = 14 + std::max<uint64_t>(40, header.biSize);
  in.Skip(headerEnd - kHeadersSize);

  std::vector<uint32_t> palette;
  uint64_t paletteBytes = 0;
  if (header.biBitCount <= 8) {
    paletteBytes = header.biClrUsed != 0 ? uint64_t{4} * header.biClrUsed : uint64_t{4} << header.biBitCount;
    if (paletteBytes > in.Remaining()) {
      message = kPaletteUnreadable;
      return -1;
    }
    palette.resize(static_cast<size_t>(paletteBytes / 4));
    if (!in.ReadExact(palette.data(), static_cast<size_t>(paletteBytes))) {
      message = kPaletteUnreadable;
      return -1;
    }
    for (uint32_t& entry : palette) entry = LoadU32(reinterpret_cast<const uint8_t*>(&entry));
  }
  if (pixelOffset > headerEnd + paletteBytes) in.Skip(pixelOffset - headerEnd - paletteBytes);

  const uint64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
  const uint64_t dataBytes = rowBytes * height;
  Debug("data section %d bytes", static_cast<int64_t>(std::min<uint64_t>(dataBytes, INT32_MAX)));
  // The file must hold the pixels before any memory is taken for them.
  if (dataBytes > in.Remaining()) {
    message = kDataUnreadable;
    return -1;
  }
  std::vector<uint8_t> data(static_cast<size_t>(dataBytes));
  if (!in.ReadExact(data.data(), data.size()) ||
      SurfaceFromDib(header, palette.data(), palette.size(), data.data(), surface) != 0) {
    message = kDataUnreadable;
    return -1;
  }
  if (header.biBitCount == 32) MakeOpaqueWhenAlphaUnused(surface);
  return 0;
}

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
    WriteHeaders(out, width, height, 24, kHeadersSize, static_cast<uint32_t>(imageSize), 0);

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

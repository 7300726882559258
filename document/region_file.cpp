// The region file (".vrd"): little-endian, "VRDB" then tagged blocks (4-byte tag, 4-byte body
// size, body). Saving writes "VRVC" (version "0001"), "VRDH" (left, top, right, bottom, inclusive)
// and "VRDD" (the mask bytes, top row first), in that order.

#include "document/region_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/file_io.h"

namespace varnel {
namespace {

constexpr char kMagic[4] = {'V', 'R', 'D', 'B'};
constexpr char kVersionTag[4] = {'V', 'R', 'V', 'C'};
constexpr char kHeaderTag[4] = {'V', 'R', 'D', 'H'};
constexpr char kDataTag[4] = {'V', 'R', 'D', 'D'};
constexpr char kVersion[4] = {'0', '0', '0', '1'};
constexpr uint32_t kHeaderSize = 16;
// A side may span at most 65536 pixels, so right - left may be at most this.
constexpr int64_t kMaxSpan = Region::kMaxExtent - 1;
// The mask body is streamed in pieces this big: its stated size comes from the file and must
// not decide how much memory is taken.
constexpr size_t kChunk = 64 * 1024;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char (&tag)[4], uint32_t size) {
  out.insert(out.end(), tag, tag + 4);
  PutU32(out, size);
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool SameTag(const uint8_t* p, const char (&tag)[4]) { return std::memcmp(p, tag, 4) == 0; }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads exactly size bytes; false when the file ends first.
bool ReadExact(std::FILE* f, void* buffer, size_t size) { return std::fread(buffer, 1, size, f) == size; }

// Moves forward over size bytes. Seeking past the end is allowed; the next read then finds
// nothing and ends the file normally.
bool Skip(std::FILE* f, uint64_t size) {
  return std::fseek(f, static_cast<long>(size), SEEK_CUR) == 0;
}

// Reads a "VRDD" body of size bytes into region: row by row from the top, left to right, one
// byte per pixel, storing only non-zero bytes so that pages of a large fresh mask stay untouched.
// False when the file ended inside the body.
bool ReadMaskBody(std::FILE* f, uint32_t size, Region& region) {
  const uint64_t width = static_cast<uint64_t>(region.Width());
  const uint64_t pixels = width * static_cast<uint64_t>(region.Height());
  const uint64_t used = std::min<uint64_t>(size, pixels);
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(used, kChunk)));
  uint64_t index = 0;
  while (index < used) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(used - index, kChunk));
    const size_t got = std::fread(chunk.data(), 1, want, f);
    for (size_t at = 0; at < got;) {
      const uint64_t pixel = index + at;
      const int32_t row = static_cast<int32_t>(pixel / width);
      const uint64_t column = pixel % width;
      const size_t run = static_cast<size_t>(std::min<uint64_t>(width - column, got - at));
      uint8_t* target = region.Row(row) + column;
      for (size_t i = 0; i < run; ++i) {
        if (chunk[at + i] != 0) target[i] = chunk[at + i];
      }
      at += run;
    }
    if (got < want) return false;
    index += got;
  }
  // Bytes beyond the rectangle carry nothing.
  return Skip(f, size - used);
}

}  // namespace

int32_t SaveRegionFile(const std::string& path, const Region& region) {
  const int32_t width = region.IsEmpty() ? 0 : region.Width();
  const int32_t height = region.IsEmpty() ? 0 : region.Height();
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > UINT32_MAX) return -1;  // the block size field cannot hold it

  std::vector<uint8_t> head;
  head.insert(head.end(), kMagic, kMagic + 4);
  PutTag(head, kVersionTag, 4);
  head.insert(head.end(), kVersion, kVersion + 4);
  PutTag(head, kHeaderTag, kHeaderSize);
  // An empty region keeps its zero rectangle with no mask bytes at all: a 1 × 1 body would
  // invent a pixel. Reading it back gives a 1 × 1 region holding 0, which trims to empty.
  const Rect bounds = region.IsEmpty() ? Rect{} : region.Bounds();
  PutU32(head, static_cast<uint32_t>(bounds.left));
  PutU32(head, static_cast<uint32_t>(bounds.top));
  PutU32(head, static_cast<uint32_t>(bounds.right));
  PutU32(head, static_cast<uint32_t>(bounds.bottom));
  PutTag(head, kDataTag, static_cast<uint32_t>(pixels));

  FileWriter out;
  if (!out.TryCreate(path)) return -1;
  try {
    out.Write(head.data(), head.size());
    for (int32_t r = 0; r < height; ++r) out.Write(region.Row(r), static_cast<size_t>(width));
    out.Commit();
  } catch (const FileError&) {
    return -1;
  }
  return 0;
}

int32_t LoadRegionFile(const std::string& path, Region& region) {
  region.Clear();
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return -1;
  std::FILE* f = file.get();

  uint8_t magic[4];
  if (!ReadExact(f, magic, 4) || !SameTag(magic, kMagic)) return -1;

  bool haveHeader = false;
  for (;;) {
    // A tag or size cut short is the normal end of the file.
    uint8_t block[8];
    if (!ReadExact(f, block, 8)) return 0;
    const uint32_t size = GetU32(block + 4);

    if (SameTag(block, kVersionTag)) {
      if (size != 4) return -1;
      uint8_t version[4];  // any version reads the same
      if (!ReadExact(f, version, 4)) return 0;
    } else if (SameTag(block, kHeaderTag)) {
      // The rectangle is always 16 bytes whatever the size field says.
      uint8_t body[kHeaderSize];
      if (!ReadExact(f, body, kHeaderSize)) return 0;
      int64_t left = static_cast<int32_t>(GetU32(body));
      int64_t top = static_cast<int32_t>(GetU32(body + 4));
      int64_t right = static_cast<int32_t>(GetU32(body + 8));
      int64_t bottom = static_cast<int32_t>(GetU32(body + 12));
      if (left > right) std::swap(left, right);
      if (top > bottom) std::swap(top, bottom);
      if (right - left > kMaxSpan || bottom - top > kMaxSpan) return -1;
      const Rect rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                      static_cast<int32_t>(bottom)};
      if (region.Create(rect, 0) != 0) return -1;
      haveHeader = true;
    } else if (SameTag(block, kDataTag) && haveHeader) {
      if (!ReadMaskBody(f, size, region)) return 0;
    } else {
      // Unknown blocks, and a mask before any rectangle, are passed over.
      if (!Skip(f, size)) return 0;
    }
  }
}

}  // namespace varnel

// The OpenRaster plug-in's own PNG writer, read back through libpng: every picture comes back
// byte for byte, whatever path its blocks took (runs, literals under a length-limited code,
// stored blocks, rows longer than a block), and painted pictures shrink.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "plugins/ora/ora_png.h"

namespace varnel {
namespace {

using Pixels = std::vector<uint8_t>;  // BGRA, bottom row first

struct Case {
  std::string name;
  uint32_t width;
  uint32_t height;
  std::function<Pixels(uint32_t, uint32_t)> make;
};

Pixels Filled(uint32_t width, uint32_t height, uint32_t bgra) {
  Pixels p(size_t{width} * height * 4);
  for (size_t i = 0; i < p.size(); i += 4) std::memcpy(&p[i], &bgra, 4);
  return p;
}

Pixels Noise(uint32_t width, uint32_t height) {
  std::mt19937 random(11);
  Pixels p(size_t{width} * height * 4);
  for (auto& b : p) b = static_cast<uint8_t>(random());
  return p;
}

// Soft discs of colour with ±2 grain on transparency, as a painted layer looks.
Pixels Painted(uint32_t width, uint32_t height) {
  std::mt19937 random(3);
  Pixels p(size_t{width} * height * 4, 0);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const double dx = x - width / 2.0, dy = y - height / 2.0, r = width / 3.0;
      const double d = (dx * dx + dy * dy) / (r * r);
      if (d >= 1) continue;
      uint8_t* px = &p[(size_t{y} * width + x) * 4];
      px[0] = static_cast<uint8_t>(100 + random() % 5);
      px[1] = static_cast<uint8_t>(y / 4 + random() % 5);
      px[2] = static_cast<uint8_t>(x / 4);
      px[3] = static_cast<uint8_t>(255 * (1 - d));
    }
  return p;
}

// The pixels whose Sub-filtered bytes (R, G, B, A order, no filter byte) are the given ones:
// running sums along each row, stored as B, G, R, A.
Pixels FromFiltered(const std::vector<uint8_t>& bytes, uint32_t width, uint32_t height) {
  Pixels p(size_t{width} * height * 4);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t left[4] = {0, 0, 0, 0};
    for (uint32_t x = 0; x < width; ++x)
      for (size_t c = 0; c < 4; ++c) {
        const size_t at = (size_t{y} * width + x) * 4;
        left[c] = static_cast<uint8_t>(left[c] + bytes[at + c]);
        p[at + (c == 0 ? 2 : c == 2 ? 0 : c)] = left[c];
      }
  }
  return p;
}

// Filtered runs of every length around the 258-byte match limit and the 3-byte minimum, each of
// a byte other than its neighbours', so matches must split with no tail shorter than a match.
Pixels Runs(uint32_t width, uint32_t height) {
  std::vector<uint8_t> bytes(size_t{width} * height * 4, 0);
  size_t at = 0;
  uint8_t value = 1;
  for (size_t length : {1, 2, 3, 4, 5, 258, 259, 260, 261, 262, 516, 517, 518, 519, 775, 1000}) {
    for (size_t i = 0; i < length && at < bytes.size(); ++i) bytes[at++] = value;
    value = static_cast<uint8_t>(value * 7 + 3);
  }
  return FromFiltered(bytes, width, height);
}

// Filtered bytes with Fibonacci counts (1, 1, 2, 3, 5, ...): an unlimited Huffman code for them
// would need codes of over 20 bits, so the writer's limit of 15 must hold.
Pixels Skewed(uint32_t width, uint32_t height) {
  std::vector<uint8_t> bytes;
  uint32_t a = 1, b = 1;
  for (uint8_t symbol = 0; symbol < 25; ++symbol) {
    bytes.insert(bytes.end(), a, static_cast<uint8_t>(symbol * 9 + 2));
    const uint32_t next = a + b;
    a = b;
    b = next;
  }
  bytes.resize(size_t{width} * height * 4, 255);
  std::shuffle(bytes.begin(), bytes.end(), std::mt19937(5));
  return FromFiltered(bytes, width, height);
}

const Case kCases[] = {
    {"one transparent pixel", 1, 1, [](uint32_t w, uint32_t h) { return Filled(w, h, 0); }},
    {"one opaque pixel", 1, 1, [](uint32_t w, uint32_t h) { return Filled(w, h, 0xFF102030u); }},
    {"widths around four pixels", 5, 3, Noise},
    {"a seventeen-pixel row", 17, 2, Painted},
    {"transparent rows that make one run", 64, 64, [](uint32_t w, uint32_t h) { return Filled(w, h, 0); }},
    {"one colour all over", 300, 7, [](uint32_t w, uint32_t h) { return Filled(w, h, 0x80FF4020u); }},
    {"noise, stored", 257, 129, Noise},
    {"runs around the match limits", 1024, 3, Runs},
    {"a code that must be length-limited", 1024, 30, Skewed},
    {"painted, many blocks", 700, 500, Painted},
    {"rows longer than a block", 70000, 3, Painted},
};

class OraPngWriter : public ::testing::TestWithParam<Case> {};

TEST_P(OraPngWriter, LibpngReadsBackEveryByte) {
  const Case& c = GetParam();
  const Pixels pixels = c.make(c.width, c.height);
  OraBuffer png{};
  ASSERT_EQ(OraPngWrite(pixels.data(), c.width, c.height, &png), 0);
  uint32_t width = 0, height = 0;
  unsigned char* decoded = nullptr;
  const int result = OraPngDecode(png.data, png.size, uint64_t{1} << 32, &width, &height, &decoded);
  OraBufferFree(&png);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(width, c.width);
  EXPECT_EQ(height, c.height);
  EXPECT_EQ(std::memcmp(decoded, pixels.data(), pixels.size()), 0);
  std::free(decoded);
}

INSTANTIATE_TEST_SUITE_P(Pictures, OraPngWriter, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name;
  for (char ch : info.param.name) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

TEST(OraPngWriteSize, PaintedPicturesShrinkAndNoiseGrowsByLittle) {
  const struct {
    Pixels pixels;
    double atMost;  // of the raw bytes
  } cases[] = {
      {Filled(1024, 1024, 0), 0.002},
      {Painted(1024, 1024), 0.35},
      {Noise(512, 512), 1.01},
  };
  for (const auto& c : cases) {
    const uint32_t side = c.pixels.size() == size_t{512} * 512 * 4 ? 512 : 1024;
    OraBuffer png{};
    ASSERT_EQ(OraPngWrite(c.pixels.data(), side, side, &png), 0);
    EXPECT_LE(static_cast<double>(png.size), c.atMost * static_cast<double>(c.pixels.size())) << side;
    OraBufferFree(&png);
  }
}

TEST(OraPngWriteSize, NoPictureIsRefusedAndLeavesTheBufferEmpty) {
  const uint8_t pixel[4] = {1, 2, 3, 4};
  OraBuffer png{};
  EXPECT_EQ(OraPngWrite(nullptr, 1, 1, &png), -1);
  EXPECT_EQ(OraPngWrite(pixel, 0, 1, &png), -1);
  EXPECT_EQ(OraPngWrite(pixel, 1, 0, &png), -1);
  EXPECT_EQ(png.data, nullptr);
  EXPECT_EQ(png.size, 0u);
}

}  // namespace
}  // namespace varnel

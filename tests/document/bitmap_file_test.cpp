// The built-in bitmap reader for every uncompressed depth, its refusals, and the 256-colour
// writer with its median-cut palette.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "document/bitmap_file.h"
#include "document/picture_loader.h"
#include "platform/host.h"
#include "test_files.h"

namespace varnel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// File header and information header of a bitmap whose pixel data starts at offset.
Bytes Headers(int32_t w, int32_t h, uint16_t bits, uint32_t offset, uint32_t used = 0, uint32_t compression = 0) {
  Bytes b;
  b.Raw("BM").U32(0).U16(0).U16(0).U32(offset);
  b.U32(40).I32(w).I32(h).U16(1).U16(bits).U32(compression).U32(0).U32(0).U32(0).U32(used).U32(0);
  return b;
}

std::vector<uint32_t> Pixels(const ImageSurface& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y) out.insert(out.end(), s.Row(y), s.Row(y) + s.Width());
  return out;
}

class BitmapReadTest : public ::testing::Test {
 protected:
  TempFolder folder;
  RecordingHost host;
  ScopedHost scoped{host};

  // Reads bytes as a bitmap; the pixels rows top first, or the refusal's message.
  int32_t Read(const Bytes& bytes, std::vector<uint32_t>& pixels, std::string& message, Size* size = nullptr) {
    const std::string path = folder.File("x.bmp");
    WriteBytes(path, bytes.data);
    ImageSurface surface;
    const int32_t result = ReadBitmapFile(path, surface, message);
    if (result == 0) {
      pixels = Pixels(surface);
      if (size) *size = surface.GetSize();
    }
    return result;
  }
};

struct DepthCase {
  std::string what;
  Bytes file;
  Size size;
  std::vector<uint32_t> pixels;  // rows top first
};

std::vector<DepthCase> DepthCases() {
  std::vector<DepthCase> cases;
  const uint32_t e0 = 0xFF1E140A, e1 = 0xFF3264C8;  // palette entries (B,G,R) = (10,20,30), (200,100,50)
  {
    Bytes b = Headers(3, 2, 1, 54 + 8);
    b.U8(10).U8(20).U8(30).U8(0).U8(200).U8(100).U8(50).U8(0);
    b.U8(0xA0).Zeros(3);  // bottom row: 1 0 1
    b.U8(0x60).Zeros(3);  // top row: 0 1 1
    cases.push_back({"1 bit", b, {3, 2}, {e0, e1, e1, e1, e0, e1}});
  }
  {
    Bytes b = Headers(2, 1, 2, 54 + 16);
    b.U8(1).U8(2).U8(3).U8(0).U8(4).U8(5).U8(6).U8(0).U8(7).U8(8).U8(9).U8(0).U8(10).U8(11).U8(12).U8(0);
    b.U8(0xE0).Zeros(3);  // indices 3, 2
    cases.push_back({"2 bits", b, {2, 1}, {0xFF0C0B0A, 0xFF090807}});
  }
  {
    Bytes b = Headers(3, 1, 4, 54 + 12, 3);  // three used colours; index 15 lies beyond them
    b.U8(1).U8(1).U8(1).U8(0).U8(2).U8(2).U8(2).U8(0).U8(0x33).U8(0x22).U8(0x11).U8(0);
    b.U8(0x02).U8(0xF0).Zeros(2);
    cases.push_back({"4 bits, index beyond the palette", b, {3, 1}, {0xFF010101, 0xFF112233, 0xFF000000}});
  }
  {
    Bytes b = Headers(2, 2, 8, 54 + 1024 + 6);  // six bytes between palette and pixels
    for (int i = 0; i < 256; ++i) b.U8(static_cast<uint8_t>(i)).U8(0).U8(static_cast<uint8_t>(255 - i)).U8(0);
    b.Raw("junk!!");
    b.U8(0).U8(1).Zeros(2);    // bottom
    b.U8(255).U8(7).Zeros(2);  // top
    cases.push_back({"8 bits with a gap", b, {2, 2}, {0xFF0000FF, 0xFFF80007, 0xFFFF0000, 0xFFFE0001}});
  }
  {
    Bytes b = Headers(3, 1, 16, 54);
    b.U16(0x7FFF).U16(0x001F).U16(0x4210).Zeros(2);
    cases.push_back({"16 bits", b, {3, 1}, {0xFFFFFFFF, 0xFF0000FF, 0xFF848484}});
  }
  {
    Bytes b = Headers(1, 2, 24, 54);
    b.U8(1).U8(2).U8(3).Zeros(1);  // bottom
    b.U8(4).U8(5).U8(6).Zeros(1);  // top
    cases.push_back({"24 bits", b, {1, 2}, {0xFF060504, 0xFF030201}});
  }
  {
    Bytes b = Headers(1, -2, 24, 54);  // top-down
    b.U8(1).U8(2).U8(3).Zeros(1);
    b.U8(4).U8(5).U8(6).Zeros(1);
    cases.push_back({"24 bits top-down", b, {1, 2}, {0xFF030201, 0xFF060504}});
  }
  {
    Bytes b = Headers(2, 1, 32, 54);
    b.U32(0x80112233).U32(0x00FFFFFF);
    cases.push_back({"32 bits keep alpha", b, {2, 1}, {0x80112233, 0x00FFFFFF}});
  }
  {
    // The fourth byte as almost every other program writes it: unused, so the picture is opaque.
    Bytes b = Headers(2, 1, 32, 54);
    b.U32(0x00112233).U32(0x00FFFFFF);
    cases.push_back({"32 bits with no alpha in use", b, {2, 1}, {0xFF112233, 0xFFFFFFFF}});
  }
  return cases;
}

TEST_F(BitmapReadTest, EveryDepthConvertsToThirtyTwoBits) {
  for (const DepthCase& c : DepthCases()) {
    std::vector<uint32_t> pixels;
    std::string message;
    Size size{};
    ASSERT_EQ(Read(c.file, pixels, message, &size), 0) << c.what << ": " << message;
    EXPECT_EQ(size, c.size) << c.what;
    EXPECT_EQ(pixels, c.pixels) << c.what;
  }
}

TEST_F(BitmapReadTest, ReportsItsProgressOnTheDebugConsole) {
  std::vector<uint32_t> pixels;
  std::string message;
  ASSERT_EQ(Read(DepthCases()[0].file, pixels, message), 0);
  std::vector<std::string> lines;
  for (const auto& d : host.debugMessages) lines.push_back(d.text);
  EXPECT_EQ(lines, (std::vector<std::string>{"Reading Bitmap", "w 3 h 2", "BitCount 1 clrused 0", "scw 4",
                                             "data section 8 bytes"}));
}

TEST_F(BitmapReadTest, RefusalsNameTheirReason) {
  struct Case {
    std::string what;
    Bytes file;
    const char* message;
  };
  Bytes notBm = Headers(1, 1, 24, 54);
  notBm.data[0] = 'X';
  notBm.Zeros(4);
  Bytes shortHeader = Headers(1, 1, 24, 54);
  shortHeader.data.resize(50);
  Bytes shortPalette = Headers(1, 1, 8, 54 + 1024);
  shortPalette.Zeros(100);
  Bytes shortData = Headers(4, 4, 24, 54);
  shortData.Zeros(47);  // 48 needed
  Bytes huge = Headers(30000, 30000, 32, 54);
  huge.Zeros(64);
  Bytes hugePalette = Headers(1, 1, 8, 54, 0x40000000);
  hugePalette.Zeros(8);
  std::vector<Case> cases = {
      {"not BM", notBm, kNotABitmap},
      {"header cut short", shortHeader, kNotABitmap},
      {"zero width", Headers(0, 1, 24, 54).Zeros(4), kNotABitmap},
      {"zero height", Headers(1, 0, 24, 54).Zeros(4), kNotABitmap},
      {"zero bit count", Headers(1, 1, 0, 54).Zeros(4), kNotABitmap},
      {"bit count 3", Headers(1, 1, 3, 54).Zeros(40), kNotABitmap},
      {"negative width", Headers(-1, 1, 24, 54).Zeros(4), kNotABitmap},
      {"run-length compressed", Headers(1, 1, 8, 54 + 1024, 0, 1).Zeros(1100), kCompressedBitmap},
      {"palette cut short", shortPalette, kPaletteUnreadable},
      {"palette larger than the file", hugePalette, kPaletteUnreadable},
      {"pixels cut short", shortData, kDataUnreadable},
      {"pixels the file does not hold", huge, kDataUnreadable},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> pixels;
    std::string message;
    EXPECT_EQ(Read(c.file, pixels, message), -1) << c.what;
    EXPECT_EQ(message, c.message) << c.what;
  }
  ImageSurface surface;
  std::string message;
  EXPECT_EQ(ReadBitmapFile(folder.File("missing.bmp"), surface, message), -1);
  EXPECT_EQ(message, kCannotOpenBitmap);
}

TEST_F(BitmapReadTest, WrittenBitmapsReadBackWithoutAlpha) {
  ImageSurface picture;
  ASSERT_EQ(picture.Create({5, 3}), 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) picture.Row(y)[x] = 0x10000000u * static_cast<uint32_t>(x) + 0x00010203u * static_cast<uint32_t>(y * 5 + x);
  ASSERT_EQ(WriteBitmap24(folder.File("w.bmp"), picture), 0);
  ImageSurface back;
  std::string message;
  ASSERT_EQ(ReadBitmapFile(folder.File("w.bmp"), back, message), 0);
  std::vector<uint32_t> expected = Pixels(picture);
  for (uint32_t& p : expected) p |= 0xFF000000u;
  EXPECT_EQ(Pixels(back), expected);
}

// ------------------------------------------------------------------------------------------
// 256 colours

ImageSurface& Paint(ImageSurface& s, Size size, const std::vector<uint32_t>& pixels) {
  EXPECT_EQ(s.Create(size), 0);
  for (int32_t y = 0; y < size.height; ++y)
    for (int32_t x = 0; x < size.width; ++x) s.Row(y)[x] = pixels[static_cast<size_t>(y * size.width + x)];
  return s;
}

TEST(MedianCut, TwoColoursGiveTheirTwoCellsSortedStably) {
  // Three red pixels, one blue: the cuts end with the red cell before the blue one, and both
  // sums are 255, so the sort keeps that order.
  ImageSurface s;
  Paint(s, {2, 2}, {0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFFFF0000});
  EXPECT_EQ(MedianCutPalette(s), (std::vector<uint32_t>{0x00FF0000, 0x000000FF}));
}

TEST(MedianCut, CellLevelsScaleBy255Over31AndSortBySum) {
  // Reds 8 and 16 fall in cells 1 and 2: levels 1 × 255 ÷ 31 = 8 and 2 × 255 ÷ 31 = 16.
  ImageSurface s;
  Paint(s, {4, 1}, {0xFF100000, 0xFF080000, 0xFF100000, 0xFF100000});
  EXPECT_EQ(MedianCutPalette(s), (std::vector<uint32_t>{0x00080000, 0x00100000}));
}

TEST(MedianCut, ManyColoursFillAll256EntriesInSumOrder) {
  ImageSurface s;
  std::vector<uint32_t> pixels;
  for (uint32_t i = 0; i < 4096; ++i) pixels.push_back(0xFF000000u | (i * 2654435761u & 0x00FFFFFFu));
  Paint(s, {64, 64}, pixels);
  const std::vector<uint32_t> palette = MedianCutPalette(s);
  ASSERT_EQ(palette.size(), 256u);
  auto sum = [](uint32_t c) { return (c >> 16 & 255) + (c >> 8 & 255) + (c & 255); };
  EXPECT_TRUE(std::is_sorted(palette.begin(), palette.end(), [&](uint32_t a, uint32_t b) { return sum(a) < sum(b); }));
}

TEST(Bitmap256, WritesHeadersPaletteAndNearestIndices) {
  TempFolder folder;
  ImageSurface s;
  // Red, blue, and a dark red that is nearer red than blue.
  Paint(s, {3, 1}, {0xFFFF0000, 0xFF0000FF, 0xFFC00000});
  const std::vector<uint32_t> palette = MedianCutPalette(s);
  ASSERT_EQ(WriteBitmap256(folder.File("p.bmp"), s), 0);
  Bytes expected;
  expected.Raw("BM").U32(1078 + 4).U16(0).U16(0).U32(1078);
  expected.U32(40).I32(3).I32(1).U16(1).U16(8).U32(0).U32(4).U32(0).U32(0).U32(256).U32(0);
  for (size_t i = 0; i < 256; ++i) expected.U32(i < palette.size() ? palette[i] : 0);
  auto index = [&](uint32_t colour) {
    return static_cast<uint8_t>(std::find(palette.begin(), palette.end(), colour) - palette.begin());
  };
  ASSERT_EQ(palette.size(), 3u);  // three cells: red 31, red 24, blue 31
  expected.U8(index(0x00FF0000)).U8(index(0x000000FF)).U8(index(0x00C50000)).Zeros(1);
  EXPECT_EQ(ReadBytes(folder.File("p.bmp")), expected.data);
  // And it reads back through the palette.
  ImageSurface back;
  std::string message;
  ASSERT_EQ(ReadBitmapFile(folder.File("p.bmp"), back, message), 0);
  EXPECT_EQ(Pixels(back), (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF, 0xFFC50000}));
}

// Pictures from plug-ins: a fourth byte of 0 everywhere is no alpha unless the plug-in says its
// pictures have alpha (a colour depth of 32).
TEST(PluginPictures, ThirtyTwoBitsWithoutAlphaInUseAreOpaqueUnlessThePlugInDeclaresAlpha) {
  for (const bool declares : {false, true}) {
    TempFolder folder;
    std::filesystem::copy_file(std::string(ALPHA_PLUGIN_DIR) + "/alpha_plugin_" + (declares ? "1" : "0") + ".spi",
                               folder.File("alpha.spi"));
    setenv("VARNEL_HOME", folder.Path().c_str(), 1);
    WriteBytes(folder.File("p.zeroalpha"), {0});
    ImageSurface picture;
    std::string message;
    ASSERT_EQ(LoadPicture(folder.File("p.zeroalpha"), picture, message), 0) << declares;
    const uint32_t alpha = declares ? 0x00000000u : 0xFF000000u;
    EXPECT_EQ(Pixels(picture), (std::vector<uint32_t>{alpha | 0x112233u, alpha | 0x445566u})) << declares;
    ReleasePictureLoaders();
    unsetenv("VARNEL_HOME");
  }
}

}  // namespace
}  // namespace varnel

// Windows bitmaps against another program (PIL): bitmaps it writes in every depth it can
// write read exactly through the built-in reader, and the 24-bit and 256-colour bitmaps the
// save commands write read back in PIL as written.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "document/bitmap_file.h"
#include "tests/document/test_files.h"
#include "tests/plugins/plugin_loader.h"

namespace varnel {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr int32_t kWidth = 13;  // odd, so every depth pads its rows
constexpr int32_t kHeight = 5;

class BitmapPilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::PythonWithPil().empty()) GTEST_SKIP() << "python3 with PIL (python3-pil) is not installed";
  }
  TempFolder folder;
};

// The pixels of a surface as top-down RGBA bytes.
std::vector<uint8_t> Rgba(const ImageSurface& s) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) {
      const uint32_t p = s.Row(y)[x];
      out.insert(out.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                             static_cast<uint8_t>(p >> 24)});
    }
  return out;
}

TEST_F(BitmapPilTest, BitmapsPilWritesReadExactly) {
  struct Case {
    std::string mode;  // PIL's mode, which decides the depth it writes
    size_t bytesPerPixel;
  };
  for (const Case& c : {Case{"1", 0}, Case{"L", 1}, Case{"P", 1}, Case{"RGB", 3}, Case{"RGBA", 4}}) {
    std::vector<uint8_t> raw;
    if (c.mode == "1") {
      const size_t rowBytes = (kWidth + 7) / 8;
      for (int32_t y = 0; y < kHeight; ++y)
        for (size_t b = 0; b < rowBytes; ++b) raw.push_back(static_cast<uint8_t>(0x5A ^ (y * 37 + b * 11)));
    } else {
      for (int32_t i = 0; i < kWidth * kHeight * static_cast<int32_t>(c.bytesPerPixel); ++i)
        raw.push_back(static_cast<uint8_t>(i * 29 + 7));
    }
    WriteBytes(folder.File("in.raw"), raw);
    std::vector<std::string> arguments = {"encode", c.mode, std::to_string(kWidth), std::to_string(kHeight),
                                          folder.File("in.raw"), folder.File("pil.bmp"), "BMP"};
    if (c.mode == "P") {
      std::vector<uint8_t> palette;
      for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
      WriteBytes(folder.File("palette.raw"), palette);
      arguments.push_back("palette=" + folder.File("palette.raw"));
    }
    ASSERT_EQ(test::RunPil(arguments), "") << c.mode;
    // PIL's own reading of its file is the expectation.
    ASSERT_NE(test::RunPil({"decode", folder.File("pil.bmp"), folder.File("expected.raw"), "RGBA"}).find("BMP"),
              std::string::npos);
    ImageSurface surface;
    std::string message;
    ASSERT_EQ(ReadBitmapFile(folder.File("pil.bmp"), surface, message), 0) << c.mode << ": " << message;
    EXPECT_EQ(surface.GetSize(), (Size{kWidth, kHeight})) << c.mode;
    std::vector<uint8_t> expected = ReadBytes(folder.File("expected.raw"));
    // PIL reads the fourth byte of a 32-bit bitmap as opaque; the program keeps it as alpha.
    if (c.mode == "RGBA")
      for (size_t i = 3; i < expected.size(); i += 4) expected[i] = raw[i];
    EXPECT_EQ(Rgba(surface), expected) << c.mode;
  }
}

TEST_F(BitmapPilTest, OurBitmapsReadBackInPil) {
  ImageSurface picture;
  ASSERT_EQ(picture.Create({kWidth, kHeight}), 0);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      picture.Row(y)[x] = 0xFF000000u | static_cast<uint32_t>((x * 19) << 16 | (y * 50) << 8 | (x * y * 3));
  ASSERT_EQ(WriteBitmap24(folder.File("ours24.bmp"), picture), 0);
  const std::string description = test::RunPil({"decode", folder.File("ours24.bmp"), folder.File("24.raw"), "RGBA"});
  EXPECT_EQ(description.rfind("BMP RGB 13 5", 0), 0u) << description;
  EXPECT_EQ(ReadBytes(folder.File("24.raw")), Rgba(picture));

  ASSERT_EQ(WriteBitmap256(folder.File("ours8.bmp"), picture), 0);
  const std::string eight = test::RunPil({"decode", folder.File("ours8.bmp"), folder.File("8.raw"), "RGBA"});
  EXPECT_EQ(eight.rfind("BMP P 13 5", 0), 0u) << eight;
  ImageSurface back;
  std::string message;
  ASSERT_EQ(ReadBitmapFile(folder.File("ours8.bmp"), back, message), 0);
  EXPECT_EQ(ReadBytes(folder.File("8.raw")), Rgba(back));  // PIL sees the same palette colours we do
}

}  // namespace
}  // namespace varnel

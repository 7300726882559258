// Pngport loaded from the program folder as any host loads it: PNG files of every kind written
// by another program (PIL) read into exact 32-bit pixels, files it writes read back exactly by
// that program, alpha included, and broken files refused without harm.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/document/test_files.h"
#include "tests/plugins/plugin_loader.h"

namespace varnel {
namespace {

using test::Picture;
using test::PicturePlugin;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

class PngPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin.Loaded()) << plugin.Error();
    // The plug-in's options live in the settings file: a file of the test's own.
    setenv("VARNEL_CONFIG", config.c_str(), 1);
  }
  void TearDown() override { unsetenv("VARNEL_CONFIG"); }

  // Reads a file through GetPicture; a failed read leaves picture empty.
  int Read(const std::string& path, Picture& picture, intptr_t offset = 0) {
    return plugin.getPicture(path.c_str(), offset, 0, &picture.info, &picture.bits, nullptr, 0);
  }

  PicturePlugin plugin{"Pngport.spi"};
  TempFolder folder;
  std::string config = folder.File("varnel.ini");
};

// The tests that need PIL, which setup-deps installs: skipped only where it is truly missing.
class PngWithPilTest : public PngPluginTest {
 protected:
  void SetUp() override {
    PngPluginTest::SetUp();
    if (test::PythonWithPil().empty()) GTEST_SKIP() << "python3 with PIL (python3-pil) is not installed";
  }

  // Has PIL save raw bytes as a PNG; answers the PNG's path.
  std::string PilPng(const std::string& mode, int32_t w, int32_t h, const std::vector<uint8_t>& raw,
                     const std::vector<std::string>& options = {}) {
    const std::string rawPath = folder.File("source.raw");
    const std::string out = folder.File("pil.png");
    WriteBytes(rawPath, raw);
    std::vector<std::string> arguments = {"encode", mode, std::to_string(w), std::to_string(h), rawPath, out, "PNG"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const std::string output = test::RunPil(arguments);
    EXPECT_EQ(output.rfind("error", 0), std::string::npos) << output;
    return out;
  }

  // Has PIL read a file as RGBA; answers its pixels and the first words it printed.
  std::vector<uint8_t> PilRead(const std::string& path, std::string& description) {
    const std::string out = folder.File("pil.raw");
    description = test::RunPil({"decode", path, out, "RGBA"});
    EXPECT_EQ(description.rfind("error", 0), std::string::npos) << description;
    return ReadBytes(out);
  }
};

constexpr int32_t kWidth = 13;
constexpr int32_t kHeight = 7;

uint8_t Channel(int32_t x, int32_t y, int c) { return static_cast<uint8_t>(x * 19 + y * 41 + c * 67 + (x * y) % 7); }

// What a source pixel becomes in RGBA.
struct PngCase {
  const char* name;
  const char* mode;
  std::function<std::vector<uint8_t>()> source;  // PIL's raw bytes for the mode
  std::function<std::vector<uint8_t>()> expected;
  std::vector<std::string> options;
};

std::vector<uint8_t> ForEachPixel(const std::function<std::vector<uint8_t>(int32_t, int32_t)>& f) {
  std::vector<uint8_t> bytes;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const std::vector<uint8_t> p = f(x, y);
      bytes.insert(bytes.end(), p.begin(), p.end());
    }
  return bytes;
}

uint16_t Sample16(int32_t x, int32_t y) { return static_cast<uint16_t>(x * 4099 + y * 7919 + 5); }
// 16-bit samples round to 8 bits: (v × 255 + 32767) ÷ 65535.
uint8_t To8(uint16_t v) { return static_cast<uint8_t>((v * 255u + 32767u) / 65535u); }

const uint8_t kPalette[4][3] = {{10, 20, 30}, {200, 100, 0}, {0, 255, 128}, {77, 77, 77}};
const uint8_t kPaletteAlpha[4] = {0, 100, 200, 255};
int PaletteIndex(int32_t x, int32_t y) { return (x + 2 * y) % 4; }
bool Bit(int32_t x, int32_t y) { return (x * 3 + y) % 5 < 2; }

std::vector<PngCase> PngCases() {
  return {
      {"Rgba", "RGBA",
       [] { return ForEachPixel([](int32_t x, int32_t y) { return std::vector<uint8_t>{Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2), Channel(x, y, 3)}; }); },
       [] { return ForEachPixel([](int32_t x, int32_t y) { return std::vector<uint8_t>{Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2), Channel(x, y, 3)}; }); },
       {}},
      {"RgbBecomesOpaque", "RGB",
       [] { return ForEachPixel([](int32_t x, int32_t y) { return std::vector<uint8_t>{Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2)}; }); },
       [] { return ForEachPixel([](int32_t x, int32_t y) { return std::vector<uint8_t>{Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2), 255}; }); },
       {}},
      {"GreyToAllThreeColours", "L",
       [] { return ForEachPixel([](int32_t x, int32_t y) { return std::vector<uint8_t>{Channel(x, y, 1)}; }); },
       [] { return ForEachPixel([](int32_t x, int32_t y) { const uint8_t v = Channel(x, y, 1); return std::vector<uint8_t>{v, v, v, 255}; }); },
       {}},
      {"GreyWithAlpha", "LA",
       [] { return ForEachPixel([](int32_t x, int32_t y) { return std::vector<uint8_t>{Channel(x, y, 1), Channel(x, y, 3)}; }); },
       [] { return ForEachPixel([](int32_t x, int32_t y) { const uint8_t v = Channel(x, y, 1); return std::vector<uint8_t>{v, v, v, Channel(x, y, 3)}; }); },
       {}},
      {"Grey16BitRounded", "I;16",
       [] { return ForEachPixel([](int32_t x, int32_t y) { const uint16_t v = Sample16(x, y); return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }); },
       [] { return ForEachPixel([](int32_t x, int32_t y) { const uint8_t v = To8(Sample16(x, y)); return std::vector<uint8_t>{v, v, v, 255}; }); },
       {}},
      // Four colours: PIL stores 2 bits a pixel, with a transparency chunk.
      {"TwoBitPaletteWithTransparency", "P",
       [] { return ForEachPixel([](int32_t x, int32_t y) { return std::vector<uint8_t>{static_cast<uint8_t>(PaletteIndex(x, y))}; }); },
       [] { return ForEachPixel([](int32_t x, int32_t y) { const auto& c = kPalette[PaletteIndex(x, y)]; return std::vector<uint8_t>{c[0], c[1], c[2], kPaletteAlpha[PaletteIndex(x, y)]}; }); },
       {"palette", "transparency"}},
      {"OneBitBlackAndWhite", "1",
       [] {
         std::vector<uint8_t> packed;
         for (int32_t y = 0; y < kHeight; ++y)
           for (int32_t byte = 0; byte < (kWidth + 7) / 8; ++byte) {
             uint8_t b = 0;
             for (int bit = 0; bit < 8; ++bit) {
               const int32_t x = byte * 8 + bit;
               if (x < kWidth && Bit(x, y)) b = static_cast<uint8_t>(b | (0x80 >> bit));
             }
             packed.push_back(b);
           }
         return packed;
       },
       [] { return ForEachPixel([](int32_t x, int32_t y) { const uint8_t v = Bit(x, y) ? 255 : 0; return std::vector<uint8_t>{v, v, v, 255}; }); },
       {}},
  };
}

TEST_F(PngWithPilTest, ReadsEveryKindOfPngThatPilWrites) {
  for (const PngCase& c : PngCases()) {
    std::vector<std::string> options;
    if (!c.options.empty()) {
      // The palette and its alpha values travel as files.
      std::vector<uint8_t> palette;
      for (const auto& entry : kPalette) palette.insert(palette.end(), entry, entry + 3);
      WriteBytes(folder.File("palette.raw"), palette);
      WriteBytes(folder.File("alpha.raw"), std::vector<uint8_t>(kPaletteAlpha, kPaletteAlpha + 4));
      options = {"palette=" + folder.File("palette.raw"), "transparency=" + folder.File("alpha.raw")};
    }
    const std::string path = PilPng(c.mode, kWidth, kHeight, c.source(), options);
    Picture picture;
    ASSERT_EQ(Read(path, picture), 0) << c.name;
    EXPECT_EQ(picture.Header().biSize, 40u);
    EXPECT_EQ(picture.Header().biWidth, kWidth);
    EXPECT_EQ(picture.Header().biHeight, kHeight);
    EXPECT_EQ(picture.Header().biPlanes, 1);
    EXPECT_EQ(picture.Header().biBitCount, 32);
    EXPECT_EQ(picture.Header().biCompression, 0u);
    EXPECT_EQ(test::TopDownRgba(picture), c.expected()) << c.name;
  }
}

TEST_F(PngWithPilTest, ReadsInterlacedFiles) {
  const std::vector<uint8_t> rgba = PngCases()[0].expected();
  WriteBytes(folder.File("source.raw"), rgba);
  const std::string path = folder.File("adam7.png");
  ASSERT_EQ(test::RunPil({"adam7", std::to_string(kWidth), std::to_string(kHeight), folder.File("source.raw"), path}), "");
  Picture picture;
  ASSERT_EQ(Read(path, picture), 0);
  EXPECT_EQ(test::TopDownRgba(picture), rgba);
}

TEST_F(PngWithPilTest, ReadsFromMemoryAndFromAnOffset) {
  const std::vector<uint8_t> rgba = PngCases()[0].expected();
  const std::vector<uint8_t> png = ReadBytes(PilPng("RGBA", kWidth, kHeight, rgba));

  Picture fromMemory;
  ASSERT_EQ(plugin.getPicture(reinterpret_cast<const char*>(png.data()), static_cast<intptr_t>(png.size()), kVarnelInputMemory,
                              &fromMemory.info, &fromMemory.bits, nullptr, 0),
            0);
  EXPECT_EQ(test::TopDownRgba(fromMemory), rgba);
  Picture cutShort;
  EXPECT_NE(plugin.getPicture(reinterpret_cast<const char*>(png.data()), static_cast<intptr_t>(png.size() / 2), kVarnelInputMemory,
                              &cutShort.info, &cutShort.bits, nullptr, 0),
            0);

  std::vector<uint8_t> withHeader(128, 0x55);
  withHeader.insert(withHeader.end(), png.begin(), png.end());
  const std::string path = folder.File("header128.png");
  WriteBytes(path, withHeader);
  Picture atOffset;
  ASSERT_EQ(Read(path, atOffset, 128), 0);
  EXPECT_EQ(test::TopDownRgba(atOffset), rgba);
  Picture atStart;
  EXPECT_NE(Read(path, atStart, 0), 0);
  Picture pastTheEnd;
  EXPECT_NE(Read(path, pastTheEnd, 100000), 0);
}

TEST_F(PngWithPilTest, GetPictureInfoReportsSizeDepthAndDensity) {
  const std::string path = PilPng("RGB", kWidth, kHeight, std::vector<uint8_t>(kWidth * kHeight * 3, 9), {"dpi=300"});
  VarnelPictureInfo info;
  std::memset(&info, 0xA5, sizeof info);
  ASSERT_EQ(plugin.getPictureInfo(path.c_str(), 0, 0, &info), 0);
  EXPECT_EQ(info.left, 0);
  EXPECT_EQ(info.top, 0);
  EXPECT_EQ(info.width, kWidth);
  EXPECT_EQ(info.height, kHeight);
  EXPECT_EQ(info.colourDepth, 32);
  // 300 dpi is stored as 11811 pixels a metre.
  EXPECT_EQ(info.xDensity, 300);
  EXPECT_EQ(info.yDensity, 300);
  EXPECT_EQ(info.text, nullptr);
  Picture picture;
  ASSERT_EQ(Read(path, picture), 0);
  EXPECT_EQ(picture.Header().biXPelsPerMeter, 11811);
  EXPECT_EQ(picture.Header().biYPelsPerMeter, 11811);
}

// A picture with every alpha value somewhere in it.
std::vector<uint8_t> TranslucentRgba(int32_t w, int32_t h) {
  std::vector<uint8_t> rgba;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      rgba.insert(rgba.end(), {Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2), static_cast<uint8_t>(y * w + x)});
  return rgba;
}

TEST_F(PngWithPilTest, PilReadsWhatItWritesExactlyWithAlpha) {
  const int32_t w = 31;
  const int32_t h = 9;
  const std::vector<uint8_t> rgba = TranslucentRgba(w, h);
  const std::vector<uint8_t> bgra = test::BottomUpBgra(rgba, w, h);
  const VarnelWriteInfo info = test::WriteInfo(w, h);
  const std::string path = folder.File("out.png");
  ASSERT_EQ(plugin.writeImage(path.c_str(), bgra.data(), &info), 0);
  std::string description;
  EXPECT_EQ(PilRead(path, description), rgba);
  EXPECT_EQ(description, "PNG RGBA 31 9 0\n");
}

TEST_F(PngWithPilTest, OpaquePicturesAreWrittenAsRgb) {
  std::vector<uint8_t> rgba = TranslucentRgba(7, 5);
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  const std::vector<uint8_t> bgra = test::BottomUpBgra(rgba, 7, 5);
  VarnelWriteInfo info = test::WriteInfo(7, 5);
  info.header.biXPelsPerMeter = 3780;  // 96 dpi
  info.header.biYPelsPerMeter = 3780;
  const std::string path = folder.File("opaque.png");
  ASSERT_EQ(plugin.writeImage(path.c_str(), bgra.data(), &info), 0);
  std::string description;
  EXPECT_EQ(PilRead(path, description), rgba);
  EXPECT_EQ(description, "PNG RGB 7 5 96\n");
}

TEST_F(PngPluginTest, WritesTopDownAnd24BitPixelsToo) {
  const int32_t w = 5;
  const int32_t h = 3;
  std::vector<uint8_t> rgba = TranslucentRgba(w, h);
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  const std::vector<uint8_t> bottomUp = test::BottomUpBgra(rgba, w, h);

  // 24-bit rows of 15 bytes padded to 16, bottom row first.
  std::vector<uint8_t> rows24(16 * h, 0xEE);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) std::memcpy(&rows24[y * 16 + x * 3], &bottomUp[(y * w + x) * 4], 3);
  // Top-down 32-bit rows for a negative height.
  std::vector<uint8_t> topDown(bottomUp.size());
  for (int32_t y = 0; y < h; ++y) std::memcpy(&topDown[y * w * 4], &bottomUp[(h - 1 - y) * w * 4], w * 4);

  const VarnelWriteInfo info24 = test::WriteInfo(w, h, 24);
  const VarnelWriteInfo infoTopDown = test::WriteInfo(w, -h);
  const std::string path24 = folder.File("a.png");
  const std::string pathTopDown = folder.File("b.png");
  ASSERT_EQ(plugin.writeImage(path24.c_str(), rows24.data(), &info24), 0);
  ASSERT_EQ(plugin.writeImage(pathTopDown.c_str(), topDown.data(), &infoTopDown), 0);
  for (const std::string& path : {path24, pathTopDown}) {
    Picture picture;
    ASSERT_EQ(Read(path, picture), 0);
    EXPECT_EQ(picture.Header().biHeight, h);
    EXPECT_EQ(test::TopDownRgba(picture), rgba) << path;
  }
}

TEST_F(PngPluginTest, ItsOwnFilesReadBackByteForByte) {
  const int32_t w = 64;
  const int32_t h = 33;
  const std::vector<uint8_t> bgra = test::BottomUpBgra(TranslucentRgba(w, h), w, h);
  const VarnelWriteInfo info = test::WriteInfo(w, h);
  const std::string path = folder.File("again.png");
  ASSERT_EQ(plugin.writeImage(path.c_str(), bgra.data(), &info), 0);
  Picture picture;
  ASSERT_EQ(Read(path, picture), 0);
  EXPECT_EQ(picture.Header().biSizeImage, static_cast<uint32_t>(w * h * 4));
  EXPECT_EQ(std::vector<uint8_t>(picture.Bytes(), picture.Bytes() + bgra.size()), bgra);
}

TEST_F(PngPluginTest, RefusesPicturesItCannotWriteAndKeepsTheOldFile) {
  const std::vector<uint8_t> pixels(64 * 4, 0x80);
  struct Case {
    const char* name;
    VarnelWriteInfo info;
  };
  auto with = [](int32_t w, int32_t h, uint16_t bits, uint32_t compression = 0) {
    VarnelWriteInfo info = test::WriteInfo(w, h, bits);
    info.header.biCompression = compression;
    return info;
  };
  const Case cases[] = {
      {"EightBit", with(4, 4, 8)},         {"SixteenBit", with(4, 4, 16)},      {"BitFields", with(4, 4, 32, 3)},
      {"ZeroWidth", with(0, 4, 32)},       {"ZeroHeight", with(4, 0, 32)},      {"NegativeWidth", with(-4, 4, 32)},
      {"OverTheLimit", with(40000, 40000, 32)},
  };
  const std::string path = folder.File("keep.png");
  WriteBytes(path, {'o', 'l', 'd'});
  for (const Case& c : cases) {
    EXPECT_EQ(plugin.writeImage(path.c_str(), pixels.data(), &c.info), -1) << c.name;
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'})) << c.name;
  }
  const VarnelWriteInfo good = test::WriteInfo(8, 8);
  EXPECT_EQ(plugin.writeImage(nullptr, pixels.data(), &good), -1);
  EXPECT_EQ(plugin.writeImage(path.c_str(), nullptr, &good), -1);
  EXPECT_EQ(plugin.writeImage(path.c_str(), pixels.data(), nullptr), -1);
  EXPECT_EQ(plugin.writeImage(folder.File("no/such/folder.png").c_str(), pixels.data(), &good), -1);
  EXPECT_EQ(test::FilesIn(folder.Path().string()), std::vector<std::string>{"keep.png"}) << "no temporary file left";
}

TEST_F(PngPluginTest, ReplacesAnExistingFileOnlyWhenComplete) {
  const std::string path = folder.File("replace.png");
  WriteBytes(path, {'o', 'l', 'd'});
  const std::vector<uint8_t> pixels(4 * 4 * 4, 0xFF);
  const VarnelWriteInfo info = test::WriteInfo(4, 4);
  ASSERT_EQ(plugin.writeImage(path.c_str(), pixels.data(), &info), 0);
  Picture picture;
  ASSERT_EQ(Read(path, picture), 0);
  EXPECT_EQ(test::FilesIn(folder.Path().string()), std::vector<std::string>{"replace.png"});
}

struct TextCase {
  int number;
  const char* text;
};

TEST_F(PngPluginTest, DescribesItselfAndWhatItSaves) {
  for (const TextCase& c : {TextCase{0, "00IN"}, TextCase{1, "Pngport Ver0.1"}, TextCase{2, "*.png"}, TextCase{3, "PNG Image"},
                            TextCase{4, ""}, TextCase{-1, ""}}) {
    char buffer[64] = {};
    EXPECT_EQ(plugin.getPluginInfo(c.number, buffer, sizeof buffer), static_cast<int>(std::strlen(c.text))) << c.number;
    EXPECT_STREQ(buffer, c.text);
  }
  char small[4];
  std::memset(small, 0x7E, sizeof small);
  plugin.getPluginInfo(1, small, 3);
  EXPECT_EQ(std::string(small, 4), "Png\x7E");

  for (const char* yes : {"png", "PNG", "Png"}) EXPECT_EQ(plugin.isSaveSupported(yes), 0) << yes;
  for (const char* no : {"jpg", "pn", "png ", ".png", ""}) EXPECT_NE(plugin.isSaveSupported(no), 0) << no;
  EXPECT_NE(plugin.isSaveSupported(nullptr), 0);

  char buffer[512];
  EXPECT_EQ(plugin.getSupportFormatFilter(buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "*.png");
  EXPECT_EQ(plugin.getSupportFormatDescriptor(buffer, sizeof buffer), 16);
  EXPECT_STREQ(buffer, "PNG Image(*.png)");
  EXPECT_EQ(plugin.openConfig(nullptr), 0);
  Picture none;
  EXPECT_EQ(plugin.getPreview("x.png", 0, 0, &none.info, &none.bits, nullptr, 0), kVarnelPluginNotImplemented);
}

TEST_F(PngPluginTest, KeepsAlphaAndTakesItsCompressionLevelFromTheSettings) {
  const auto savesAlpha = plugin.Get<VarnelSavesAlpha>("SavesAlpha");
  ASSERT_NE(savesAlpha, nullptr);
  EXPECT_NE(savesAlpha("png"), 0);
  EXPECT_NE(savesAlpha("PNG"), 0);
  EXPECT_EQ(savesAlpha("jpg"), 0);
  // The same picture stored (level 0) and packed hard (level 9): lossless both, sizes apart.
  std::vector<uint32_t> pixels(64 * 64);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | static_cast<uint32_t>((i / 64) * 0x030201u);
  const VarnelWriteInfo info = test::WriteInfo(64, 64);
  std::vector<size_t> sizes;
  for (const char* level : {"0", "9"}) {
    const std::string text = std::string("[PngPlugin]\nCompressionLevel=") + level + "\n";
    WriteBytes(config, std::vector<uint8_t>(text.begin(), text.end()));
    const std::string path = folder.File(std::string("level") + level + ".png");
    ASSERT_EQ(plugin.writeImage(path.c_str(), pixels.data(), &info), 0);
    sizes.push_back(ReadBytes(path).size());
    Picture back;
    ASSERT_EQ(Read(path, back), 0);
    EXPECT_EQ(std::memcmp(back.bits, pixels.data(), pixels.size() * 4), 0) << level;
  }
  EXPECT_GT(sizes[0], 4 * sizes[1]);
}

TEST_F(PngPluginTest, IsSupportedChecksTheSignature) {
  const std::string png("\x89PNG\r\n\x1a\n", 8);
  struct Case {
    std::string head;
    int supported;
  };
  for (const Case& c : {Case{png + "rest", 1}, Case{png, 1}, Case{png.substr(0, 7), 0}, Case{"\xFF\xD8\xFF\xE0", 0},
                        Case{"", 0}}) {
    std::vector<char> bytes(2048, 0);
    std::memcpy(bytes.data(), c.head.data(), c.head.size());
    EXPECT_EQ(plugin.isSupported("x.png", reinterpret_cast<intptr_t>(bytes.data())), c.supported);
    // An open file is read where the host put it: 128 bytes in, behind a header of another
    // program, it still is a PNG; the position stays.
    const std::string path = folder.File("head.bin");
    std::vector<uint8_t> file(128, 0);
    file.insert(file.end(), c.head.begin(), c.head.end());
    WriteBytes(path, file);
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(plugin.isSupported(path.c_str(), fd), 0);
    lseek(fd, 128, SEEK_SET);
    EXPECT_EQ(plugin.isSupported(path.c_str(), fd), c.supported);
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 128);
    close(fd);
  }
  EXPECT_EQ(plugin.isSupported("x.png", -5), 0);
}

TEST_F(PngPluginTest, NeedsNothingButTheCLibraryAndLibpng) {
  const std::vector<std::string> needed = test::NeededLibraries(plugin.Path());
  ASSERT_FALSE(needed.empty());
  for (const std::string& library : needed)
    EXPECT_TRUE(library == "libc.so.6" || library == "libpng16.so.16" || library == "libz.so.1" || library == "libm.so.6")
        << library;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutBigEndian(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A PNG with its header chunk changed to w × h, checksum repaired.
std::vector<uint8_t> WithSize(std::vector<uint8_t> png, uint32_t w, uint32_t h) {
  PutBigEndian(png, 16, w);
  PutBigEndian(png, 20, h);
  PutBigEndian(png, 29, Crc32(png.data() + 12, 17));
  return png;
}

TEST_F(PngPluginTest, BrokenFilesAreRefusedAndLeaveTheResultsAlone) {
  const int32_t w = 40;
  const int32_t h = 30;
  const std::vector<uint8_t> bgra = test::BottomUpBgra(TranslucentRgba(w, h), w, h);
  const VarnelWriteInfo info = test::WriteInfo(w, h);
  const std::string goodPath = folder.File("good.png");
  ASSERT_EQ(plugin.writeImage(goodPath.c_str(), bgra.data(), &info), 0);
  const std::vector<uint8_t> good = ReadBytes(goodPath);

  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  std::vector<Case> cases = {
      {"Empty", {}},
      {"SignatureOnly", std::vector<uint8_t>(good.begin(), good.begin() + 8)},
      {"CutInTheHeader", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
      {"CutInThePixels", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
      {"HeaderChecksumWrong", [&] { auto b = good; b[17] ^= 1; return b; }()},
      {"ZeroWidth", WithSize(good, 0, 30)},
      {"WidthBeyondTheFormat", WithSize(good, 0x80000000u, 1)},
      // 20000 × 20000 needs 1.6 GB, which this small file cannot inflate to.
      {"HugeClaimInASmallFile", WithSize(good, 20000, 20000)},
      {"OverThePictureLimit", WithSize(good, 40000, 40000)},
      {"MoreRowsThanTheData", WithSize(good, 40, 300)},
      {"NotAPng", std::vector<uint8_t>(100, 'x')},
  };
  for (const Case& c : cases) {
    const std::string path = folder.File("bad.png");
    WriteBytes(path, c.file);
    void* pictureInfo = &pictureInfo;
    void* bits = &bits;
    EXPECT_NE(plugin.getPicture(path.c_str(), 0, 0, &pictureInfo, &bits, nullptr, 0), 0) << c.name;
    EXPECT_EQ(pictureInfo, &pictureInfo) << c.name;
    EXPECT_EQ(bits, &bits) << c.name;
    EXPECT_NE(plugin.getPicture(reinterpret_cast<const char*>(c.file.data()), static_cast<intptr_t>(c.file.size()),
                                kVarnelInputMemory, &pictureInfo, &bits, nullptr, 0),
              0)
        << c.name;
  }
  VarnelPictureInfo header;
  EXPECT_NE(plugin.getPictureInfo(folder.File("missing.png").c_str(), 0, 0, &header), 0);
  Picture none;
  EXPECT_NE(plugin.getPicture(goodPath.c_str(), 0, 2, &none.info, &none.bits, nullptr, 0), 0) << "unknown input kind";
}

}  // namespace
}  // namespace varnel

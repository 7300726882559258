// The open dialog's preview pictures: bitmaps read directly, other files through the first
// plug-in that takes them, fitted into 120 × 120, and what a broken plug-in answer gives.

#include "iogate/preview_picture.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include "platform/host.h"
#include "tests/iogate/iogate_test_support.h"

namespace varnel::iogate {
namespace {

using testing::ProgramFolder;

// Left half red, right half blue, a green top row: enough to see orientation and scale.
uint32_t Quadrants(int32_t width, int32_t x, int32_t y) {
  if (y == 0) return 0x00FF00u;
  return x < width / 2 ? 0xFF0000u : 0x0000FFu;
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override { m_reader = m_folder.Install("reader", "a.spi"); }
  // Loaded on first use and kept, as the gateway keeps its list: the plug-ins' call counts
  // live as long as they stay loaded.
  const PluginList& Plugins() {
    if (!m_loaded) m_plugins.Load(m_folder.Bin());
    m_loaded = true;
    return m_plugins;
  }

  ProgramFolder m_folder;
  std::string m_reader;
  PluginList m_plugins;
  bool m_loaded = false;
  RecordingHost m_host;
  ScopedHost m_scoped{m_host};
};

struct FitCase {
  int32_t width, height, fittedWidth, fittedHeight;
};

class FitSize : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitSize, TheLongerSideBecomes120AndTheOtherScalesByIntegerDivision) {
  const FitCase& c = GetParam();
  EXPECT_EQ(FitPreviewSize(c.width, c.height), (Size{c.fittedWidth, c.fittedHeight}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FitSize,
                         ::testing::Values(FitCase{400, 100, 120, 30}, FitCase{100, 400, 30, 120},
                                           FitCase{120, 120, 120, 120}, FitCase{7, 7, 120, 120},
                                           FitCase{10, 5, 120, 60}, FitCase{1000, 999, 120, 119},
                                           FitCase{1000, 5, 120, 1}, FitCase{1, 100000, 1, 120},
                                           FitCase{0, 10, 0, 0}, FitCase{10, -1, 0, 0}),
                         [](const auto& info) {
                           const FitCase& c = info.param;
                           return "W" + std::to_string(c.width) + "H" + std::to_string(c.height < 0 ? 0 : c.height) +
                                  (c.height < 0 ? "Negative" : "");
                         });

TEST_F(PreviewTest, ABitmapOf400By100IsReadDirectlyAndPreviewsAs120By30) {
  const std::string path = m_folder.Picture("wide.BMP");
  testing::WriteBitmapFile(path, 400, 100, [](int x, int y) { return Quadrants(400, x, y); });
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  EXPECT_EQ(preview.bitmap.width, 120);
  EXPECT_EQ(preview.bitmap.height, 30);
  EXPECT_EQ(preview.bitmap.stride, 360u);
  EXPECT_EQ(preview.bitmap.Pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(preview.bitmap.Pixel(59, 0), 0x00FF00u);
  EXPECT_EQ(preview.bitmap.Pixel(0, 1), 0xFF0000u);
  EXPECT_EQ(preview.bitmap.Pixel(59, 29), 0xFF0000u);
  EXPECT_EQ(preview.bitmap.Pixel(60, 29), 0x0000FFu);
  EXPECT_EQ(preview.bitmap.Pixel(119, 15), 0x0000FFu);
  EXPECT_EQ(testing::FakeLogOf(m_reader)->isSupported, 0);
}

TEST_F(PreviewTest, APluginPictureOf100By400PreviewsAs30By120) {
  const std::string path = m_folder.Picture("tall.fk1");
  testing::WriteFake24(path, 100, 400, [](int x, int y) { return Quadrants(100, x, y); });
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  EXPECT_EQ(preview.bitmap.width, 30);
  EXPECT_EQ(preview.bitmap.height, 120);
  EXPECT_EQ(preview.bitmap.stride, 92u);
  EXPECT_EQ(preview.bitmap.Pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(preview.bitmap.Pixel(14, 119), 0xFF0000u);
  EXPECT_EQ(preview.bitmap.Pixel(15, 119), 0x0000FFu);
  const testing::FakeLogOf log(m_reader);
  EXPECT_EQ(log->getPreview, 1);
  EXPECT_EQ(log->getPicture, 0);
}

TEST_F(PreviewTest, NearestNeighbourSamplesEverySourceColumnOnceWhenEnlarging) {
  const std::string path = m_folder.Picture("small.fk1");
  testing::WriteFake24(path, 3, 3, [](int x, int) { return x == 0 ? 0x102030u : x == 1 ? 0x405060u : 0x708090u; });
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  ASSERT_EQ(preview.bitmap.width, 120);
  EXPECT_EQ(preview.bitmap.Pixel(39, 50), 0x102030u);
  EXPECT_EQ(preview.bitmap.Pixel(40, 50), 0x405060u);
  EXPECT_EQ(preview.bitmap.Pixel(80, 119), 0x708090u);
}

TEST_F(PreviewTest, WhenGetPreviewFailsGetPictureIsAsked) {
  const std::string path = m_folder.Picture("x.fk1");
  testing::WriteFake24(path, 4, 2, [](int, int) { return 0x123456u; }, testing::kPreviewFails);
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  EXPECT_EQ(preview.bitmap.Pixel(0, 0), 0x123456u);
  const testing::FakeLogOf log(m_reader);
  EXPECT_EQ(log->getPreview, 1);
  EXPECT_EQ(log->getPicture, 1);
}

TEST_F(PreviewTest, ABrokenPreviewFallsBackToThePicture) {
  const std::string path = m_folder.Picture("x.fk1");
  testing::WriteFake24(path, 4, 2, [](int, int) { return 0x123456u; }, testing::kBrokenPreview);
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  EXPECT_EQ(testing::FakeLogOf(m_reader)->getPicture, 1);
}

TEST_F(PreviewTest, OnlyTheFirstPluginThatAcceptsTheFileIsAsked) {
  const std::string second = m_folder.Install("reader_b", "b.spi");
  const std::string path = m_folder.Picture("x.fk1");
  testing::WriteFake24(path, 4, 2, [](int, int) { return 0x123456u; }, testing::kPreviewFails | testing::kPictureFails);
  EXPECT_EQ(LoadPreview(path, Plugins()).status, PreviewStatus::kNotSupported);
  EXPECT_EQ(testing::FakeLogOf(m_reader)->getPicture, 1);
  const testing::FakeLogOf log(second);
  EXPECT_EQ(log->isSupported, 0);
  EXPECT_EQ(log->getPicture, 0);
}

TEST_F(PreviewTest, PalettePicturesGoThroughTheirPalette) {
  // 8 pixels of 1 bit: 1 0 1 1 0 0 0 1 in one row, padded to 4 bytes.
  const std::string path = m_folder.Picture("mono.fk1");
  testing::WriteFakePicture(path, testing::InfoBlock(testing::Header(8, 1, 1), {0x00AABBCC, 0x00112233}),
                            {0b10110001, 0, 0, 0});
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  ASSERT_EQ(preview.bitmap.width, 120);
  ASSERT_EQ(preview.bitmap.height, 15);
  EXPECT_EQ(preview.bitmap.Pixel(0, 0), 0x112233u);
  EXPECT_EQ(preview.bitmap.Pixel(14, 0), 0x112233u);
  EXPECT_EQ(preview.bitmap.Pixel(15, 0), 0xAABBCCu);
  EXPECT_EQ(preview.bitmap.Pixel(30, 7), 0x112233u);
  EXPECT_EQ(preview.bitmap.Pixel(119, 14), 0x112233u);
}

TEST_F(PreviewTest, PaletteEntriesThePluginDidNotAllocateReadAsBlack) {
  // An 8-bit picture claims 256 colours but its block holds two.
  const std::string path = m_folder.Picture("short.fk1");
  testing::WriteFakePicture(path, testing::InfoBlock(testing::Header(4, 1, 8), {0x00FF0000, 0x0000FF00}),
                            {0, 1, 200, 1});
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  EXPECT_EQ(preview.bitmap.Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(preview.bitmap.Pixel(30, 0), 0x00FF00u);
  EXPECT_EQ(preview.bitmap.Pixel(60, 0), 0x000000u);
}

TEST_F(PreviewTest, SixteenBitPixelsAreUnpacked) {
  // 5-5-5: pure red 0x7C00 and pure blue 0x001F.
  const std::string path = m_folder.Picture("565.fk1");
  testing::WriteFakePicture(path, testing::InfoBlock(testing::Header(2, 1, 16)), {0x00, 0x7C, 0x1F, 0x00});
  const Preview preview = LoadPreview(path, Plugins());
  ASSERT_EQ(preview.status, PreviewStatus::kShown);
  EXPECT_EQ(preview.bitmap.Pixel(0, 0) & 0xF8F8F8u, 0xF80000u);
  EXPECT_EQ(preview.bitmap.Pixel(119, 0) & 0xF8F8F8u, 0x0000F8u);
}

TEST_F(PreviewTest, ATopDownPluginPictureShowsTheMessageAndIsNotPreviewed) {
  const std::string path = m_folder.Picture("down.fk1");
  testing::WriteFake24(path, 4, -2, [](int, int) { return 0x123456u; });
  EXPECT_EQ(LoadPreview(path, Plugins()).status, PreviewStatus::kNotSupported);
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].text, "トップダウンビットマップ!");
}

TEST_F(PreviewTest, ATopDownBitmapFileShowsTheMessageToo) {
  const std::string path = m_folder.Picture("down.dib");
  testing::WriteBitmapFile(path, 4, -2, [](int, int) { return 0x123456u; });
  EXPECT_EQ(LoadPreview(path, Plugins()).status, PreviewStatus::kNotSupported);
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].text, "トップダウンビットマップ!");
}

TEST_F(PreviewTest, FilesNothingReadsAreNotSupported) {
  testing::WriteBytes(m_folder.Picture("text.txt"), {'h', 'e', 'l', 'l', 'o'});
  testing::WriteBytes(m_folder.Picture("bad.bmp"), {'B', 'M', 1, 2});
  EXPECT_EQ(LoadPreview(m_folder.Picture("text.txt"), Plugins()).status, PreviewStatus::kNotSupported);
  EXPECT_EQ(LoadPreview(m_folder.Picture("bad.bmp"), Plugins()).status, PreviewStatus::kNotSupported);
  EXPECT_EQ(LoadPreview(m_folder.Picture("missing.fk1"), Plugins()).status, PreviewStatus::kNotSupported);
  EXPECT_TRUE(m_host.boxes.empty());
}

TEST_F(PreviewTest, APipeOrAFolderIsNotOpened) {
  const std::string pipe = m_folder.Picture("pipe.fk1");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(LoadPreview(pipe, Plugins()).status, PreviewStatus::kNotSupported);
  const std::string bitmapPipe = m_folder.Picture("pipe.bmp");
  ASSERT_EQ(mkfifo(bitmapPipe.c_str(), 0600), 0);
  EXPECT_EQ(LoadPreview(bitmapPipe, Plugins()).status, PreviewStatus::kNotSupported);
  std::filesystem::create_directory(m_folder.Picture("folder.bmp"));
  EXPECT_EQ(LoadPreview(m_folder.Picture("folder.bmp"), Plugins()).status, PreviewStatus::kNotSupported);
  EXPECT_EQ(testing::FakeLogOf(m_reader)->isSupported, 0);
}

TEST_F(PreviewTest, SuccessWithAMissingBlockIsAFailedCall) {
  const std::string path = m_folder.Picture("x.fk1");
  testing::WriteFake24(path, 4, 2, [](int, int) { return 0x123456u; }, testing::kNullBits);
  EXPECT_EQ(LoadPreview(path, Plugins()).status, PreviewStatus::kNotSupported);
  testing::WriteFake24(path, 4, 2, [](int, int) { return 0x123456u; }, testing::kNullInfo);
  EXPECT_EQ(LoadPreview(path, Plugins()).status, PreviewStatus::kNotSupported);
  EXPECT_EQ(testing::FakeLogOf(m_reader)->getPicture, 2);
}

struct BrokenCase {
  const char* name;
  VarnelBitmapInfoHeader header;
  size_t bitsBytes;
  size_t infoBytes;
};

class BrokenPicture : public PreviewTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenPicture, IsReportedAsABrokenConversionWithoutReadingBeyondTheBlocks) {
  const BrokenCase& c = GetParam();
  std::vector<uint8_t> info = testing::InfoBlock(c.header);
  info.resize(c.infoBytes);
  const std::string path = m_folder.Picture("broken.fk1");
  testing::WriteFakePicture(path, info, std::vector<uint8_t>(c.bitsBytes, 0x55));
  EXPECT_EQ(LoadPreview(path, Plugins()).status, PreviewStatus::kBroken);
  EXPECT_TRUE(m_host.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BrokenPicture,
    ::testing::Values(BrokenCase{"BitsBlockFarTooSmall", testing::Header(400, 100, 32), 1000, 40},
                      BrokenCase{"ClaimsAHugePicture", testing::Header(0x7FFFFFFF, 0x7FFFFFFF, 32), 64, 40},
                      BrokenCase{"ZeroWidth", testing::Header(0, 10, 24), 64, 40},
                      BrokenCase{"NegativeWidth", testing::Header(-5, 10, 24), 64, 40},
                      BrokenCase{"ZeroHeight", testing::Header(4, 0, 24), 64, 40},
                      BrokenCase{"ZeroDepth", testing::Header(4, 4, 0), 64, 40},
                      BrokenCase{"ThreeBitsPerPixel", testing::Header(4, 4, 3), 64, 40}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PreviewTest, AnInformationBlockIsReadOnlyAsFarAsThePluginAllocatedIt) {
  // 20 bytes hold the header's size, depth and compression fields; the allocator may round the
  // block up, and only then can the rest of the header be read from it.
  std::vector<uint8_t> info = testing::InfoBlock(testing::Header(4, 4, 24));
  info.resize(20);
  const std::string path = m_folder.Picture("short.fk1");
  testing::WriteFakePicture(path, info, std::vector<uint8_t>(64, 0x55), testing::kPreviewFails);
  const PreviewStatus status = LoadPreview(path, Plugins()).status;
  const testing::FakeLogOf log(m_reader);
  ASSERT_EQ(log->getPicture, 1);
  EXPECT_EQ(status, log->lastInfoUsable < 40 ? PreviewStatus::kBroken : PreviewStatus::kShown)
      << "usable " << log->lastInfoUsable;
}

TEST_F(PreviewTest, ACompressedPictureIsBroken) {
  VarnelBitmapInfoHeader header = testing::Header(4, 4, 8);
  header.biCompression = 1;
  const std::string path = m_folder.Picture("rle.fk1");
  testing::WriteFakePicture(path, testing::InfoBlock(header), std::vector<uint8_t>(64, 0));
  EXPECT_EQ(LoadPreview(path, Plugins()).status, PreviewStatus::kBroken);
}

TEST(FileInfoLines, GiveTheSizeAndTheTimesInTheirFormats) {
  setenv("TZ", "UTC", 1);
  tzset();
  test::TempFolder folder;
  const std::string path = folder.File("x.bin");
  testing::WriteBytes(path, std::vector<uint8_t>(1234, 0));
  // 2005-03-07 09:05:02 UTC
  const struct timespec times[2] = {{1110186302, 0}, {1110186302, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const std::array<std::string, 3> lines = FileInfoLines(path);
  EXPECT_EQ(lines[0], "ファイルサイズ : 1234Bytes");
  EXPECT_EQ(lines[1], "最終変更 : 2005/03/07 09:05");
  EXPECT_EQ(lines[2].rfind("作成日時 : ", 0), 0u);
  struct tm now {};
  const time_t t = time(nullptr);
  gmtime_r(&t, &now);
  char year[16];
  std::snprintf(year, sizeof year, "%04d/", now.tm_year + 1900);
  // The file was made just now.
  EXPECT_EQ(lines[2].substr(std::string("作成日時 : ").size(), 5), year);
  EXPECT_EQ(lines[2].size(), std::string("作成日時 : 2005/03/07 09:05").size());
}

TEST(FileInfoLines, AreEmptyForAFileThatIsNotThere) {
  const std::array<std::string, 3> lines = FileInfoLines("/nonexistent/varnel-iogate.bmp");
  EXPECT_EQ(lines, (std::array<std::string, 3>{}));
}

}  // namespace
}  // namespace varnel::iogate

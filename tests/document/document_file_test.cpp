// Writing the 24-bit bitmap, opening pictures into a canvas and the save rules of documents.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "document/bitmap_file.h"
#include "document/document_file.h"
#include "platform/host.h"
#include "test_files.h"

namespace varnel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

class DocumentFileTest : public ::testing::Test {
 protected:
  TempFolder folder;
  RecordingHost host;
  ScopedHost scoped{host};
  std::string Path(const std::string& name) const { return folder.File(name); }
};

// ------------------------------------------------------------------------------------------
// 24-bit bitmap

TEST_F(DocumentFileTest, BitmapRowsRunBottomUpPaddedToFourBytes) {
  ImageSurface picture;
  ASSERT_EQ(picture.Create({3, 2}), 0);
  // Top row, then bottom row, as 0xAARRGGBB.
  const uint32_t top[3] = {0x01020304, 0xFF0A0B0C, 0x00112233};
  const uint32_t bottom[3] = {0x80A0B0C0, 0x7F010101, 0xFFFFFFFF};
  for (int x = 0; x < 3; ++x) {
    picture.Row(0)[x] = top[x];
    picture.Row(1)[x] = bottom[x];
  }
  ASSERT_EQ(WriteBitmap24(Path("a.bmp"), picture), 0);
  Bytes expected;
  // stride = (3 × 3 + 3) rounded down to a multiple of 4 = 12
  expected.Raw("BM").U32(54 + 24).U16(0).U16(0).U32(54);
  expected.U32(40).I32(3).I32(2).U16(1).U16(24).U32(0).U32(24).U32(0).U32(0).U32(0).U32(0);
  expected.Raw("\xC0\xB0\xA0\x01\x01\x01\xFF\xFF\xFF").Zeros(3);  // bottom row first
  expected.Raw("\x04\x03\x02\x0C\x0B\x0A\x33\x22\x11").Zeros(3);
  EXPECT_EQ(ReadBytes(Path("a.bmp")), expected.data);
}

TEST_F(DocumentFileTest, BitmapStrideForEveryWidthRemainder) {
  for (const int32_t width : {1, 2, 3, 4, 5}) {
    ImageSurface picture;
    ASSERT_EQ(picture.Create({width, 1}), 0);
    ASSERT_EQ(WriteBitmap24(Path("s.bmp"), picture), 0);
    const uint32_t stride = static_cast<uint32_t>((3 * width + 3) / 4 * 4);
    EXPECT_EQ(ReadBytes(Path("s.bmp")).size(), 54 + stride) << width;
  }
}

TEST_F(DocumentFileTest, BitmapShowsProgressEverySixteenRowsAndClearsIt) {
  ImageSurface picture;
  ASSERT_EQ(picture.Create({2, 40}), 0);
  ASSERT_EQ(WriteBitmap24(Path("p.bmp"), picture), 0);
  EXPECT_EQ(host.statusTexts, (std::vector<std::string>{"BMP保存中", "BMP保存中", "BMP保存中", ""}));
  ASSERT_GE(host.progress.size(), 3u);
  EXPECT_EQ(std::vector<int>(host.progress.begin(), host.progress.begin() + 3), (std::vector<int>{0, 40, 80}));
}

TEST_F(DocumentFileTest, BitmapThatCannotBeCreatedIsSilentlyNotWritten) {
  ImageSurface picture;
  picture.Create({2, 2});
  EXPECT_EQ(WriteBitmap24(Path("missing/a.bmp"), picture), -1);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// ------------------------------------------------------------------------------------------
// Opening

std::unique_ptr<Layer> Plain(int32_t w, int32_t h, int32_t x = 0, int32_t y = 0) {
  auto layer = std::make_unique<Layer>();
  layer->Create({w, h});
  layer->SetOffset(x, y);
  return layer;
}

void WriteDocument(const std::string& path, int32_t cw, int32_t ch) {
  LayerList layers;
  layers.push_back(Plain(10, 20, 5, 5));
  layers.push_back(Plain(3, 3));
  LayerRefs refs{layers[0].get(), layers[1].get()};
  ImageSurface composite;
  composite.Create({cw, ch});
  ASSERT_EQ(WriteLayerFile(path, refs, cw, ch, composite, GridSettings{}), 0);
}

TEST_F(DocumentFileTest, SavedCanvasSizeHoldsEvenWhenTheFirstLayerDiffers) {
  WriteDocument(Path("c.vlb"), 64, 48);
  Canvas canvas;
  std::optional<GridSettings> grid;
  ASSERT_EQ(OpenPicture(Path("c.vlb"), canvas, &grid), 0);
  EXPECT_EQ(canvas.GetSize(), (Size{64, 48}));
  EXPECT_EQ(canvas.LayerCount(), 2);
  ASSERT_TRUE(grid.has_value());
  EXPECT_EQ(host.statusTexts.back(), "");
  EXPECT_NE(std::find(host.statusTexts.begin(), host.statusTexts.end(), kBuildingCanvas), host.statusTexts.end());
}

TEST_F(DocumentFileTest, FileWithoutCanvasChunkIsSizedByItsFirstLayer) {
  Bytes b;
  b.Raw("\x4C\x58\x0D\x0A\x4C" "10000").Chunk("LLCB", 0);
  b.Chunk("LCBE", 0).Chunk("LHBE", 18).U8(100).U32(0).U8(1).I32(7).I32(7).U32(0);
  b.Chunk("CLBM", 40 + 2 * 3 * 4).U32(40).I32(2).I32(3).U16(1).U16(32).Zeros(24).Zeros(24);
  b.Chunk("EOFL", 0);
  WriteBytes(Path("n.vlb"), b.data);
  Canvas canvas;
  ASSERT_EQ(OpenPicture(Path("n.vlb"), canvas), 0);
  EXPECT_EQ(canvas.GetSize(), (Size{2, 3}));
}

// Writing a layer file reads the composite only where its preview takes pixels from: composing
// just those rows gives the same file as composing everything, for any shape of canvas.
TEST_F(DocumentFileTest, ComposingOnlyWhatTheFileNeedsWritesTheSameLayerFile) {
  for (const Size size : {Size{300, 200}, Size{97, 301}, Size{120, 120}, Size{121, 1}, Size{300, 2}}) {
    std::string written[2];
    for (int only = 0; only < 2; ++only) {
      Canvas canvas;
      for (int32_t i = 0; i < 2; ++i) {
        auto layer = Plain(size.width, size.height, i * 3, -i);
        for (int32_t y = 0; y < layer->Height(); ++y)
          for (int32_t x = 0; x < layer->Width(); ++x) layer->Row(y)[x] = 0x80000000u | uint32_t(x * 7919 + y * 104729 + i);
        canvas.AppendLayer(std::move(layer), false);
      }
      const std::string path = Path(std::to_string(only) + ".vlb");
      if (only) {
        ComposeForWriting(canvas, path);
      } else {
        canvas.ComposeAll();
      }
      ASSERT_EQ(WriteCanvas(path, canvas, GridSettings{}), SaveResult::kWritten);
      written[only] = path;
    }
    EXPECT_EQ(ReadBytes(written[0]), ReadBytes(written[1])) << size.width << " x " << size.height;
  }
}

TEST_F(DocumentFileTest, LayersOfASecondFileAreAddedWithoutResizingTheCanvas) {
  WriteDocument(Path("c.vlb"), 64, 48);
  Canvas canvas;
  canvas.InitWithLayer(Plain(30, 30));
  ASSERT_EQ(OpenPicture(Path("c.vlb"), canvas), 0);
  EXPECT_EQ(canvas.LayerCount(), 3);
  EXPECT_EQ(canvas.GetSize(), (Size{30, 30}));
}

TEST_F(DocumentFileTest, UnreadableFilesOpenNothing) {
  WriteBytes(Path("junk.vlb"), {'x', 'y'});
  WriteBytes(Path("empty.vlb"), {'L', 'B', 0, 0, 0, 0});  // a list of no layers
  WriteBytes(Path("picture.png"), {0x89, 'P', 'N', 'G'});
  for (const char* name : {"junk.vlb", "empty.vlb", "picture.png", "missing.vlb"}) {
    Canvas canvas;
    EXPECT_EQ(OpenPicture(Path(name), canvas), -1) << name;
    EXPECT_EQ(canvas.LayerCount(), 0) << name;
  }
}

// ------------------------------------------------------------------------------------------
// Saving

TEST_F(DocumentFileTest, LayeredPictureAsBitmapAsksFirstAndNoWritesNothing) {
  Canvas one;
  one.InitWithLayer(Plain(4, 4));
  one.ComposeAll();
  EXPECT_EQ(SaveDocument(Path("one.bmp"), one, GridSettings{}, false), SaveResult::kWritten);
  EXPECT_TRUE(host.boxes.empty());

  Canvas two;
  two.InitWithLayer(Plain(4, 4));
  two.AppendLayer(Plain(2, 2), false);
  two.ComposeAll();
  host.QueueAnswer(kIdNo);
  EXPECT_EQ(SaveDocument(Path("two.bmp"), two, GridSettings{}, false), SaveResult::kDeclined);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, kLayersWillBeLost);
  EXPECT_FALSE(std::filesystem::exists(Path("two.bmp")));
  EXPECT_EQ(SaveDocument(Path("two.bmp"), two, GridSettings{}, false), SaveResult::kWritten);  // Yes
  EXPECT_EQ(SaveDocument(Path("two.vlb"), two, GridSettings{}, false), SaveResult::kWritten);
  EXPECT_EQ(host.boxes.size(), 2u);  // a layer file never asks
  EXPECT_EQ(SaveDocument(Path("two.png"), two, GridSettings{}, false), SaveResult::kNoWriter);  // Yes, but no writer
}

TEST_F(DocumentFileTest, BackupKeepsTheOldFileAndNeverReplacesAnOlderBackup) {
  Canvas canvas;
  canvas.InitWithLayer(Plain(4, 4));
  canvas.ComposeAll();
  WriteBytes(Path("a.vlb"), {'o', 'l', 'd'});
  ASSERT_EQ(SaveDocument(Path("a.vlb"), canvas, GridSettings{}, true), SaveResult::kWritten);
  EXPECT_EQ(ReadBytes(Path("a.vlb.bak")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  const std::vector<uint8_t> first = ReadBytes(Path("a.vlb"));
  EXPECT_GT(first.size(), 100u);

  canvas.AppendLayer(Plain(2, 2), false);
  ASSERT_EQ(SaveDocument(Path("a.vlb"), canvas, GridSettings{}, true), SaveResult::kWritten);
  EXPECT_EQ(ReadBytes(Path("a.vlb.bak")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_NE(ReadBytes(Path("a.vlb")), first);

  ASSERT_EQ(SaveDocument(Path("b.vlb"), canvas, GridSettings{}, true), SaveResult::kWritten);  // nothing to back up
  EXPECT_FALSE(std::filesystem::exists(Path("b.vlb.bak")));
}

TEST_F(DocumentFileTest, EmptyCanvasWritesNothing) {
  Canvas canvas;
  EXPECT_EQ(SaveDocument(Path("e.vlb"), canvas, GridSettings{}, false), SaveResult::kNothingToWrite);
  EXPECT_FALSE(std::filesystem::exists(Path("e.vlb")));
}

TEST(QuickSave, NamesPadTheTwoDigitFieldsWithSpaces) {
  struct Case {
    int year, month, day, hour, minute, second;
    const char* name;
  };
  for (const Case& c : {Case{2005, 3, 7, 9, 5, 2, "Y2005M 3D 7H 9M 5S 2.VLB"},
                        Case{2026, 12, 31, 23, 59, 59, "Y2026M12D31H23M59S59.VLB"},
                        Case{999, 1, 1, 0, 0, 0, "Y 999M 1D 1H 0M 0S 0.VLB"}}) {
    std::tm local{};
    local.tm_year = c.year - 1900;
    local.tm_mon = c.month - 1;
    local.tm_mday = c.day;
    local.tm_hour = c.hour;
    local.tm_min = c.minute;
    local.tm_sec = c.second;
    EXPECT_EQ(QuickSaveFileName(local), c.name);
  }
  // A writable program folder keeps its quick saves.
  const std::string home = std::filesystem::temp_directory_path().string();
  setenv("VARNEL_HOME", home.c_str(), 1);
  std::tm local{};
  local.tm_year = 105;
  local.tm_mday = 1;
  EXPECT_EQ(QuickSavePath(local), home + "/Save/Y2005M 1D 1H 0M 0S 0.VLB");
  unsetenv("VARNEL_HOME");
}

}  // namespace
}  // namespace varnel

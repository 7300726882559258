// The layer file in both kinds: the bytes the writers produce, what the readers make of every
// kind of file (complete, cut short, contradicting itself), previews, grids and masks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/file_io.h"
#include "document/layer_file.h"
#include "platform/host.h"
#include "test_files.h"

namespace varnel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// The 40-byte pixel header as the writers put it.
Bytes PixelHeader(int32_t w, int32_t h) {
  Bytes b;
  b.U32(40).I32(w).I32(h).U16(1).U16(32).Zeros(24);
  return b;
}

std::unique_ptr<Layer> MakeLayer(int32_t w, int32_t h, uint32_t seed) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) layer->Row(y)[x] = seed * 2654435761u + static_cast<uint32_t>(y * w + x) * 40503u;
  return layer;
}

// The pixel bytes of a layer as the file holds them: bottom row first.
Bytes PixelBytesOf(const ImageSurface& s) {
  Bytes b;
  for (int32_t y = s.Height() - 1; y >= 0; --y)
    for (int32_t x = 0; x < s.Width(); ++x) b.U32(s.Row(y)[x]);
  return b;
}

// The default grid record with no axes.
Bytes DefaultGridChunk() {
  Bytes b;
  b.Chunk("ECV0", 56).U32(0).U8(0).Zeros(3).I32(0).I32(16).I32(16).I32(0).I32(0).I32(0).F64(4.0).U32(0).I32(0).U32(0).U32(0);
  return b;
}

LayerRefs Refs(const LayerList& list) {
  LayerRefs refs;
  for (const auto& l : list) refs.push_back(l.get());
  return refs;
}

// A chunked file's header up to "LLCB" with the given canvas.
Bytes ChunkedHead(int32_t cw, int32_t ch, int32_t count) {
  Bytes b;
  b.Raw("\x4C\x58\x0D\x0A\x4C" "10000");
  b.Chunk("CNVS", 12).I32(cw).I32(ch).I32(count);
  b.Append(DefaultGridChunk());
  b.Chunk("LLCB", 0);
  return b;
}

// One complete layer: "LCBE", "LHBE", "CLBM" of w × h pixels all equal to pixel, "EOFL".
Bytes LayerChunks(const std::string& name, int32_t w, int32_t h, uint32_t pixel, uint8_t opacity = 100,
                  uint8_t visible = 1, bool withEnd = true) {
  Bytes b;
  b.Chunk("LCBE", 0);
  b.Chunk("LHBE", static_cast<uint32_t>(18 + name.size())).U8(opacity).U32(0).U8(visible).I32(0).I32(0).U32(static_cast<uint32_t>(name.size())).Raw(name);
  b.Chunk("CLBM", static_cast<uint32_t>(40 + w * h * 4)).Append(PixelHeader(w, h));
  for (int32_t i = 0; i < w * h; ++i) b.U32(pixel);
  if (withEnd) b.Chunk("EOFL", 0);
  return b;
}

class LayerFileTest : public ::testing::Test {
 protected:
  TempFolder folder;
  RecordingHost host;
  ScopedHost scoped{host};

  std::string Path(const std::string& name) const { return folder.File(name); }

  int32_t Read(const Bytes& bytes, LayerList& layers, Size& canvas, GridSettings& grid) {
    const std::string path = Path("in.vlb");
    WriteBytes(path, bytes.data);
    return ReadLayerFile(path, layers, canvas, grid);
  }
};

// ------------------------------------------------------------------------------------------
// Writing a chunked file

TEST_F(LayerFileTest, WriterProducesTheChunksInOrderByteForByte) {
  // A 1000 × 5 canvas makes a preview 120 × 0: the "PRVW" chunk holds 40 zero bytes.
  LayerList layers;
  layers.push_back(MakeLayer(2, 1, 1));
  layers[0]->SetName("ab");
  layers[0]->SetOpacity(50);
  layers[0]->SetBlendMode(BlendMode::kAdd);
  layers[0]->SetOffset(-1, 2);
  ImageSurface composite;
  ASSERT_EQ(composite.Create({1000, 5}), 0);
  ASSERT_EQ(WriteLayerFile(Path("a.vlb"), Refs(layers), 1000, 5, composite, GridSettings{}), 0);

  Bytes expected;
  expected.Raw("\x4C\x58\x0D\x0A\x4C" "10000");
  expected.Chunk("PRVW", 40).Zeros(40);
  expected.Chunk("CNVS", 12).I32(1000).I32(5).I32(1);
  expected.Append(DefaultGridChunk());
  expected.Chunk("LLCB", 0);
  expected.Chunk("LCBE", 0);
  expected.Chunk("LHBE", 20).U8(50).U32(3).U8(1).I32(-1).I32(2).U32(2).Raw("ab");
  expected.Chunk("CLBM", 48).Append(PixelHeader(2, 1)).Append(PixelBytesOf(*layers[0]));
  expected.Chunk("EOFL", 0);
  expected.Chunk("EOLL", 0);
  EXPECT_EQ(ReadBytes(Path("a.vlb")), expected.data);

  // The empty preview still reads back completely.
  LayerList back;
  Size canvas{};
  GridSettings grid;
  ASSERT_EQ(ReadLayerFile(Path("a.vlb"), back, canvas, grid), 0);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(canvas, (Size{1000, 5}));
  EXPECT_EQ(back[0]->Name(), "ab");
  EXPECT_EQ(back[0]->Opacity(), 50);
  EXPECT_EQ(back[0]->BlendMode(), BlendMode::kAdd);
  EXPECT_EQ(back[0]->OffsetX(), -1);
  EXPECT_EQ(back[0]->OffsetY(), 2);
}

TEST_F(LayerFileTest, EmptyLayerListWritesNothing) {
  ImageSurface composite;
  composite.Create({4, 4});
  WriteBytes(Path("keep.vlb"), {1, 2, 3});
  EXPECT_EQ(WriteLayerFile(Path("keep.vlb"), {}, 4, 4, composite, GridSettings{}), -1);
  EXPECT_EQ(ReadBytes(Path("keep.vlb")), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(LayerFileTest, MasksFollowThePixelsAsLmchAndLmdc) {
  LayerList layers;
  layers.push_back(MakeLayer(3, 3, 2));
  Region mask;
  ASSERT_EQ(mask.Create({1, -1, 3, 0}, 0), 0);  // 3 × 2, partly outside the layer
  const uint8_t values[6] = {0, 10, 255, 128, 1, 77};
  for (int r = 0; r < 2; ++r) std::memcpy(mask.Row(r), values + 3 * r, 3);
  ASSERT_EQ(layers[0]->Masks().AddMask(mask), 0);
  ImageSurface composite;
  composite.Create({3, 3});
  ASSERT_EQ(WriteLayerFile(Path("m.vlb"), Refs(layers), 3, 3, composite, GridSettings{}), 0);

  const std::vector<uint8_t> file = ReadBytes(Path("m.vlb"));
  Bytes tail;
  tail.Chunk("LMCH", 0);
  tail.Chunk("LMDC", 22).I32(1).I32(-1).I32(3).I32(0).Raw(std::string(reinterpret_cast<const char*>(values), 6));
  tail.Chunk("EOFL", 0).Chunk("EOLL", 0);
  ASSERT_GE(file.size(), tail.data.size());
  EXPECT_EQ(std::vector<uint8_t>(file.end() - static_cast<ptrdiff_t>(tail.data.size()), file.end()), tail.data);

  LayerList back;
  Size canvas{};
  GridSettings grid;
  ASSERT_EQ(ReadLayerFile(Path("m.vlb"), back, canvas, grid), 0);
  ASSERT_EQ(back.size(), 1u);
  ASSERT_EQ(back[0]->Masks().Count(), 1);
  EXPECT_FALSE(back[0]->Masks().IsEnabled(0));  // masks read from a file start disabled
  Region read;
  ASSERT_EQ(back[0]->Masks().ReadMask(0, read), 0);
  EXPECT_EQ(read.Bounds(), (Rect{1, -1, 3, 0}));
  for (int r = 0; r < 2; ++r) EXPECT_EQ(std::memcmp(read.Row(r), values + 3 * r, 3), 0);
}

struct ProgressCase {
  int32_t width, height;
  std::vector<std::string> writeTexts;  // besides the clearing empty texts
};

class LayerFileProgress : public LayerFileTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(LayerFileProgress, WriterReportsEveryFullBlockButTheLast) {
  const ProgressCase& c = GetParam();
  LayerList layers;
  layers.push_back(MakeLayer(c.width, c.height, 3));
  ImageSurface composite;
  composite.Create({c.width, c.height});
  ASSERT_EQ(WriteLayerFile(Path("p.vlb"), Refs(layers), c.width, c.height, composite, GridSettings{}), 0);
  std::vector<std::string> texts;
  for (const std::string& t : host.statusTexts)
    if (!t.empty()) texts.push_back(t);
  EXPECT_EQ(texts, c.writeTexts);
  ASSERT_FALSE(host.statusTexts.empty());
  EXPECT_EQ(host.statusTexts.back(), "");
  EXPECT_EQ(host.progress.back(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    BlockSizes, LayerFileProgress,
    ::testing::Values(ProgressCase{512, 256, {}},                                    // exactly one block
                      ProgressCase{513, 256, {"レイヤ1/1を書き込み中　[ 99%]"}},    // 525312 bytes
                      ProgressCase{512, 768, {"レイヤ1/1を書き込み中　[ 33%]", "レイヤ1/1を書き込み中　[ 66%]"}}));

TEST_F(LayerFileTest, ReaderStartsEveryLayerAtZeroAndReportsFullMegabytes) {
  LayerList layers;
  layers.push_back(MakeLayer(4, 4, 1));
  layers.push_back(MakeLayer(513, 512, 2));  // 1050624 bytes: one block of 1048576 and the rest
  ImageSurface composite;
  composite.Create({4, 4});
  ASSERT_EQ(WriteLayerFile(Path("r.vlb"), Refs(layers), 4, 4, composite, GridSettings{}), 0);
  host.statusTexts.clear();
  LayerList back;
  Size canvas{};
  GridSettings grid;
  ASSERT_EQ(ReadLayerFile(Path("r.vlb"), back, canvas, grid), 0);
  EXPECT_EQ(host.statusTexts,
            (std::vector<std::string>{"レイヤ1/2を読み込み中 [  0%]", "", "レイヤ2/2を読み込み中 [  0%]",
                                      "レイヤ2/2を読み込み中 [ 99%]", ""}));
}

// ------------------------------------------------------------------------------------------
// Preview

TEST(FilePreview, LongerSideIsAlways120AndPixelsAreTakenByNearestIndex) {
  struct Case {
    int32_t w, h, pw, ph;
  };
  for (const Case c : {Case{1000, 500, 120, 60}, Case{100, 100, 120, 120}, Case{7, 300, 2, 120}, Case{1, 1, 120, 120}}) {
    ImageSurface source;
    ASSERT_EQ(source.Create({c.w, c.h}), 0);
    for (int32_t y = 0; y < c.h; ++y)
      for (int32_t x = 0; x < c.w; ++x) source.Row(y)[x] = static_cast<uint32_t>(y) << 16 | static_cast<uint32_t>(x);
    ImageSurface preview;
    ASSERT_EQ(MakeFilePreview(source, preview), 0);
    ASSERT_EQ(preview.GetSize(), (Size{c.pw, c.ph})) << c.w << "x" << c.h;
    const int32_t m = std::max(c.w, c.h);
    for (int32_t j = 0; j < c.ph; ++j)
      for (int32_t i = 0; i < c.pw; ++i)
        ASSERT_EQ(preview.Row(j)[i], static_cast<uint32_t>(j * m / 120) << 16 | static_cast<uint32_t>(i * m / 120));
  }
}

TEST(FilePreview, ThinPictureLeavesThePreviewEmptyAndNoPixelsFail) {
  ImageSurface thin;
  thin.Create({1000, 5});
  ImageSurface preview;
  EXPECT_EQ(MakeFilePreview(thin, preview), 0);
  EXPECT_EQ(preview.Bits(), nullptr);
  ImageSurface none;
  EXPECT_EQ(MakeFilePreview(none, preview), -1);
}

// ------------------------------------------------------------------------------------------
// Round trips

TEST_F(LayerFileTest, DocumentWithJapaneseNamesMasksAndGridRoundTrips) {
  LayerList layers;
  layers.push_back(MakeLayer(5, 4, 1));
  layers.push_back(MakeLayer(3, 7, 2));
  layers.push_back(MakeLayer(1, 1, 3));
  layers[0]->SetName("背景");
  layers[1]->SetName("レイヤ2 ～ 線画");
  layers[1]->SetOffset(-2, 3);
  layers[1]->SetBlendMode(BlendMode::kSoftLight);
  layers[1]->SetOpacity(0);
  layers[2]->SetVisible(false);
  layers[2]->SetName("");
  Region mask;
  mask.Create({0, 0, 1, 1}, 200);
  layers[1]->Masks().AddMask(mask);
  mask.Create({-5, -5, -5, -5}, 9);
  layers[1]->Masks().AddMask(mask);

  GridSettings grid;
  grid.shown = 1;
  grid.kind = 1;
  grid.cellWidth = 7;
  grid.cellHeight = 9;
  grid.originX = -3;
  grid.originY = 4;
  grid.zoomGate = 1;
  grid.zoomThreshold = 2.5;
  grid.colour = ColourRef{0x00123456};
  grid.snap = 1;
  for (int32_t i = 0; i < 31; ++i) grid.axes.push_back({ColourRef{0x00010203u * static_cast<uint32_t>(i)}, i + 1, i * 10 - 50});

  ImageSurface composite;
  composite.Create({6, 8});
  ASSERT_EQ(WriteLayerFile(Path("round.vlb"), Refs(layers), 6, 8, composite, grid), 0);

  LayerList back;
  Size canvas{};
  GridSettings readGrid;
  ASSERT_EQ(ReadLayerFile(Path("round.vlb"), back, canvas, readGrid), 0);
  EXPECT_EQ(canvas, (Size{6, 8}));
  EXPECT_EQ(readGrid, grid);
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i]->Name(), layers[i]->Name());
    EXPECT_EQ(back[i]->OffsetX(), layers[i]->OffsetX());
    EXPECT_EQ(back[i]->OffsetY(), layers[i]->OffsetY());
    EXPECT_EQ(back[i]->Opacity(), layers[i]->Opacity());
    EXPECT_EQ(back[i]->BlendMode(), layers[i]->BlendMode());
    EXPECT_EQ(back[i]->IsVisible(), layers[i]->IsVisible());
    EXPECT_EQ(PixelBytesOf(*back[i]).data, PixelBytesOf(*layers[i]).data);
  }
  ASSERT_EQ(back[1]->Masks().Count(), 2);
  Region read;
  ASSERT_EQ(back[1]->Masks().ReadMask(1, read), 0);
  EXPECT_EQ(read.Bounds(), (Rect{-5, -5, -5, -5}));
  EXPECT_EQ(read.At(-5, -5), 9);
}

// A name read from a file goes back as the same bytes, also where the text shown is not what
// converts back: bytes outside code page 932, characters with two codes, UTF-8. A renamed layer
// is written in code page 932.
TEST_F(LayerFileTest, UnchangedNamesAreWrittenBackAsTheirBytes) {
  const std::vector<std::string> names = {"\x81", "ab\xFF\xFE", "x\x82", "\xA0\xFD", "\x87\x90", "\xEE\xEF",
                                          "\xED\x40", "\xE3\x83\xAC\xE3\x82\xA4\xE3\x83\xA4"};
  Bytes file = ChunkedHead(1, 1, static_cast<int32_t>(names.size()));
  for (const std::string& name : names) file.Append(LayerChunks(name, 1, 1, 0xFF000000u));
  file.Chunk("EOLL", 0);
  LayerList layers;
  Size canvas{};
  GridSettings grid;
  ASSERT_EQ(Read(file, layers, canvas, grid), 0);
  ASSERT_EQ(layers.size(), names.size());
  Layer copy;
  copy.TakeNameOf(*layers[5]);
  layers[5]->SetName("線画");
  LayerRefs refs = Refs(layers);
  refs.push_back(&copy);
  ImageSurface composite;
  ASSERT_EQ(composite.Create({1, 1}), 0);
  ASSERT_EQ(copy.Create({1, 1}), 0);
  ASSERT_EQ(WriteLayerFile(Path("names.vlb"), refs, 1, 1, composite, grid), 0);

  LayerList back;
  ASSERT_EQ(ReadLayerFile(Path("names.vlb"), back, canvas, grid), 0);
  ASSERT_EQ(back.size(), names.size() + 1);
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back[i]->NameAsStored(), i == 5 ? std::string("\x90\xFC\x89\xE6") : names[i]);
  }
  EXPECT_EQ(back.back()->NameAsStored(), names[5]);
}

TEST_F(LayerFileTest, ThirtyTwoAxesAreWrittenButNotRestored) {
  LayerList layers;
  layers.push_back(MakeLayer(2, 2, 1));
  GridSettings grid;
  grid.kind = 1;
  grid.axes.assign(32, GridAxis{ColourRef{1}, 2, 3});
  ImageSurface composite;
  composite.Create({2, 2});
  ASSERT_EQ(WriteLayerFile(Path("g.vlb"), Refs(layers), 2, 2, composite, grid), 0);
  LayerList back;
  Size canvas{};
  GridSettings read;
  ASSERT_EQ(ReadLayerFile(Path("g.vlb"), back, canvas, read), 0);
  EXPECT_EQ(read.kind, 1);
  EXPECT_TRUE(read.axes.empty());
  EXPECT_EQ(back.size(), 1u);
}

TEST_F(LayerFileTest, SimpleListIsWrittenByteForByteAndReadsBack) {
  LayerList layers;
  layers.push_back(MakeLayer(2, 2, 5));
  layers[0]->SetName("線");
  layers[0]->SetOpacity(42);
  layers[0]->SetBlendMode(BlendMode::kDarkerColour);
  layers[0]->SetOffset(3, -4);
  layers[0]->SetVisible(false);
  ASSERT_EQ(WriteLayerList(Path("l.vlb"), Refs(layers)), 0);
  Bytes expected;
  expected.Raw("LB").I32(1).Append(PixelHeader(2, 2)).U8(42).U32(7).I32(3).I32(-4).U8(0).U32(2).Raw("\x90\xFC");
  expected.Append(PixelBytesOf(*layers[0])).Raw("LE");
  EXPECT_EQ(ReadBytes(Path("l.vlb")), expected.data);

  LayerList back;
  ASSERT_EQ(ReadAnyLayerFile(Path("l.vlb"), back), 0);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0]->Name(), "線");
  EXPECT_EQ(back[0]->Opacity(), 42);
  EXPECT_EQ(back[0]->BlendMode(), BlendMode::kDarkerColour);
  EXPECT_EQ(back[0]->OffsetX(), 3);
  EXPECT_EQ(back[0]->OffsetY(), -4);
  EXPECT_FALSE(back[0]->IsVisible());
  EXPECT_EQ(PixelBytesOf(*back[0]).data, PixelBytesOf(*layers[0]).data);
}

// ------------------------------------------------------------------------------------------
// Reading: the rules for unusual and broken files

TEST_F(LayerFileTest, OutOfRangeBytesAreClampedAndNormalised) {
  Bytes b = ChunkedHead(2, 2, 1);
  b.Append(LayerChunks("x", 1, 1, 0x80FF0000u, 150, 7));
  LayerList layers;
  Size canvas{};
  GridSettings grid;
  ASSERT_EQ(Read(b, layers, canvas, grid), 0);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0]->Opacity(), 100);
  EXPECT_TRUE(layers[0]->IsVisible());
  EXPECT_EQ(layers[0]->Row(0)[0], 0x80FF0000u);
}

TEST_F(LayerFileTest, NameLengthLimitIs65535) {
  for (const uint32_t length : {65535u, 65536u}) {
    Bytes b = ChunkedHead(1, 1, 1);
    b.Append(LayerChunks(std::string(length, 'n'), 1, 1, 0));
    LayerList layers;
    Size canvas{};
    GridSettings grid;
    EXPECT_EQ(Read(b, layers, canvas, grid), length == 65535 ? 0 : -1) << length;
    if (length == 65535) {
      ASSERT_EQ(layers.size(), 1u);
      EXPECT_EQ(layers[0]->Name().size(), 65535u);
    }
  }
}

TEST_F(LayerFileTest, EndOfFileInsideTheLayerListIsTheNormalEnd) {
  const Bytes full = [] {
    Bytes b = ChunkedHead(2, 2, 3);
    b.Append(LayerChunks("one", 2, 2, 1)).Append(LayerChunks("two", 2, 2, 2));
    return b;
  }();
  struct Case {
    std::string what;
    Bytes bytes;
    size_t layers;
  };
  Bytes noEnd = full;  // last chunk "EOFL", no "EOLL"
  Bytes cutPixels = full;
  cutPixels.Append(LayerChunks("three", 2, 2, 3));
  cutPixels.data.resize(cutPixels.data.size() - 10 - 5);  // inside the third layer's pixels
  Bytes noEofl = full;
  noEofl.Append(LayerChunks("three", 2, 2, 3, 100, 1, false));
  Bytes cutHeader = full;
  cutHeader.Raw("CHLC");  // a chunk header cut short
  Bytes hugeLayer = full;  // a layer claiming 1 GB of pixels the file does not hold
  hugeLayer.Chunk("LCBE", 0).Chunk("LHBE", 18).U8(100).U32(0).U8(1).I32(0).I32(0).U32(0);
  hugeLayer.Chunk("CLBM", 40 + 16384u * 16384u * 4u).Append(PixelHeader(16384, 16384)).Zeros(100);
  for (const Case& c : std::vector<Case>{{"no EOLL", noEnd, 2}, {"cut pixels", cutPixels, 2},
                                         {"no EOFL", noEofl, 2}, {"cut header", cutHeader, 2},
                                         {"huge layer", hugeLayer, 2}}) {
    LayerList layers;
    Size canvas{};
    GridSettings grid;
    EXPECT_EQ(Read(c.bytes, layers, canvas, grid), 0) << c.what;
    ASSERT_EQ(layers.size(), c.layers) << c.what;
    EXPECT_EQ(layers[1]->Name(), "two") << c.what;
  }
}

TEST_F(LayerFileTest, ContradictoryOrTruncatedHeadersAreCorrupt) {
  struct Case {
    std::string what;
    Bytes bytes;
  };
  std::vector<Case> cases;
  {
    Bytes b;  // ends before "LLCB"
    b.Raw("\x4C\x58\x0D\x0A\x4C" "10000").Chunk("CNVS", 12).I32(1).I32(1).I32(1);
    cases.push_back({"no layer list", b});
  }
  {
    Bytes b;
    b.Raw("\x4C\x58\x0D\x0A\x4D" "10000").Chunk("LLCB", 0);
    cases.push_back({"wrong magic", b});
  }
  {
    Bytes b = ChunkedHead(1, 1, 1);
    b.Chunk("LCBE", 0).Chunk("CLBM", 40 + 3).Append(PixelHeader(1, 1)).Zeros(3);
    cases.push_back({"pixel chunk smaller than its pixels", b});
  }
  {
    Bytes b = ChunkedHead(1, 1, 1);
    b.Chunk("LCBE", 0).Chunk("CLBM", 40).Append(PixelHeader(0, 5));
    cases.push_back({"zero width", b});
  }
  {
    Bytes b = ChunkedHead(1, 1, 1);
    b.Chunk("LCBE", 0).Chunk("CLBM", 44).Append(PixelHeader(1, -1)).Zeros(4);
    cases.push_back({"negative height", b});
  }
  {
    Bytes b = ChunkedHead(1, 1, 1);
    b.Append(LayerChunks("a", 1, 1, 0, 100, 1, false));
    b.Chunk("LMDC", 16 + 3).I32(0).I32(0).I32(1).I32(1).Zeros(3);  // 2 × 2 needs 4 bytes
    cases.push_back({"mask chunk smaller than its bytes", b});
  }
  {
    Bytes b = ChunkedHead(1, 1, 1);
    b.Chunk("LCBE", 0).Chunk("LHBE", 18).U8(1).U32(0).U8(1).I32(0).I32(0).U32(4).Raw("name");
    cases.push_back({"layer header smaller than its name", b});
  }
  for (const Case& c : cases) {
    LayerList layers;
    Size canvas{};
    GridSettings grid;
    EXPECT_EQ(Read(c.bytes, layers, canvas, grid), -1) << c.what;
  }
}

TEST_F(LayerFileTest, UnknownChunksAreSkippedByTheirSize) {
  Bytes b;
  b.Raw("\x4C\x58\x0D\x0A\x4C" "10000").Chunk("ZZZZ", 3).Raw("abc");
  b.Chunk("CNVS", 12).I32(9).I32(8).I32(1).Chunk("LLCB", 0);
  b.Chunk("LCBE", 0).Chunk("LHBE", 19).U8(100).U32(0).U8(1).I32(0).I32(0).U32(1).Raw("q");
  b.Chunk("WHAT", 5).Raw("12345");  // between "LHBE" and "CLBM"
  b.Chunk("CLBM", 44).Append(PixelHeader(1, 1)).U32(0x11223344);
  b.Chunk("LMCH", 0).Chunk("EOFL", 0).Chunk("EOLL", 0);
  LayerList layers;
  Size canvas{};
  GridSettings grid;
  ASSERT_EQ(Read(b, layers, canvas, grid), 0);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(canvas, (Size{9, 8}));
  EXPECT_EQ(layers[0]->Name(), "q");
  EXPECT_EQ(layers[0]->Row(0)[0], 0x11223344u);
  EXPECT_EQ(grid, GridSettings{});  // no grid chunk: the defaults stay
}

TEST_F(LayerFileTest, GridChunkKeepsItsAxesOnlyWhenTheCountFits) {
  struct Case {
    uint32_t count;
    uint32_t size;
    size_t axes;
  };
  for (const Case c : {Case{31, 56 + 12 * 31, 31}, Case{32, 56 + 12 * 32, 0}, Case{2, 56 + 12 * 3, 0},
                       Case{0xFFFFFFFFu, 56, 0}}) {
    Bytes b;
    b.Raw("\x4C\x58\x0D\x0A\x4C" "10000");
    b.Chunk("ECV0", c.size).U32(0).U8(1).Zeros(3).I32(1).I32(5).I32(6).I32(7).I32(8).I32(1).F64(1.5).U32(0xFF).I32(1).U32(0).U32(c.count);
    for (uint32_t i = 0; i < (c.size - 56) / 12; ++i) b.U32(i).I32(static_cast<int32_t>(i)).I32(-static_cast<int32_t>(i));
    b.Chunk("LLCB", 0).Append(LayerChunks("a", 1, 1, 0));
    LayerList layers;
    Size canvas{3, 4};
    GridSettings grid;
    ASSERT_EQ(Read(b, layers, canvas, grid), 0) << c.count;
    EXPECT_EQ(canvas, (Size{3, 4}));  // no canvas chunk: kept
    EXPECT_EQ(grid.cellWidth, 5);
    EXPECT_EQ(grid.zoomThreshold, 1.5);
    EXPECT_EQ(grid.colour, ColourRef{0xFFu});
    ASSERT_EQ(grid.axes.size(), c.axes) << c.count;
    if (c.axes > 0) {
      EXPECT_EQ(grid.axes[30], (GridAxis{ColourRef{30}, 30, -30}));
    }
    EXPECT_EQ(layers.size(), 1u);
  }
}

TEST_F(LayerFileTest, KindIsDetectedFromTheFirstBytes) {
  struct Case {
    std::string bytes;
    int32_t kind;
  };
  for (const Case& c : {Case{"LB\xFF\x00\x13garbage", 1}, Case{"LB", 1}, Case{"\x4C\x58\x0D\x0A\x4C" "10000", 2},
                        Case{"LX\x0D\x0A\x4D", -1}, Case{"LXzzz", -1}, Case{"", -1}, Case{"BM", -1}}) {
    const std::string path = Path("k.vlb");
    WriteBytes(path, std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
    EXPECT_EQ(DetectLayerFileKind(path), c.kind) << c.bytes;
  }
  EXPECT_EQ(DetectLayerFileKind(Path("missing.vlb")), -1);
}

TEST_F(LayerFileTest, SimpleListFailures) {
  auto record = [](int32_t w, int32_t h, uint32_t nameLength, const std::string& end) {
    Bytes b;
    b.Append(PixelHeader(w, h)).U8(100).U32(0).I32(0).I32(0).U8(1).U32(nameLength).Raw(std::string(nameLength, 'n'));
    for (int32_t i = 0; i < std::max(0, w * h); ++i) b.U32(0xFFFFFFFF);
    b.Raw(end);
    return b;
  };
  struct Case {
    std::string what;
    Bytes bytes;
    int32_t result;
    size_t layers;
  };
  std::vector<Case> cases;
  {
    Bytes b;
    b.Raw("LB").I32(2).Append(record(1, 1, 1, "LE")).Append(record(2, 1, 0, "LE"));
    cases.push_back({"two good records", b, 0, 2});
  }
  {
    Bytes b;
    b.Raw("LB").I32(2).Append(record(1, 1, 1, "LE")).Append(record(2, 1, 0, "LX"));
    cases.push_back({"record not ending in LE", b, -1, 1});
  }
  {
    Bytes b;
    b.Raw("LB").I32(1000000).Append(record(1, 1, 1, "LE"));
    cases.push_back({"count the file cannot hold", b, -1, 0});
  }
  {
    Bytes b;
    b.Raw("LB").I32(-1);
    cases.push_back({"negative count", b, -1, 0});
  }
  {
    Bytes b;
    b.Raw("LB").I32(1).Append(PixelHeader(1, 1)).U8(100).U32(0).I32(0).I32(0).U8(1).U32(0x7FFFFFFF).Zeros(8);
    cases.push_back({"name longer than the file", b, -1, 0});
  }
  {
    Bytes b;
    b.Raw("LB").I32(1).Append(PixelHeader(30000, 30000)).U8(100).U32(0).I32(0).I32(0).U8(1).U32(0).Zeros(64);
    cases.push_back({"pixels the file does not hold", b, -1, 0});
  }
  {
    Bytes b;
    b.Raw("LB").I32(1).Append(record(0, 1, 0, "LE"));
    cases.push_back({"zero width", b, -1, 0});
  }
  {
    Bytes b;
    b.Raw("LC").I32(0);
    cases.push_back({"wrong signature", b, -1, 0});
  }
  for (const Case& c : cases) {
    const std::string path = Path("list.vlb");
    WriteBytes(path, c.bytes.data);
    LayerList layers;
    EXPECT_EQ(ReadLayerList(path, layers), c.result) << c.what;
    EXPECT_EQ(layers.size(), c.layers) << c.what;
  }
}

TEST_F(LayerFileTest, AnyLayerFileRejectsOtherFilesAndMissingOnes) {
  WriteBytes(Path("bm.vlb"), {'B', 'M', 0, 0, 0, 0});
  LayerList layers;
  EXPECT_EQ(ReadAnyLayerFile(Path("bm.vlb"), layers), -1);
  EXPECT_EQ(ReadAnyLayerFile(Path("none.vlb"), layers), -1);
  EXPECT_EQ(ReadAnyLayerFile(folder.Path().string(), layers), -1);  // a folder
  EXPECT_TRUE(layers.empty());
}

TEST_F(LayerFileTest, WriteErrorThrowsAndLeavesNoFile) {
  LayerList layers;
  layers.push_back(MakeLayer(2, 2, 1));
  ImageSurface composite;
  composite.Create({2, 2});
  EXPECT_THROW(WriteLayerFile(Path("no/such/folder/a.vlb"), Refs(layers), 2, 2, composite, GridSettings{}), FileError);
  EXPECT_THROW(WriteLayerList(Path("no/such/folder/a.vlb"), Refs(layers)), FileError);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path().string()));
}

TEST_F(LayerFileTest, OverwritingKeepsThePermissionsAndLeavesNothingBehind) {
  LayerList layers;
  layers.push_back(MakeLayer(2, 2, 1));
  ImageSurface composite;
  composite.Create({2, 2});
  WriteBytes(Path("a.vlb"), {'o', 'l', 'd'});
  std::filesystem::permissions(Path("a.vlb"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_EQ(WriteLayerFile(Path("a.vlb"), Refs(layers), 2, 2, composite, GridSettings{}), 0);
  EXPECT_GT(ReadBytes(Path("a.vlb")).size(), 100u);
  EXPECT_EQ(std::filesystem::status(Path("a.vlb")).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) names.push_back(entry.path().filename());
  EXPECT_EQ(names, (std::vector<std::string>{"a.vlb"}));
}

TEST_F(LayerFileTest, AFolderOrALinkAtThePathIsNeverSwappedAway) {
  LayerList layers;
  layers.push_back(MakeLayer(2, 2, 1));
  ImageSurface composite;
  composite.Create({2, 2});
  std::filesystem::create_directory(Path("folder.vlb"));
  EXPECT_THROW(WriteLayerFile(Path("folder.vlb"), Refs(layers), 2, 2, composite, GridSettings{}), FileError);
  EXPECT_TRUE(std::filesystem::is_directory(Path("folder.vlb")));
  // A link is replaced by the new file, as a rename does; what it pointed at stays.
  WriteBytes(Path("target.vlb"), {'o', 'l', 'd'});
  std::filesystem::create_symlink(Path("target.vlb"), Path("link.vlb"));
  ASSERT_EQ(WriteLayerFile(Path("link.vlb"), Refs(layers), 2, 2, composite, GridSettings{}), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(Path("link.vlb")));
  EXPECT_EQ(ReadBytes(Path("target.vlb")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"folder.vlb", "link.vlb", "target.vlb"}));
}

TEST(LayerFilePaths, ExtensionTestsLookAtTheLastThreeCharacters) {
  EXPECT_TRUE(IsLayerFilePath("a.vlb"));
  EXPECT_TRUE(IsLayerFilePath("A.VlB"));
  EXPECT_TRUE(IsLayerFilePath("vlb"));
  EXPECT_TRUE(IsLayerFilePath("noextvlb"));
  EXPECT_FALSE(IsLayerFilePath("a.vlb "));
  EXPECT_FALSE(IsLayerFilePath("lb"));
  EXPECT_TRUE(IsBitmapPath("x.Bmp"));
  EXPECT_FALSE(IsBitmapPath("x.dib"));
}

}  // namespace
}  // namespace varnel

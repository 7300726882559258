// Copying a layer file into another with the pixels left in the file: the same bytes as
// opening the file and writing it again, for every shape of file the reader takes, and nothing
// written for what it refuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/region.h"
#include "document/document_file.h"
#include "platform/host.h"
#include "test_files.h"

namespace varnel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// Pixels that differ from row to row and carry every kind of alpha, so that each row of the
// preview depends on the layer rows under it.
std::unique_ptr<Layer> Patterned(int32_t w, int32_t h, int32_t x, int32_t y, uint32_t seed) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  layer->SetOffset(x, y);
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c)
      layer->Row(r)[c] = (seed + static_cast<uint32_t>(r * w + c)) * 2654435761u ^ static_cast<uint32_t>(r) << 24;
  return layer;
}

Bytes PixelChunk(int32_t w, int32_t h, uint32_t seed, uint32_t extra = 0) {
  Bytes b;
  b.Chunk("CLBM", static_cast<uint32_t>(40 + w * h * 4) + extra).U32(40).I32(w).I32(h).U16(1).U16(32).Zeros(24);
  for (int32_t i = 0; i < w * h; ++i) b.U32((seed + static_cast<uint32_t>(i)) * 40503u ^ 0x5A000000u * (i & 3));
  return b.Zeros(extra);
}

Bytes LayerHead(const std::string& name, int32_t x, int32_t y, uint8_t opacity = 100, uint32_t mode = 0,
                uint8_t visible = 1, uint32_t extra = 0) {
  Bytes b;
  b.Chunk("LCBE", 0);
  b.Chunk("LHBE", static_cast<uint32_t>(18 + name.size()) + extra).U8(opacity).U32(mode).U8(visible).I32(x).I32(y);
  return b.U32(static_cast<uint32_t>(name.size())).Raw(name).Zeros(extra);
}

Bytes Magic() { return Bytes{}.Raw("\x4C\x58\x0D\x0A\x4C" "10000"); }

// A file the program's writer made: layers of several sizes at offsets inside and outside the
// canvas, blend modes, opacities, a hidden layer, masks (one enabled) and a grid with axes.
void WriteFullDocument(const std::string& path) {
  LayerList layers;
  layers.push_back(Patterned(300, 200, 0, 0, 1));
  layers.push_back(Patterned(120, 90, -30, 150, 2));
  layers.push_back(Patterned(80, 260, 250, -20, 3));
  layers.push_back(Patterned(1, 1, 5, 5, 4));
  layers.push_back(Patterned(40, 40, 100, 60, 5));
  layers[0]->SetName("背景");
  layers[1]->SetName("レイヤ2 ～ 線画");
  layers[1]->SetBlendMode(BlendMode::kMultiply);
  layers[1]->SetOpacity(60);
  layers[2]->SetBlendMode(BlendMode::kSoftLight);
  layers[3]->SetVisible(false);
  layers[4]->SetBlendMode(BlendMode::kScreen);
  Region mask;
  ASSERT_EQ(mask.Create({100, 60, 139, 79}, 128), 0);
  layers[4]->Masks().AddMask(mask);
  layers[4]->Masks().SetMaskEnabled(0, true);
  ASSERT_EQ(mask.Create({-40, 140, -20, 160}, 7), 0);
  layers[1]->Masks().AddMask(mask);
  GridSettings grid;
  grid.shown = 1;
  grid.kind = 1;
  grid.cellWidth = 7;
  grid.originY = -4;
  grid.zoomThreshold = 2.5;
  grid.axes = GridSettings::DialogAxes();
  LayerRefs refs;
  for (const auto& layer : layers) refs.push_back(layer.get());
  ImageSurface composite;
  ASSERT_EQ(composite.Create({300, 200}), 0);
  ASSERT_EQ(WriteLayerFile(path, refs, 300, 200, composite, grid), 0);
}

class LayerFileCopyTest : public ::testing::Test {
 protected:
  TempFolder folder;
  RecordingHost host;
  ScopedHost scoped{host};
  std::string Path(const std::string& name) const { return folder.File(name); }

  // What opening in and writing it to out writes, without the copy.
  std::vector<uint8_t> Reopened(const std::string& in, const std::string& out) {
    OpenedPicture picture;
    EXPECT_EQ(ReadPicture(in, picture), 0);
    const GridSettings grid = picture.grid.value_or(GridSettings{});
    Canvas canvas;
    PlacePicture(canvas, picture, false);
    ComposeForWriting(canvas, out);
    EXPECT_EQ(WriteCanvas(out, canvas, grid), SaveResult::kWritten);
    return ReadBytes(out);
  }
};

TEST_F(LayerFileCopyTest, CopyWritesTheBytesThatOpeningAndSavingWrite) {
  struct Case {
    std::string name;
    Bytes bytes;  // empty: the full document of the program's writer
  };
  const Bytes grid = [] {
    Bytes b;
    b.Chunk("ECV0", 56 + 12).U32(0xFFFFFFFF).U8(9).Zeros(3).I32(1).I32(5).I32(6).I32(-1).I32(2).I32(1).F64(8.0);
    return b.U32(0x00ABCDEF).I32(1).U32(0xFFFFFFFF).U32(1).U32(0x00102030).I32(12).I32(45);
  }();
  std::vector<Case> cases = {
      {"written by the program", {}},
      {"no preview, canvas and grid",
       Magic().Chunk("CNVS", 12).I32(64).I32(48).I32(2).Append(grid).Chunk("LLCB", 0)
           .Append(LayerHead("a", 0, 0)).Append(PixelChunk(64, 48, 1)).Chunk("EOFL", 0)
           .Append(LayerHead("b", 10, -5, 50, 3)).Append(PixelChunk(30, 70, 2)).Chunk("EOFL", 0).Chunk("EOLL", 0)},
      {"no canvas chunk: the first layer's size",
       Magic().Append(grid).Chunk("LLCB", 0).Append(LayerHead("a", 7, 7)).Append(PixelChunk(50, 130, 3))
           .Chunk("EOFL", 0).Append(LayerHead("b", -3, 2, 100, 1)).Append(PixelChunk(60, 20, 4)).Chunk("EOFL", 0)},
      {"no grid chunk: the default grid",
       Magic().Chunk("CNVS", 12).I32(40).I32(300).I32(1).Chunk("LLCB", 0).Append(LayerHead("a", 0, 0))
           .Append(PixelChunk(40, 300, 5)).Chunk("EOFL", 0)},
      {"canvas of size 0: the first layer's size",
       Magic().Chunk("CNVS", 12).I32(0).I32(0).I32(1).Chunk("LLCB", 0).Append(LayerHead("a", 0, 0))
           .Append(PixelChunk(33, 17, 6)).Chunk("EOFL", 0)},
      {"too thin for a preview",
       Magic().Chunk("CNVS", 12).I32(500).I32(2).I32(1).Chunk("LLCB", 0).Append(LayerHead("a", 0, 0))
           .Append(PixelChunk(500, 2, 7)).Chunk("EOFL", 0)},
      {"odd chunks: a canvas chunk's size ignored, unknown, padded, pixels twice, a layer left open",
       Magic().Chunk("CNVS", 0).I32(90).I32(90).I32(3).Chunk("XTRA", 3).Raw("xyz").Chunk("LLCB", 0)
           .Chunk("ZZZZ", 2).Raw("zz").Append(LayerHead("padded", 1, 2, 80, 0, 1, 5)).Append(PixelChunk(90, 90, 8, 9))
           .Chunk("EOFL", 0).Append(LayerHead("twice", 20, 20)).Append(PixelChunk(10, 10, 9)).Append(PixelChunk(45, 60, 10))
           .Chunk("EOFL", 0).Append(LayerHead("open", 0, 0)).Append(PixelChunk(90, 90, 11))},
  };
  for (const Case& c : cases) {
    const std::string in = Path("in.vlb");
    if (c.bytes.data.empty()) {
      WriteFullDocument(in);
    } else {
      WriteBytes(in, c.bytes.data);
    }
    // The copy first: memory the general way frees could otherwise hand it the same pixels.
    ASSERT_TRUE(CopyLayerFile(in, Path("copied.vlb"))) << c.name;
    EXPECT_EQ(ReadBytes(Path("copied.vlb")), Reopened(in, Path("reopened.vlb"))) << c.name;
  }
}

TEST_F(LayerFileCopyTest, CopyOverTheFileItselfKeepsItsContent) {
  WriteFullDocument(Path("self.vlb"));
  const std::vector<uint8_t> expected = Reopened(Path("self.vlb"), Path("reopened.vlb"));
  ASSERT_TRUE(CopyLayerFile(Path("self.vlb"), Path("self.vlb")));
  EXPECT_EQ(ReadBytes(Path("self.vlb")), expected);
}

TEST_F(LayerFileCopyTest, WhatTheCopyCannotTakeIsLeftToTheGeneralWayWithNothingWritten) {
  WriteFullDocument(Path("good.vlb"));
  WriteFullDocument(Path("good.bmp"));
  const Bytes head = Magic().Chunk("CNVS", 12).I32(8).I32(8).I32(1).Chunk("LLCB", 0);
  const Bytes hugeLayer = Bytes(head).Append(LayerHead("huge", 0, 0)).Chunk("CLBM", 40 + 16384u * 16384u * 4u)
                              .U32(40).I32(16384).I32(16384).U16(1).U16(32).Zeros(24).Zeros(100).Chunk("EOFL", 0);
  struct Case {
    std::string name;
    std::string in;
    std::vector<uint8_t> bytes;  // written to in unless empty
    std::string out;
  };
  const std::vector<Case> cases = {
      {"missing file", "missing.vlb", {}, "out.vlb"},
      {"bitmap bytes", "bitmap.vlb", {'B', 'M', 0, 0, 0, 0, 0, 0}, "out.vlb"},
      {"simple layer list", "list.vlb", {'L', 'B', 0, 0, 0, 0}, "out.vlb"},
      {"cut inside the canvas chunk", "cut.vlb", Magic().Chunk("CNVS", 12).I32(8).data, "out.vlb"},
      {"contradicting pixel header", "bad.vlb",
       Bytes(head).Append(LayerHead("a", 0, 0)).Chunk("CLBM", 40).U32(40).I32(0).I32(5).Zeros(28).data, "out.vlb"},
      {"no complete layer", "open.vlb", Bytes(head).Append(LayerHead("a", 0, 0)).Append(PixelChunk(8, 8, 1)).data,
       "out.vlb"},
      {"pixels the file does not hold", "huge.vlb", hugeLayer.data, "out.vlb"},
      {"input not named as a layer file", "good.bmp", {}, "out.vlb"},
      {"output not named as a layer file", "good.vlb", {}, "out.bmp"},
  };
  for (const Case& c : cases) {
    if (!c.bytes.empty()) WriteBytes(Path(c.in), c.bytes);
    EXPECT_FALSE(CopyLayerFile(Path(c.in), Path(c.out))) << c.name;
    EXPECT_FALSE(std::filesystem::exists(Path(c.out))) << c.name;
  }
}

TEST_F(LayerFileCopyTest, LeftPixelsAreReadOnlyForTheRowsAskedFor) {
  Bytes file = Magic().Chunk("LLCB", 0).Append(LayerHead("a", 0, 0));
  const size_t pixelsAt = file.data.size() + 10 + 40;
  file.Append(PixelChunk(3, 4, 21)).Chunk("EOFL", 0);
  WriteBytes(Path("rows.vlb"), file.data);
  LayerList layers;
  Size canvas{-1, -1};
  GridSettings grid;
  grid.cellWidth = 99;
  bool hadCanvas = true;
  LayerFilePixels pixels;
  ASSERT_EQ(ReadLayerFileLeavingPixels(Path("rows.vlb"), layers, canvas, grid, hadCanvas, pixels), 0);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_FALSE(hadCanvas);
  EXPECT_EQ(canvas, (Size{-1, -1}));
  EXPECT_EQ(grid.cellWidth, 99);
  Layer& layer = *layers[0];
  EXPECT_EQ(pixels.Place(layer), static_cast<int64_t>(pixelsAt));
  for (int32_t y = 0; y < 4; ++y) std::fill_n(layer.Row(y), 3, 0xDEADBEEFu);
  ASSERT_EQ(pixels.ReadRows(layer, {-1, 0, 2, 4}), 0);
  // The file holds the bottom row first: image row y is file row 3 - y.
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      const uint32_t i = static_cast<uint32_t>((3 - y) * 3 + x);
      const uint32_t fromFile = (21 + i) * 40503u ^ 0x5A000000u * (i & 3);
      EXPECT_EQ(layer.Row(y)[x], (y == 0 || y == 2) ? fromFile : 0xDEADBEEFu) << x << ", " << y;
    }
  }
  Layer stranger;
  ASSERT_EQ(stranger.Create({3, 4}), 0);
  EXPECT_EQ(pixels.Place(stranger), -1);
  EXPECT_EQ(pixels.ReadRows(stranger, {0}), -1);
}

}  // namespace
}  // namespace varnel

// varnel-cli thumbnail: the stored preview of a layer file, else the composite, scaled down by
// box means into a PNG that fits the asked size.

#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>

#include "cli/thumbnail_command.h"
#include "document/layer_file.h"
#include "tests/cli/cli_run.h"
#include "tests/document/test_files.h"
#include "tests/support/temp_folder.h"

namespace varnel::cli {
namespace {

using cli_test::RunCli;

struct FitCase {
  const char* name;
  Size size;
  int32_t limit;
  Size expected;
};

TEST(ThumbnailFit, KeepsTheAspectRoundsTheShortSideAndNeverEnlarges) {
  const FitCase cases[] = {
      {"wide", {1000, 500}, 120, {120, 60}},
      {"tall", {500, 1000}, 120, {60, 120}},
      {"square", {256, 256}, 128, {128, 128}},
      {"short side rounds to nearest", {300, 200}, 256, {256, 171}},  // 200·256/300 = 170.67
      {"short side rounds down", {3, 2}, 2, {2, 1}},                 // 2·2/3 = 1.33
      {"a line keeps one pixel", {1000, 1}, 128, {128, 1}},
      {"already fits", {100, 50}, 128, {100, 50}},
      {"exactly the limit", {128, 64}, 128, {128, 64}},
  };
  for (const FitCase& c : cases) EXPECT_EQ(FitWithin(c.size, c.limit), c.expected) << c.name;
}

struct ScaleCase {
  const char* name;
  ThumbnailPicture source;
  Size target;
  std::vector<uint32_t> expected;
};

TEST(ThumbnailScale, EveryPixelIsTheRoundedMeanOfItsBox) {
  const ScaleCase cases[] = {
      // 2 × 2 boxes. Left: red 0+1+2+2 = 5 → (5 + 2) / 4 = 1, green 4·255 → 255, blue 1+1+1+2 = 5 → 1.
      // Right: red 32+64+96+96 = 288 → 72.
      {"halves both ways", {4, 2, {0x0000FF01, 0x0001FF01, 0x00200000, 0x00400000,
                                   0x0002FF01, 0x0002FF02, 0x00600000, 0x00600000}},
       {2, 1}, {0x0001FF01, 0x00480000}},
      // 3 columns into 2: boxes [0, 1) and [1, 3); (10 + 21) / 2 = 15.5 rounds up to 16.
      {"uneven boxes", {3, 1, {0x00640000, 0x000A0000, 0x00150000}}, {2, 1}, {0x00640000, 0x00100000}},
      {"same size copies", {2, 1, {0x00123456, 0x00ABCDEF}}, {2, 1}, {0x00123456, 0x00ABCDEF}},
  };
  for (const ScaleCase& c : cases) {
    const ThumbnailPicture result = ScaleDown(c.source, c.target);
    EXPECT_EQ(result.width, c.target.width) << c.name;
    EXPECT_EQ(result.height, c.target.height) << c.name;
    EXPECT_EQ(result.pixels, c.expected) << c.name;
  }
}

// Chunked layer file pieces, written as the format lays them out.
void Append(std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> more) { bytes.insert(bytes.end(), more); }
void AppendU32(std::vector<uint8_t>& bytes, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void AppendChunk(std::vector<uint8_t>& bytes, const char* tag, const std::vector<uint8_t>& body, uint32_t size) {
  bytes.push_back('C');
  bytes.push_back('H');
  bytes.insert(bytes.end(), tag, tag + 4);
  AppendU32(bytes, size);
  bytes.insert(bytes.end(), body.begin(), body.end());
}
void AppendChunk(std::vector<uint8_t>& bytes, const char* tag, const std::vector<uint8_t>& body) {
  AppendChunk(bytes, tag, body, static_cast<uint32_t>(body.size()));
}
std::vector<uint8_t> Signature() { return {0x4C, 0x58, 0x0D, 0x0A, 0x4C, '1', '0', '0', '0', '0'}; }

// A pixel block of w × h; rows given top first, stored bottom first as blue, green, red, alpha.
std::vector<uint8_t> PixelBlock(int32_t w, int32_t h, const std::vector<uint32_t>& topFirst) {
  std::vector<uint8_t> block;
  AppendU32(block, 40);
  AppendU32(block, static_cast<uint32_t>(w));
  AppendU32(block, static_cast<uint32_t>(h));
  Append(block, {1, 0, 32, 0});
  block.resize(40, 0);
  for (int32_t y = h - 1; y >= 0; --y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = topFirst[static_cast<size_t>(y * w + x)];
      Append(block, {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16), 0x80});
    }
  return block;
}

std::vector<uint8_t> Canvas12() {
  std::vector<uint8_t> body;
  AppendU32(body, 4);
  AppendU32(body, 2);
  AppendU32(body, 0);
  return body;
}

const std::vector<uint32_t> kPreview4x2 = {0x00FF0000, 0x00FF0000, 0x000000FF, 0x00000000,
                                           0x00FF0000, 0x00FF0000, 0x000000FF, 0x000000FD};

struct PreviewCase {
  const char* name;
  std::vector<uint8_t> file;
  bool found;
};

TEST(ThumbnailPreview, IsReadOnlyFromAWholePreviewChunkAheadOfTheLayers) {
  auto file = [](std::vector<std::pair<const char*, std::vector<uint8_t>>> chunks, std::vector<uint8_t> start = Signature()) {
    for (auto& [tag, body] : chunks) AppendChunk(start, tag, body);
    return start;
  };
  std::vector<uint8_t> lyingSize = Signature();
  AppendChunk(lyingSize, "PRVW", PixelBlock(4, 2, kPreview4x2), 40 + 4 * 4 * 2 - 4);
  std::vector<uint8_t> cut = file({{"PRVW", PixelBlock(4, 2, kPreview4x2)}});
  cut.resize(cut.size() - 1);
  std::vector<uint8_t> list = {'L', 'B', 1, 0, 0, 0};
  const PreviewCase cases[] = {
      {"first chunk", file({{"PRVW", PixelBlock(4, 2, kPreview4x2)}, {"LLCB", {}}}), true},
      {"after other chunks", file({{"CNVS", Canvas12()}, {"ECV0", std::vector<uint8_t>(56)}, {"PRVW", PixelBlock(4, 2, kPreview4x2)}}), true},
      {"after the layer list starts", file({{"LLCB", {}}, {"PRVW", PixelBlock(4, 2, kPreview4x2)}}), false},
      {"empty preview", file({{"PRVW", PixelBlock(0, 0, {})}}), false},
      {"size smaller than its pixels", lyingSize, false},
      {"file cut inside the pixels", cut, false},
      {"simple layer list", list, false},
      {"no chunks", Signature(), false},
  };
  test::TempFolder folder;
  for (const PreviewCase& c : cases) {
    const std::string path = folder / "p.vlb";
    test::WriteBytes(path, c.file);
    ThumbnailPicture preview;
    ASSERT_EQ(ReadStoredPreview(path, preview), c.found) << c.name;
    if (!c.found) continue;
    EXPECT_EQ(preview.width, 4) << c.name;
    EXPECT_EQ(preview.height, 2) << c.name;
    EXPECT_EQ(preview.pixels, kPreview4x2) << c.name;
  }
}

// The PNG's pixels as 0x00RRGGBB, top row first; width 0 when it is no PNG.
ThumbnailPicture DecodePng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ThumbnailPicture picture;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return picture;
  picture.width = static_cast<int32_t>(image.width);
  picture.height = static_cast<int32_t>(image.height);
  for (size_t i = 0; i + 2 < rgb.size(); i += 3)
    picture.pixels.push_back(uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
  return picture;
}

TEST(ThumbnailCommand, WritesTheStoredPreviewScaledToFit) {
  test::TempFolder folder;
  std::vector<uint8_t> bytes = Signature();
  AppendChunk(bytes, "PRVW", PixelBlock(4, 2, kPreview4x2));
  AppendChunk(bytes, "LLCB", {});
  test::WriteBytes(folder / "a.vlb", bytes);
  // The output name need not end in .png: file managers hand over names of their own.
  const auto result = RunCli({"thumbnail", folder / "a.vlb", folder / "out.tmp", "2"});
  ASSERT_EQ(result.status, 0) << result.err;
  const ThumbnailPicture png = DecodePng(folder / "out.tmp");
  EXPECT_EQ(png.width, 2);
  EXPECT_EQ(png.height, 1);
  // Left box: four pure reds. Right box: blue 255, 0, 255, 253 → 763 / 4 = 190.75 → 191.
  EXPECT_EQ(png.pixels, (std::vector<uint32_t>{0x00FF0000, 0x000000BF}));
}

TEST(ThumbnailCommand, FallsBackToTheCompositeOfAFileWithoutPreview) {
  test::TempFolder folder;
  auto layer = std::make_unique<Layer>();
  ASSERT_EQ(layer->Create({2, 2}), 0);
  const uint32_t pixels[4] = {0xFF102030, 0xFF405060, 0xFF000000, 0xFFFFFFFF};
  for (int i = 0; i < 4; ++i) layer->Row(i / 2)[i % 2] = pixels[i];
  ASSERT_EQ(WriteLayerList(folder / "list.vlb", {layer.get()}), 0);
  const auto result = RunCli({"thumbnail", folder / "list.vlb", folder / "out.png", "1"});
  ASSERT_EQ(result.status, 0) << result.err;
  const ThumbnailPicture png = DecodePng(folder / "out.png");
  // Red 0x10 + 0x40 + 0 + 0xFF = 335 → 84; green 0x20 + 0x50 + 0xFF = 367 → 92; blue 0x30 + 0x60 + 0xFF = 399 → 100.
  EXPECT_EQ(png.width, 1);
  EXPECT_EQ(png.pixels, (std::vector<uint32_t>{0x00545C64}));
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> arguments;  // after "thumbnail"; IN is the folder's "in.vlb"
  int status;
};

TEST(ThumbnailCommand, RefusesBadArgumentsAndUnreadableFilesWithoutWriting) {
  test::TempFolder folder;
  test::WriteBytes(folder / "junk.vlb", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
  const RefusalCase cases[] = {
      {"size 0", {folder / "junk.vlb", folder / "out.png", "0"}, 2},
      {"size not a number", {folder / "junk.vlb", folder / "out.png", "big"}, 2},
      {"size too large", {folder / "junk.vlb", folder / "out.png", "4097"}, 2},
      {"missing size", {folder / "junk.vlb", folder / "out.png"}, 2},
      {"not a picture", {folder / "junk.vlb", folder / "out.png", "128"}, 1},
      {"no such file", {folder / "none.vlb", folder / "out.png", "128"}, 1},
  };
  for (const RefusalCase& c : cases) {
    std::vector<std::string> arguments = {"thumbnail"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(RunCli(arguments).status, c.status) << c.name;
    EXPECT_FALSE(std::filesystem::exists(folder / "out.png")) << c.name;
  }
}

}  // namespace
}  // namespace varnel::cli

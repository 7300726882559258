// Layerpeek loaded from the program folder as an image viewer loads it: what it says about
// itself, which files it takes, and the 24-bit pictures it makes of both kinds of layer file,
// written by the program's own writers or spelled out byte by byte.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/layer_file.h"
#include "tests/document/test_files.h"
#include "tests/plugins/plugin_loader.h"

namespace varnel {
namespace {

using test::Bytes;
using test::Picture;
using test::PicturePlugin;
using test::TempFolder;
using test::WriteBytes;

const uint8_t kMagic[] = {0x4C, 0x58, 0x0D, 0x0A, 0x4C};

class LayerpeekTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(plugin.Loaded()) << plugin.Error(); }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = folder.File(name);
    WriteBytes(path, bytes.data);
    return path;
  }

  PicturePlugin plugin{"Layerpeek.spi"};
  TempFolder folder;
};

// A test pattern with every channel different, alpha included.
uint32_t Pattern(int32_t x, int32_t y) {
  const uint32_t b = static_cast<uint32_t>(x) & 0xFF;
  const uint32_t g = static_cast<uint32_t>(y) & 0xFF;
  const uint32_t r = static_cast<uint32_t>(x * 7 + y * 3) & 0xFF;
  const uint32_t a = static_cast<uint32_t>(x + y * 5 + 1) & 0xFF;
  return a << 24 | r << 16 | g << 8 | b;
}

void Fill(ImageSurface& s, uint32_t seed) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.Row(y)[x] = Pattern(x, y) ^ seed;
}

// The 44-byte information block expected for a picture of w × h: the header as the writers
// store it with the bit count set to 24, then 4 zero bytes.
std::vector<uint8_t> InfoBlock(int32_t w, int32_t h) {
  Bytes b;
  b.U32(40).I32(w).I32(h).U16(1).U16(24).Zeros(24).Zeros(4);
  return b.data;
}

// The rows Layerpeek makes of top-down pixels: bottom row first, blue, green, red, each row
// padded with zeros to a multiple of 4 bytes.
std::vector<uint8_t> Rows24(int32_t w, int32_t h, const std::vector<uint32_t>& topDown) {
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> rows(stride * static_cast<size_t>(h), 0);
  for (int32_t j = 0; j < h; ++j) {
    uint8_t* out = rows.data() + static_cast<size_t>(h - 1 - j) * stride;
    for (int32_t i = 0; i < w; ++i) {
      const uint32_t p = topDown[static_cast<size_t>(j) * w + i];
      out[i * 3 + 0] = static_cast<uint8_t>(p);
      out[i * 3 + 1] = static_cast<uint8_t>(p >> 8);
      out[i * 3 + 2] = static_cast<uint8_t>(p >> 16);
    }
  }
  return rows;
}

std::vector<uint8_t> PictureRows(const Picture& picture, int32_t w, int32_t h) {
  const size_t size = (static_cast<size_t>(w) * 3 + 3) / 4 * 4 * static_cast<size_t>(h);
  return std::vector<uint8_t>(picture.Bytes(), picture.Bytes() + size);
}

std::unique_ptr<Layer> MakeLayer(int32_t w, int32_t h, uint32_t seed) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create({w, h}), 0);
  Fill(*layer, seed);
  return layer;
}

// A chunked layer file written by the program for a canvas of the given size.
void WriteCanvasFile(const std::string& path, int32_t width, int32_t height) {
  ImageSurface composite;
  ASSERT_EQ(composite.Create({width, height}), 0);
  Fill(composite, 0);
  LayerList layers;
  layers.push_back(MakeLayer(3, 2, 0x12345678));
  ASSERT_EQ(WriteLayerFile(path, {layers[0].get()}, width, height, composite, GridSettings{}), 0);
}

struct PreviewCase {
  const char* name;
  int32_t canvasWidth;
  int32_t canvasHeight;
  int32_t previewWidth;
  int32_t previewHeight;
  size_t rowBytes;
};

void PrintTo(const PreviewCase& c, std::ostream* os) { *os << c.name; }

class LayerpeekPreviewTest : public LayerpeekTest, public ::testing::WithParamInterface<PreviewCase> {};

// The preview pixel (i, j) is the canvas pixel ((i × m) ÷ 120, (j × m) ÷ 120), m the longer side.
TEST_P(LayerpeekPreviewTest, ReturnsTheStoredPreviewAs24BitRows) {
  const PreviewCase& c = GetParam();
  const std::string path = folder.File("canvas.vlb");
  WriteCanvasFile(path, c.canvasWidth, c.canvasHeight);
  const int32_t m = std::max(c.canvasWidth, c.canvasHeight);
  std::vector<uint32_t> expected;
  for (int32_t j = 0; j < c.previewHeight; ++j)
    for (int32_t i = 0; i < c.previewWidth; ++i) expected.push_back(Pattern(i * m / 120, j * m / 120));

  for (auto entry : {plugin.getPicture, plugin.getPreview}) {
    Picture picture;
    ASSERT_EQ(entry(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), 0);
    EXPECT_EQ(picture.InfoBytes(), InfoBlock(c.previewWidth, c.previewHeight));
    EXPECT_EQ(test::DibStride(c.previewWidth, 24), c.rowBytes);
    EXPECT_EQ(PictureRows(picture, c.previewWidth, c.previewHeight), Rows24(c.previewWidth, c.previewHeight, expected));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Canvases, LayerpeekPreviewTest,
    ::testing::Values(PreviewCase{"Wide1000x500", 1000, 500, 120, 60, 360},
                      PreviewCase{"Square100Enlarged", 100, 100, 120, 120, 360},
                      PreviewCase{"Tall997x1000RowsPadded", 997, 1000, 119, 120, 360},
                      PreviewCase{"Small5x3", 5, 3, 120, 72, 360},
                      PreviewCase{"Narrow9x1000", 9, 1000, 1, 120, 4}),
    [](const ::testing::TestParamInfo<PreviewCase>& info) { return std::string(info.param.name); });

TEST_F(LayerpeekTest, AnEmptyPreviewIsAZeroByZeroPicture) {
  // 1000 × 5 gives a preview 5 × 120 ÷ 1000 = 0 pixels high: the writer stores 40 zero bytes.
  const std::string path = folder.File("flat.vlb");
  WriteCanvasFile(path, 1000, 5);
  for (auto entry : {plugin.getPicture, plugin.getPreview}) {
    Picture picture;
    ASSERT_EQ(entry(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), 0);
    Bytes expected;
    expected.Zeros(14).U16(24).Zeros(24).Zeros(4);
    EXPECT_EQ(picture.InfoBytes(), expected.data);
    EXPECT_NE(picture.bits, nullptr);  // a block the host can lock and free, with no rows
  }
}

TEST_F(LayerpeekTest, ASimpleLayerListYieldsItsFirstLayerAtItsOwnSize) {
  LayerList layers;
  layers.push_back(MakeLayer(5, 3, 0));
  layers.push_back(MakeLayer(9, 9, 0xFFFFFFFF));
  layers.push_back(MakeLayer(2, 7, 0x0F0F0F0F));
  layers[0]->SetOffset(-40, 17);
  layers[0]->SetName("背景");
  layers[1]->SetOffset(3, 3);
  const std::string path = folder.File("list.vlb");
  ASSERT_EQ(WriteLayerList(path, {layers[0].get(), layers[1].get(), layers[2].get()}), 0);

  std::vector<uint32_t> expected;
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) expected.push_back(Pattern(x, y));
  Picture picture;
  ASSERT_EQ(plugin.getPicture(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), 0);
  EXPECT_EQ(picture.InfoBytes(), InfoBlock(5, 3));
  // 5 pixels make 15 bytes, padded to 16.
  EXPECT_EQ(PictureRows(picture, 5, 3), Rows24(5, 3, expected));
  EXPECT_EQ(picture.Bytes()[15], 0);

  Picture none;
  EXPECT_EQ(plugin.getPreview(path.c_str(), 0, 0, &none.info, &none.bits, nullptr, 0), -1);
}

// A simple layer list spelled out: "LB", count, header, attributes, name, pixels, "LE".
Bytes ListFile(int32_t count, int32_t w, int32_t h, const std::string& name, const std::vector<uint32_t>& bottomUp) {
  Bytes b;
  b.Raw("LB").I32(count);
  b.U32(40).I32(w).I32(h).U16(1).U16(32).Zeros(24);
  b.U8(100).U32(0).I32(0).I32(0).U8(1).U32(static_cast<uint32_t>(name.size())).Raw(name);
  for (uint32_t p : bottomUp) b.U32(p);
  b.Raw("LE");
  return b;
}

// The start of a chunked file and a "PRVW" chunk of w × h pixels.
Bytes ChunkedWithPreview(int32_t w, int32_t h, const std::vector<uint32_t>& bottomUp) {
  Bytes b;
  b.Raw(std::string(reinterpret_cast<const char*>(kMagic), 5)).Raw("10000");
  b.Chunk("PRVW", static_cast<uint32_t>(40 + bottomUp.size() * 4));
  b.U32(40).I32(w).I32(h).U16(1).U16(32).Zeros(24);
  for (uint32_t p : bottomUp) b.U32(p);
  b.Chunk("CNVS", 12).I32(w).I32(h).I32(0).Chunk("LLCB", 0).Chunk("EOLL", 0);
  return b;
}

TEST_F(LayerpeekTest, DropsAlphaWithoutBlendingAndPadsEveryRow) {
  // Two rows of two pixels, bottom row first: 6 bytes of colour and 2 of padding per row.
  const std::vector<uint32_t> pixels = {0x00112233, 0xFF445566, 0x80778899, 0x01AABBCC};
  const uint8_t expected[] = {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0, 0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA, 0, 0};
  for (const Bytes& file : {ListFile(1, 2, 2, "x", pixels), ChunkedWithPreview(2, 2, pixels)}) {
    const std::string path = Write("two.vlb", file);
    Picture picture;
    ASSERT_EQ(plugin.getPicture(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), 0);
    EXPECT_EQ(picture.InfoBytes(), InfoBlock(2, 2));
    EXPECT_EQ(std::vector<uint8_t>(picture.Bytes(), picture.Bytes() + 16), std::vector<uint8_t>(expected, expected + 16));
  }
}

TEST_F(LayerpeekTest, TheInformationBlockKeepsTheStoredHeaderButTheBitCount) {
  Bytes file;
  file.Raw(std::string(reinterpret_cast<const char*>(kMagic), 5)).Raw("10000");
  file.Chunk("PRVW", 44).U32(40).I32(1).I32(1).U16(7).U16(32).U32(9).U32(4).I32(2835).I32(-1).U32(5).U32(6).U32(0xFFFFFFFF);
  const std::string path = Write("odd.vlb", file);
  Picture picture;
  ASSERT_EQ(plugin.getPicture(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), 0);
  Bytes expected;
  expected.U32(40).I32(1).I32(1).U16(7).U16(24).U32(9).U32(4).I32(2835).I32(-1).U32(5).U32(6).Zeros(4);
  EXPECT_EQ(picture.InfoBytes(), expected.data);
  EXPECT_EQ(std::vector<uint8_t>(picture.Bytes(), picture.Bytes() + 3), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF}));
}

TEST_F(LayerpeekTest, SkipsOtherChunksAheadOfThePreview) {
  Bytes file;
  file.Raw(std::string(reinterpret_cast<const char*>(kMagic), 5)).Raw("10000");
  file.Chunk("ABCD", 7).Raw("1234567").Chunk("CNVS", 12).I32(1).I32(1).I32(1);
  file.Chunk("PRVW", 44).U32(40).I32(1).I32(1).U16(1).U16(32).Zeros(24).U32(0xFF010203);
  const std::string path = Write("late.vlb", file);
  Picture picture;
  ASSERT_EQ(plugin.getPreview(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), 0);
  EXPECT_EQ(std::vector<uint8_t>(picture.Bytes(), picture.Bytes() + 3), (std::vector<uint8_t>{0x03, 0x02, 0x01}));
}

TEST_F(LayerpeekTest, GetPictureReadsAListFromTheOffsetAndAChunkedFileFromItsStart) {
  // 128 bytes ahead of a layer list; they start with "LB" so that the kind is found at byte 0.
  Bytes list;
  list.Raw("LB").Zeros(126).Append(ListFile(1, 1, 1, "", {0xFFA1B2C3}));
  const std::string listPath = Write("list128.vlb", list);
  Picture atOffset;
  ASSERT_EQ(plugin.getPicture(listPath.c_str(), 128, 0, &atOffset.info, &atOffset.bits, nullptr, 0), 0);
  EXPECT_EQ(std::vector<uint8_t>(atOffset.Bytes(), atOffset.Bytes() + 3), (std::vector<uint8_t>{0xC3, 0xB2, 0xA1}));
  Picture atStart;  // layer count 0 at byte 2
  EXPECT_EQ(plugin.getPicture(listPath.c_str(), 0, 0, &atStart.info, &atStart.bits, nullptr, 0), -1);
  Picture past;
  EXPECT_EQ(plugin.getPicture(listPath.c_str(), 100000, 0, &past.info, &past.bits, nullptr, 0), -1);

  const std::string chunkedPath = Write("chunked.vlb", ChunkedWithPreview(1, 1, {0xFF000001}));
  Picture chunked;
  ASSERT_EQ(plugin.getPicture(chunkedPath.c_str(), 128, 0, &chunked.info, &chunked.bits, nullptr, 0), 0);
  EXPECT_EQ(chunked.Bytes()[0], 1);
}

TEST_F(LayerpeekTest, GetPreviewReadsTheChunkedFileFromTheOffset) {
  // Bytes 0..127: the magic and a layer list without a preview; at 128 a complete file.
  Bytes file;
  file.Raw(std::string(reinterpret_cast<const char*>(kMagic), 5)).Raw("10000").Chunk("LLCB", 0);
  file.Zeros(128 - file.data.size());
  file.Append(ChunkedWithPreview(1, 1, {0xFF0000FE}));
  const std::string path = Write("preview128.vlb", file);
  Picture atOffset;
  ASSERT_EQ(plugin.getPreview(path.c_str(), 128, 0, &atOffset.info, &atOffset.bits, nullptr, 0), 0);
  EXPECT_EQ(atOffset.Bytes()[0], 0xFE);
  Picture atStart;
  EXPECT_EQ(plugin.getPreview(path.c_str(), 0, 0, &atStart.info, &atStart.bits, nullptr, 0), -1);
  Picture picture;  // GetPicture ignores the offset for chunked files
  EXPECT_EQ(plugin.getPicture(path.c_str(), 128, 0, &picture.info, &picture.bits, nullptr, 0), -1);
  Picture negative;
  EXPECT_EQ(plugin.getPreview(path.c_str(), -1, 0, &negative.info, &negative.bits, nullptr, 0), -1);
}

TEST_F(LayerpeekTest, OnlyFileInputIsRead) {
  const std::string path = Write("one.vlb", ChunkedWithPreview(1, 1, {0xFF000001}));
  struct FlagCase {
    unsigned flag;
    int result;
  };
  for (const FlagCase& c : {FlagCase{0, 0}, FlagCase{8, 0}, FlagCase{0x80, 0}, FlagCase{1, -1}, FlagCase{2, -1},
                            FlagCase{7, -1}, FlagCase{9, -1}}) {
    for (auto entry : {plugin.getPicture, plugin.getPreview}) {
      Picture picture;
      EXPECT_EQ(entry(path.c_str(), 0, c.flag, &picture.info, &picture.bits, nullptr, 0), c.result) << "flag " << c.flag;
    }
  }
}

int g_progressCalls = 0;
int CountProgress(int, int, intptr_t) {
  ++g_progressCalls;
  return 0;
}

TEST_F(LayerpeekTest, NeverCallsTheProgressCallback) {
  const std::string path = folder.File("big.vlb");
  WriteCanvasFile(path, 300, 200);
  Picture picture;
  g_progressCalls = 0;
  ASSERT_EQ(plugin.getPicture(path.c_str(), 0, 0, &picture.info, &picture.bits, CountProgress, 42), 0);
  EXPECT_EQ(g_progressCalls, 0);
}

TEST_F(LayerpeekTest, GetPictureInfoIsNotProvided) {
  const std::string path = Write("one.vlb", ChunkedWithPreview(1, 1, {0}));
  VarnelPictureInfo info;
  std::memset(&info, 0xA5, sizeof info);
  EXPECT_EQ(plugin.getPictureInfo(path.c_str(), 0, 0, &info), -1);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&info);
  for (size_t i = 0; i < sizeof info; ++i) EXPECT_EQ(bytes[i], 0xA5);
}

struct InfoCase {
  int number;
  const char* text;
  int result;
};

TEST_F(LayerpeekTest, GetPluginInfoAnswersTheInterfaceTexts) {
  for (const InfoCase& c : {InfoCase{0, "00IN", 5}, InfoCase{1, "Layerpeek Ver0.1", 16}, InfoCase{2, "*.VLB", 6},
                            InfoCase{3, "Varnel Layer Format", 19}, InfoCase{4, "", 0}, InfoCase{5, "", 0},
                            InfoCase{-1, "", 0}, InfoCase{1000, "", 0}}) {
    char buffer[64];
    std::memset(buffer, 0x7E, sizeof buffer);
    EXPECT_EQ(plugin.getPluginInfo(c.number, buffer, sizeof buffer), c.result) << c.number;
    if (c.result == 0) {
      EXPECT_EQ(buffer[0], 0x7E) << "nothing copied for " << c.number;
    } else {
      EXPECT_STREQ(buffer, c.text);
    }
  }
}

TEST_F(LayerpeekTest, GetPluginInfoNeverWritesBeyondTheLength) {
  for (int number = 0; number < 4; ++number) {
    char full[64] = {};
    plugin.getPluginInfo(number, full, sizeof full);
    const size_t textLength = std::strlen(full);
    for (int length = -1; length <= 24; ++length) {
      char buffer[32];
      std::memset(buffer, 0x7E, sizeof buffer);
      const int result = plugin.getPluginInfo(number, buffer, length);
      EXPECT_EQ(result, plugin.getPluginInfo(number, full, sizeof full)) << "result does not depend on the length";
      const size_t copied = length <= 0 ? 0 : std::min(static_cast<size_t>(length), textLength + 1);
      EXPECT_EQ(std::memcmp(buffer, full, copied), 0) << number << " length " << length;
      for (size_t i = copied; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 0x7E) << "byte " << i << " written for " << number << " length " << length;
    }
    EXPECT_EQ(plugin.getPluginInfo(number, nullptr, 100), plugin.getPluginInfo(number, full, sizeof full));
  }
}

struct HeadCase {
  const char* name;
  std::string head;
  int supported;
};

const HeadCase kHeads[] = {
    {"LayerList", std::string("LB\x02\x00\x00\x00", 6), 1},
    {"LBThenAnything", "LB\xFF\xFEjunk", 1},
    {"OnlyLB", "LB", 1},
    {"Chunked", std::string("LX\r\nL10000", 10), 1},
    {"ChunkedMagicOnly", std::string("LX\r\nL", 5), 1},
    {"MagicWrongLastByte", std::string("LX\r\nM", 5), 0},
    {"MagicCutShort", std::string("LX\r\n", 4), 0},
    {"LowerCase", "lb", 0},
    {"Bitmap", "BM", 0},
    {"OneLetter", "L", 0},
    {"Empty", "", 0},
};

TEST_F(LayerpeekTest, IsSupportedChecksBytesInMemory) {
  for (const HeadCase& c : kHeads) {
    std::vector<char> bytes(2048, 0);
    std::memcpy(bytes.data(), c.head.data(), c.head.size());
    EXPECT_EQ(plugin.isSupported("x.vlb", reinterpret_cast<intptr_t>(bytes.data())), c.supported) << c.name;
  }
}

TEST_F(LayerpeekTest, IsSupportedReadsAnOpenFileAndLeavesItRewound) {
  for (const HeadCase& c : kHeads) {
    Bytes file;
    file.Raw(c.head);
    const std::string path = Write("head.bin", file);
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_LT(fd, 0x10000);
    lseek(fd, 3, SEEK_SET);
    EXPECT_EQ(plugin.isSupported(path.c_str(), fd), c.supported) << c.name;
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0) << c.name;
    close(fd);
  }
}

TEST_F(LayerpeekTest, IsSupportedRefusesHandlesThatAreNeitherDescriptorNorPointer) {
  EXPECT_EQ(plugin.isSupported("x.vlb", -1), 0);
  EXPECT_EQ(plugin.isSupported("x.vlb", 0xFFFF), 0);  // no such descriptor
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  ASSERT_EQ(write(pipeEnds[1], "LB", 2), 2);
  EXPECT_EQ(plugin.isSupported("x.vlb", pipeEnds[0]), 0);  // cannot be rewound
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

struct BadCase {
  const char* name;
  Bytes file;
};

Bytes Signature() {
  Bytes b;
  b.Raw(std::string(reinterpret_cast<const char*>(kMagic), 5)).Raw("10000");
  return b;
}

Bytes PreviewHeader(int32_t w, int32_t h) {
  Bytes b;
  b.U32(40).I32(w).I32(h).U16(1).U16(32).Zeros(24);
  return b;
}

std::vector<BadCase> BadFiles() {
  std::vector<BadCase> cases;
  auto add = [&](const char* name, const Bytes& b) { cases.push_back({name, b}); };
  add("Empty", Bytes{});
  add("NotALayerFile", Bytes{}.Raw("BM6\x00\x00\x00\x00\x00\x00\x00"));
  add("SignatureOnly", Signature());
  add("SignatureCut", Bytes{}.Raw("LX\r\nL100"));
  add("NoPreviewBeforeTheLayerList", Signature().Chunk("CNVS", 12).I32(4).I32(4).I32(1).Chunk("LLCB", 0).Chunk("EOLL", 0));
  add("ChunkHeaderCut", Signature().Raw("CHPR"));
  add("PreviewHeaderCut", Signature().Chunk("PRVW", 72).U32(40).I32(2));
  add("PreviewPixelsCut", Signature().Chunk("PRVW", 72).Append(PreviewHeader(4, 2)).Zeros(20));
  add("PreviewLargerThanItsChunk", Signature().Chunk("PRVW", 56).Append(PreviewHeader(4, 2)).Zeros(16).Chunk("LLCB", 0).Zeros(64));
  add("PreviewChunkBelowAHeader", Signature().Chunk("PRVW", 39).Append(PreviewHeader(0, 0)));
  add("NegativeWidth", Signature().Chunk("PRVW", 72).Append(PreviewHeader(-4, 2)).Zeros(32));
  add("NegativeHeight", Signature().Chunk("PRVW", 72).Append(PreviewHeader(4, -2)).Zeros(32));
  add("ZeroWidthWithRows", Signature().Chunk("PRVW", 72).Append(PreviewHeader(0, 2)).Zeros(32));
  add("RowsWithZeroHeight", Signature().Chunk("PRVW", 72).Append(PreviewHeader(2, 0)).Zeros(32));
  add("HugeClaimOverTheLimit", Signature().Chunk("PRVW", 0xFFFFFFFF).Append(PreviewHeader(30000, 30000)).Zeros(64));
  add("HugeClaimInASmallFile", Signature().Chunk("PRVW", 0xFFFFFFFF).Append(PreviewHeader(20000, 20000)).Zeros(64));
  add("WidthOverflowingRows", Signature().Chunk("PRVW", 0xFFFFFFFF).Append(PreviewHeader(0x7FFFFFFF, 1)).Zeros(64));
  add("ChunkRunsPastTheEnd", Signature().Chunk("ABCD", 1000).Zeros(40));
  add("ListOnlyLB", Bytes{}.Raw("LB"));
  add("ListCountZero", ListFile(0, 1, 1, "", {0}));
  add("ListCountNegative", ListFile(-3, 1, 1, "", {0}));
  add("ListHeaderCut", Bytes{}.Raw("LB").I32(1).U32(40).I32(1));
  add("ListNamePastTheEnd", Bytes{}.Raw("LB").I32(1).Append(PreviewHeader(1, 1)).U8(100).U32(0).I32(0).I32(0).U8(1).U32(100).Raw("nnnn"));
  add("ListPixelsCut", [] {
    Bytes b = ListFile(1, 4, 4, "n", std::vector<uint32_t>(16, 0));
    b.data.resize(b.data.size() - 2 - 8);
    return b;
  }());
  add("ListHugeClaim", ListFile(1, 20000, 20000, "", {0, 0}));
  add("ListNegativeWidth", ListFile(1, -1, 1, "", {0}));
  // The name length field of the first record says 0xFFFFFFFF.
  add("ListNameLengthHuge", [] {
    Bytes b = ListFile(1, 1, 1, "", {0});
    const size_t at = 2 + 4 + 40 + 14;
    for (int i = 0; i < 4; ++i) b.data[at + i] = 0xFF;
    return b;
  }());
  return cases;
}

TEST_F(LayerpeekTest, BrokenFilesFailCleanlyAndLeaveTheResultsAlone) {
  for (const BadCase& c : BadFiles()) {
    const std::string path = Write("bad.vlb", c.file);
    for (auto entry : {plugin.getPicture, plugin.getPreview}) {
      void* info = &info;
      void* bits = &bits;
      EXPECT_EQ(entry(path.c_str(), 0, 0, &info, &bits, nullptr, 0), -1) << c.name;
      EXPECT_EQ(info, &info) << c.name;
      EXPECT_EQ(bits, &bits) << c.name;
    }
  }
}

TEST_F(LayerpeekTest, ThePreviewChunkMayHoldMoreThanItsPixels) {
  const std::string path =
      Write("roomy.vlb", Signature().Chunk("PRVW", 40 + 4 + 100).Append(PreviewHeader(1, 1)).U32(0xFF102030).Zeros(100));
  Picture picture;
  ASSERT_EQ(plugin.getPicture(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), 0);
  EXPECT_EQ(picture.Bytes()[2], 0x10);
}

TEST_F(LayerpeekTest, FilesThatCannotBeOpenedFail) {
  for (const std::string& path : {folder.File("missing.vlb"), folder.Path().string(), std::string()}) {
    Picture picture;
    EXPECT_EQ(plugin.getPicture(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), -1) << path;
    EXPECT_EQ(plugin.getPreview(path.c_str(), 0, 0, &picture.info, &picture.bits, nullptr, 0), -1) << path;
  }
  Picture picture;
  EXPECT_EQ(plugin.getPicture(nullptr, 0, 0, &picture.info, &picture.bits, nullptr, 0), -1);
  const std::string path = Write("one.vlb", ChunkedWithPreview(1, 1, {0}));
  EXPECT_EQ(plugin.getPicture(path.c_str(), 0, 0, nullptr, &picture.bits, nullptr, 0), -1);
  EXPECT_EQ(plugin.getPreview(path.c_str(), 0, 0, &picture.info, nullptr, nullptr, 0), -1);
}

TEST_F(LayerpeekTest, LeavesNoDescriptorOpen) {
  const std::string path = folder.File("canvas.vlb");
  WriteCanvasFile(path, 40, 30);
  const int before = dup(0);
  close(before);
  for (int i = 0; i < 3; ++i) {
    Picture a;
    Picture b;
    Picture c;
    plugin.getPicture(path.c_str(), 0, 0, &a.info, &a.bits, nullptr, 0);
    plugin.getPreview(path.c_str(), 0, 0, &b.info, &b.bits, nullptr, 0);
    plugin.getPreview(path.c_str(), 5, 0, &c.info, &c.bits, nullptr, 0);
  }
  const int after = dup(0);
  close(after);
  EXPECT_EQ(after, before);
}

TEST_F(LayerpeekTest, IsSelfContained) {
  for (const char* name : {"GetPluginInfo", "IsSupported", "GetPictureInfo", "GetPicture", "GetPreview"})
    EXPECT_NE(plugin.Get<void*>(name), nullptr) << name;
  // Image viewers load it without the program: it asks for nothing but the C library.
  const std::vector<std::string> needed = test::NeededLibraries(plugin.Path());
  ASSERT_FALSE(needed.empty());
  for (const std::string& library : needed) EXPECT_EQ(library, "libc.so.6");
}

}  // namespace
}  // namespace varnel

// Jpegport loaded from the program folder as any host loads it: JPEG files written by another
// program (PIL) read into 24-bit pixels that agree with that program's own reading, files it
// writes read back by that program close to what was saved, the quality taken from the settings
// file, and broken files refused without harm.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/document/test_files.h"
#include "tests/plugins/plugin_loader.h"

namespace varnel {
namespace {

using test::Picture;
using test::PicturePlugin;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// Each case runs in a process of its own; the settings file is the test's own.
class JpegPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin.Loaded()) << plugin.Error();
    setenv("VARNEL_CONFIG", config.c_str(), 1);
  }
  void TearDown() override { unsetenv("VARNEL_CONFIG"); }

  int Read(const std::string& path, Picture& picture, intptr_t offset = 0) {
    return plugin.getPicture(path.c_str(), offset, 0, &picture.info, &picture.bits, nullptr, 0);
  }

  // Writes top-down RGBA pixels through WriteImage as the program hands them over.
  int Write(const std::string& path, const std::vector<uint8_t>& rgba, int32_t w, int32_t h) {
    const std::vector<uint8_t> bgra = test::BottomUpBgra(rgba, w, h);
    const VarnelWriteInfo info = test::WriteInfo(w, h);
    return plugin.writeImage(path.c_str(), bgra.data(), &info);
  }

  PicturePlugin plugin{"Jpegport.spi"};
  TempFolder folder;
  std::string config = folder.File("settings/varnel.ini");
};

class JpegWithPilTest : public JpegPluginTest {
 protected:
  void SetUp() override {
    JpegPluginTest::SetUp();
    if (test::PythonWithPil().empty()) GTEST_SKIP() << "python3 with PIL (python3-pil) is not installed";
  }

  std::string PilJpeg(const std::string& mode, int32_t w, int32_t h, const std::vector<uint8_t>& raw,
                      const std::vector<std::string>& options) {
    const std::string rawPath = folder.File("source.raw");
    const std::string out = folder.File("pil.jpg");
    WriteBytes(rawPath, raw);
    std::vector<std::string> arguments = {"encode", mode, std::to_string(w), std::to_string(h), rawPath, out, "JPEG"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const std::string output = test::RunPil(arguments);
    EXPECT_EQ(output.rfind("error", 0), std::string::npos) << output;
    return out;
  }

  std::vector<uint8_t> PilRead(const std::string& path, std::string& description) {
    const std::string out = folder.File("pil.raw");
    description = test::RunPil({"decode", path, out, "RGBA"});
    EXPECT_EQ(description.rfind("error", 0), std::string::npos) << description;
    return ReadBytes(out);
  }
};

// Smooth colours: what JPEG keeps well, so that differences measure the codec, not the picture.
std::vector<uint8_t> Gradient(int32_t w, int32_t h, int channels) {
  std::vector<uint8_t> bytes;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t rgba[4] = {static_cast<uint8_t>(x * 255 / (w - 1)), static_cast<uint8_t>(y * 255 / (h - 1)),
                               static_cast<uint8_t>(128 + (x - y) / 2), 255};
      bytes.insert(bytes.end(), rgba, rgba + channels);
    }
  return bytes;
}

struct Difference {
  int largest = 0;
  double mean = 0;
};

// Colour channels only: JPEG has no alpha.
Difference Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  Difference d;
  if (a.size() != b.size()) return {999, 999};
  long total = 0;
  long count = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (i % 4 == 3) continue;
    const int diff = std::abs(a[i] - b[i]);
    d.largest = std::max(d.largest, diff);
    total += diff;
    ++count;
  }
  d.mean = count > 0 ? static_cast<double>(total) / count : 0;
  return d;
}

struct PilCase {
  const char* name;
  const char* mode;
  int channels;
  std::vector<std::string> options;
};

TEST_F(JpegWithPilTest, ReadsWhatPilWritesAsPilReadsIt) {
  const int32_t w = 37;
  const int32_t h = 23;
  for (const PilCase& c : {PilCase{"Baseline420", "RGB", 3, {"quality=95"}},
                           PilCase{"Baseline444", "RGB", 3, {"quality=90", "subsampling=0"}},
                           PilCase{"Progressive", "RGB", 3, {"quality=85", "progressive=1"}},
                           PilCase{"Grey", "L", 1, {"quality=95"}}}) {
    std::vector<uint8_t> source = Gradient(w, h, 3);
    if (c.channels == 1) {
      std::vector<uint8_t> grey;
      for (size_t i = 0; i < source.size(); i += 3) grey.push_back(source[i]);
      source = grey;
    }
    const std::string path = PilJpeg(c.mode, w, h, source, c.options);
    Picture picture;
    ASSERT_EQ(Read(path, picture), 0) << c.name;
    EXPECT_EQ(picture.Header().biWidth, w);
    EXPECT_EQ(picture.Header().biHeight, h);
    EXPECT_EQ(picture.Header().biBitCount, 24);
    EXPECT_EQ(picture.Header().biSizeImage, 112u * h) << "37 pixels make 111 bytes, padded to 112";
    std::string description;
    const std::vector<uint8_t> pil = PilRead(path, description);
    const Difference d = Compare(test::TopDownRgba(picture), pil);
    EXPECT_LE(d.largest, 1) << c.name;
    EXPECT_LE(d.mean, 0.05) << c.name;
    for (int32_t y = 0; y < h; ++y) EXPECT_EQ(picture.Bytes()[y * 112 + 111], 0) << "padding of row " << y;
  }
}

TEST_F(JpegWithPilTest, ConvertsCmykFiles) {
  // Four flat quarters of known inks; PIL stores them inverted with an Adobe marker.
  const int32_t w = 32;
  const int32_t h = 32;
  const uint8_t inks[4][4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 128, 255, 0}, {0, 0, 0, 128}};
  std::vector<uint8_t> cmyk;
  std::vector<uint8_t> expected;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* ink = inks[(y / 16) * 2 + x / 16];
      cmyk.insert(cmyk.end(), ink, ink + 4);
      // (255 − ink) × (255 − black) ÷ 255 for each colour.
      auto colour = [&](int i) { return static_cast<uint8_t>(((255 - ink[i]) * (255 - ink[3]) + 127) / 255); };
      expected.insert(expected.end(), {colour(0), colour(1), colour(2), 255});
    }
  const std::string path = PilJpeg("CMYK", w, h, cmyk, {"quality=100"});
  Picture picture;
  ASSERT_EQ(Read(path, picture), 0);
  const Difference d = Compare(test::TopDownRgba(picture), expected);
  EXPECT_LE(d.largest, 3);
}

TEST_F(JpegWithPilTest, PilReadsWhatItWritesCloseToTheSource) {
  const int32_t w = 50;
  const int32_t h = 21;
  const std::vector<uint8_t> rgba = Gradient(w, h, 4);
  const std::string path = folder.File("out.jpg");
  ASSERT_EQ(Write(path, rgba, w, h), 0);
  std::string description;
  const std::vector<uint8_t> pil = PilRead(path, description);
  EXPECT_EQ(description, "JPEG RGB 50 21 0\n");
  const Difference d = Compare(pil, rgba);
  EXPECT_LE(d.largest, 12);
  EXPECT_LE(d.mean, 1.5);

  // And it reads its own file as PIL does.
  Picture picture;
  ASSERT_EQ(Read(path, picture), 0);
  EXPECT_LE(Compare(test::TopDownRgba(picture), pil).largest, 1);
}

TEST_F(JpegWithPilTest, WritesAndReadsTheDensity) {
  const std::vector<uint8_t> rgba = Gradient(8, 8, 4);
  const std::vector<uint8_t> bgra = test::BottomUpBgra(rgba, 8, 8);
  VarnelWriteInfo info = test::WriteInfo(8, 8);
  info.header.biXPelsPerMeter = 2835;  // 72 dpi
  info.header.biYPelsPerMeter = 2835;
  const std::string path = folder.File("dense.jpg");
  ASSERT_EQ(plugin.writeImage(path.c_str(), bgra.data(), &info), 0);
  std::string description;
  PilRead(path, description);
  EXPECT_EQ(description, "JPEG RGB 8 8 72\n");
  VarnelPictureInfo pictureInfo;
  ASSERT_EQ(plugin.getPictureInfo(path.c_str(), 0, 0, &pictureInfo), 0);
  EXPECT_EQ(pictureInfo.width, 8);
  EXPECT_EQ(pictureInfo.height, 8);
  EXPECT_EQ(pictureInfo.colourDepth, 24);
  EXPECT_EQ(pictureInfo.xDensity, 72);
  EXPECT_EQ(pictureInfo.yDensity, 72);
  Picture picture;
  ASSERT_EQ(Read(path, picture), 0);
  EXPECT_EQ(picture.Header().biXPelsPerMeter, 2835);
}

// The first value of the first quantisation table: the luminance DC step, 16 scaled by the
// quality as libjpeg scales it: 5000 ÷ q below 50, else 200 − 2q percent, kept within 1..255.
int LuminanceDcStep(const std::vector<uint8_t>& jpeg) {
  for (size_t i = 2; i + 5 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) return jpeg[i + 5];
  }
  return -1;
}

int ExpectedDcStep(int quality) {
  const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  return std::clamp((16 * scale + 50) / 100, 1, 255);
}

struct QualityCase {
  const char* setting;  // the settings file's text, or null for no file
  int quality;          // what the next save uses
};

TEST_F(JpegPluginTest, TakesTheQualityFromTheSettingsFile) {
  EXPECT_EQ(ExpectedDcStep(90), 3);
  EXPECT_EQ(ExpectedDcStep(10), 80);
  for (const QualityCase& c : {QualityCase{nullptr, 90}, QualityCase{"[JpegPlugin]\nQuality=10\n", 10},
                               QualityCase{"[jpegplugin]\r\n  quality = 40 \r\n", 40},
                               QualityCase{"[JpegPlugin]\nQuality=150\n", 100}, QualityCase{"[JpegPlugin]\nQuality=0\n", 1},
                               QualityCase{"[JpegPlugin]\nQuality=-7\n", 1}, QualityCase{"[JpegPlugin]\nQuality=0x4B\n", 75},
                               QualityCase{"[JpegPlugin]\nQuality=fine\n", 90}, QualityCase{"[Other]\nQuality=20\n", 90},
                               QualityCase{"[JpegPlugin]\nQuality=20\nQuality=30\n", 30},
                               QualityCase{"Quality=20\n[JpegPlugin]\n", 90}}) {
    std::filesystem::remove_all(folder.File("settings"));
    if (c.setting != nullptr) {
      std::filesystem::create_directories(folder.File("settings"));
      WriteBytes(config, std::vector<uint8_t>(c.setting, c.setting + std::strlen(c.setting)));
    }
    const std::string path = folder.File("q.jpg");
    ASSERT_EQ(Write(path, Gradient(16, 16, 4), 16, 16), 0);
    EXPECT_EQ(LuminanceDcStep(ReadBytes(path)), ExpectedDcStep(c.quality)) << (c.setting ? c.setting : "no file");
  }
}

TEST_F(JpegPluginTest, OpenConfigWritesTheSettingBackAndKeepsTheRestOfTheFile) {
  struct Case {
    const char* before;  // null: no file yet
    const char* after;
  };
  const Case cases[] = {
      {nullptr, "[JpegPlugin]\nQuality=90\n"},
      {"", "[JpegPlugin]\nQuality=90\n"},
      {"[Settings]\nDebugLevel=3\n", "[Settings]\nDebugLevel=3\n\n[JpegPlugin]\nQuality=90\n"},
      {"[Settings]\nDebugLevel=3", "[Settings]\nDebugLevel=3\n\n[JpegPlugin]\nQuality=90\n"},
      {"; mine\n[JpegPlugin]\nQuality=150\n[History]\nFolder 0=/tmp\n", "; mine\n[JpegPlugin]\nQuality=100\n[History]\nFolder 0=/tmp\n"},
      {"[JPEGPLUGIN]\r\n  QUALITY = 55 \r\n[B]\r\nx=1\r\n", "[JPEGPLUGIN]\r\n  QUALITY=55\r\n[B]\r\nx=1\r\n"},
      {"[JpegPlugin]\r\nOther=1\r\n\r\n[B]\r\n", "[JpegPlugin]\r\nOther=1\r\nQuality=90\r\n\r\n[B]\r\n"},
      {"[JpegPlugin]\nQuality=20\n[JpegPlugin]\nQuality=30", "[JpegPlugin]\nQuality=20\n[JpegPlugin]\nQuality=30"},
      {"[JpegPlugin]", "[JpegPlugin]\nQuality=90\n"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder.File("settings"));
    if (c.before != nullptr) {
      std::filesystem::create_directories(folder.File("settings"));
      WriteBytes(config, std::vector<uint8_t>(c.before, c.before + std::strlen(c.before)));
    }
    ASSERT_EQ(plugin.openConfig(nullptr), 0) << (c.before ? c.before : "no file");
    const std::vector<uint8_t> after = ReadBytes(config);
    EXPECT_EQ(std::string(after.begin(), after.end()), c.after) << (c.before ? c.before : "no file");
    // Only the settings file and the program's lock file beside it.
    EXPECT_EQ(test::FilesIn(folder.File("settings")), (std::vector<std::string>{"varnel.ini", "varnel.ini.lock"}));
  }
}

// A host that answers the plug-in's question as a test tells it to.
struct Asked {
  std::string title, label;
  int minimum = 0, maximum = 0, start = 0;
};
Asked g_asked;
int g_answer = -1;  // -1: the user cancels

int AnswerQuestion(void*, const char* title, const char* label, int minimum, int maximum, int* value) {
  g_asked = {title, label, minimum, maximum, *value};
  if (g_answer < 0) return 0;
  *value = g_answer;
  return 1;
}

TEST_F(JpegPluginTest, OpenConfigAsksTheHostForTheQualityAndStoresTheAnswer) {
  const auto setHost = plugin.Get<VarnelSetHostServices>("SetHostServices");
  ASSERT_NE(setHost, nullptr);
  static const VarnelHostServices host{sizeof(VarnelHostServices), &AnswerQuestion};
  setHost(&host);
  ASSERT_TRUE(Profile(config).WriteInt("JpegPlugin", "Quality", 70));
  g_answer = 55;
  ASSERT_EQ(plugin.openConfig(nullptr), 0);
  EXPECT_EQ(g_asked.title, "JPEG の設定");
  EXPECT_EQ(g_asked.label, "画質 (0-100)");
  EXPECT_EQ(g_asked.minimum, 0);
  EXPECT_EQ(g_asked.maximum, 100);
  EXPECT_EQ(g_asked.start, 70);
  EXPECT_EQ(Profile(config).GetInt("JpegPlugin", "Quality", 0), 55);
  g_answer = -1;  // cancelled: nothing changes
  ASSERT_EQ(plugin.openConfig(nullptr), 0);
  EXPECT_EQ(Profile(config).GetInt("JpegPlugin", "Quality", 0), 55);
  setHost(nullptr);
}

TEST_F(JpegPluginTest, ShareTheSettingsFileWithTheProgram) {
  // The program writes, the plug-in reads.
  ASSERT_TRUE(Profile(config).WriteInt("Settings", "DebugLevel", 4));
  ASSERT_TRUE(Profile(config).WriteInt("JpegPlugin", "Quality", 33));
  const std::string path = folder.File("shared.jpg");
  ASSERT_EQ(Write(path, Gradient(16, 16, 4), 16, 16), 0);
  EXPECT_EQ(LuminanceDcStep(ReadBytes(path)), ExpectedDcStep(33));
  // The plug-in writes, the program reads, and nothing of the program's is lost.
  ASSERT_TRUE(Profile(config).WriteInt("JpegPlugin", "Quality", 300));
  ASSERT_EQ(plugin.openConfig(nullptr), 0);
  const Profile profile(config);
  EXPECT_EQ(profile.GetInt("JpegPlugin", "Quality", 0), 100);
  EXPECT_EQ(profile.GetInt("Settings", "DebugLevel", 0), 4);
}

TEST_F(JpegPluginTest, FindsTheSettingsFileAsTheProgramDoes) {
  unsetenv("VARNEL_CONFIG");
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome != nullptr ? oldHome : "";
  const std::string xdg = folder.File("xdg");
  setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  ASSERT_EQ(plugin.openConfig(nullptr), 0);
  EXPECT_EQ(Profile(xdg + "/varnel/varnel.ini").GetInt("JpegPlugin", "Quality", 0), 90);

  // A relative XDG_CONFIG_HOME is not valid: the home folder's .config is used.
  setenv("XDG_CONFIG_HOME", "relative", 1);
  const std::string home = folder.File("home");
  setenv("HOME", home.c_str(), 1);
  ASSERT_EQ(plugin.openConfig(nullptr), 0);
  EXPECT_EQ(Profile(home + "/.config/varnel/varnel.ini").GetInt("JpegPlugin", "Quality", 0), 90);
  EXPECT_EQ(Profile::DefaultPath(), home + "/.config/varnel/varnel.ini");
  unsetenv("XDG_CONFIG_HOME");
  if (oldHome != nullptr) setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(JpegPluginTest, AnUnwritableSettingsFileIsReportedAndLeftAlone) {
  // A folder where the settings file should be: it can be neither read nor replaced.
  std::filesystem::create_directories(config);
  EXPECT_EQ(plugin.openConfig(nullptr), -1);
  EXPECT_TRUE(std::filesystem::is_directory(config));
  // Saving still works, at the default quality.
  const std::string path = folder.File("fallback.jpg");
  ASSERT_EQ(Write(path, Gradient(16, 16, 4), 16, 16), 0);
  EXPECT_EQ(LuminanceDcStep(ReadBytes(path)), ExpectedDcStep(90));
}

TEST_F(JpegPluginTest, DescribesItselfAndWhatItSaves) {
  struct TextCase {
    int number;
    const char* text;
  };
  for (const TextCase& c : {TextCase{0, "00IN"}, TextCase{1, "Jpegport Ver0.1"}, TextCase{2, "*.jpg;*.jpeg"},
                            TextCase{3, "JPEG Image"}, TextCase{4, ""}}) {
    char buffer[64] = {};
    EXPECT_EQ(plugin.getPluginInfo(c.number, buffer, sizeof buffer), static_cast<int>(std::strlen(c.text)));
    EXPECT_STREQ(buffer, c.text);
  }
  for (const char* yes : {"jpg", "JPG", "jpeg", "JPEG"}) EXPECT_EQ(plugin.isSaveSupported(yes), 0) << yes;
  for (const char* no : {"png", "jpe", "jp", ""}) EXPECT_NE(plugin.isSaveSupported(no), 0) << no;
  char buffer[512];
  EXPECT_EQ(plugin.getSupportFormatFilter(buffer, sizeof buffer), 12);
  EXPECT_STREQ(buffer, "*.jpg;*.jpeg");
  EXPECT_EQ(plugin.getSupportFormatDescriptor(buffer, sizeof buffer), 24);
  EXPECT_STREQ(buffer, "JPEG Image(*.jpg;*.jpeg)");
  char small[6];
  std::memset(small, 0x7E, sizeof small);
  plugin.getSupportFormatDescriptor(small, 4);
  EXPECT_EQ(std::string(small, 6), "JPEG\x7E\x7E");
}

TEST_F(JpegPluginTest, NeedsNothingButTheCLibraryAndLibjpeg) {
  const std::vector<std::string> needed = test::NeededLibraries(plugin.Path());
  ASSERT_FALSE(needed.empty());
  for (const std::string& library : needed) EXPECT_TRUE(library == "libc.so.6" || library == "libjpeg.so.62") << library;
}

TEST_F(JpegPluginTest, IsSupportedChecksTheStartOfImageMarker) {
  struct Case {
    std::string head;
    int supported;
  };
  for (const Case& c : {Case{"\xFF\xD8\xFF\xE0", 1}, Case{"\xFF\xD8\xFF", 1}, Case{"\xFF\xD8\x00", 0}, Case{"\xFF\xD8", 0},
                        Case{"\x89PNG", 0}}) {
    std::vector<char> bytes(2048, 0);
    std::memcpy(bytes.data(), c.head.data(), c.head.size());
    EXPECT_EQ(plugin.isSupported("x.jpg", reinterpret_cast<intptr_t>(bytes.data())), c.supported);
    const std::string path = folder.File("head.bin");
    WriteBytes(path, std::vector<uint8_t>(c.head.begin(), c.head.end()));
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(plugin.isSupported(path.c_str(), fd), c.supported);
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
    close(fd);
  }
}

TEST_F(JpegPluginTest, ReadsFromMemoryAndFromAnOffset) {
  const std::string path = folder.File("m.jpg");
  ASSERT_EQ(Write(path, Gradient(24, 24, 4), 24, 24), 0);
  const std::vector<uint8_t> jpeg = ReadBytes(path);
  Picture fromFile;
  ASSERT_EQ(Read(path, fromFile), 0);
  const size_t size = 72 * 24;
  Picture fromMemory;
  ASSERT_EQ(plugin.getPicture(reinterpret_cast<const char*>(jpeg.data()), static_cast<intptr_t>(jpeg.size()), kVarnelInputMemory,
                              &fromMemory.info, &fromMemory.bits, nullptr, 0),
            0);
  EXPECT_EQ(std::vector<uint8_t>(fromMemory.Bytes(), fromMemory.Bytes() + size),
            std::vector<uint8_t>(fromFile.Bytes(), fromFile.Bytes() + size));

  std::vector<uint8_t> withHeader(128, 0);
  withHeader.insert(withHeader.end(), jpeg.begin(), jpeg.end());
  const std::string offsetPath = folder.File("o.jpg");
  WriteBytes(offsetPath, withHeader);
  Picture atOffset;
  ASSERT_EQ(Read(offsetPath, atOffset, 128), 0);
  EXPECT_EQ(std::vector<uint8_t>(atOffset.Bytes(), atOffset.Bytes() + size),
            std::vector<uint8_t>(fromFile.Bytes(), fromFile.Bytes() + size));
  Picture atStart;
  EXPECT_NE(Read(offsetPath, atStart, 0), 0);
}

void PutBigEndian16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

// A JPEG whose frame header says w × h.
std::vector<uint8_t> WithSize(std::vector<uint8_t> jpeg, uint16_t w, uint16_t h) {
  for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      PutBigEndian16(jpeg, i + 5, h);
      PutBigEndian16(jpeg, i + 7, w);
      break;
    }
  }
  return jpeg;
}

TEST_F(JpegPluginTest, BrokenFilesAreRefusedAndLeaveTheResultsAlone) {
  const std::string goodPath = folder.File("good.jpg");
  ASSERT_EQ(Write(goodPath, Gradient(64, 48, 4), 64, 48), 0);
  const std::vector<uint8_t> good = ReadBytes(goodPath);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  const Case cases[] = {
      {"Empty", {}},
      {"StartMarkerOnly", {0xFF, 0xD8, 0xFF}},
      {"CutInTheHeaders", std::vector<uint8_t>(good.begin(), good.begin() + 100)},
      // libjpeg would fill the missing rows with grey and call it a warning.
      {"CutInThePixels", std::vector<uint8_t>(good.begin(), good.end() - static_cast<long>(good.size() / 3))},
      {"ZeroWidth", WithSize(good, 0, 48)},
      {"OverThePictureLimit", WithSize(good, 60000, 60000)},
      // 1.2 GB of rows that these few kilobytes cannot describe: refused before allocating.
      {"HugeClaimInASmallFile", WithSize(good, 20000, 20000)},
      {"MoreRowsThanTheData", WithSize(good, 64, 4800)},
      {"NotAJpeg", std::vector<uint8_t>(300, 'x')},
      // libjpeg would skip the stray bytes; IsSupported refuses such a file, so reading does too.
      {"StrayBytesAfterTheStartMarker", [&] {
         std::vector<uint8_t> b = {0xFF, 0xD8, 0x81, 0xEE};
         b.insert(b.end(), good.begin() + 2, good.end());
         return b;
       }()},
  };
  for (const Case& c : cases) {
    const std::string path = folder.File("bad.jpg");
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
}

TEST_F(JpegPluginTest, RefusesPicturesItCannotWriteAndKeepsTheOldFile) {
  const std::vector<uint8_t> pixels(64 * 4, 0x80);
  const std::string path = folder.File("keep.jpg");
  WriteBytes(path, {'o', 'l', 'd'});
  auto with = [](int32_t w, int32_t h, uint16_t bits) { return test::WriteInfo(w, h, bits); };
  for (const VarnelWriteInfo& info : {with(4, 4, 8), with(4, 4, 16), with(0, 4, 32), with(4, 0, 32), with(-4, 4, 32),
                                      with(65501, 1, 32), with(1, 65501, 32), with(40000, 40000, 32)}) {
    EXPECT_EQ(plugin.writeImage(path.c_str(), pixels.data(), &info), -1)
        << info.header.biWidth << " x " << info.header.biHeight << " x " << info.header.biBitCount;
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  }
  const VarnelWriteInfo good = test::WriteInfo(8, 8);
  EXPECT_EQ(plugin.writeImage(folder.File("none/x.jpg").c_str(), pixels.data(), &good), -1);
  EXPECT_EQ(test::FilesIn(folder.Path().string()), std::vector<std::string>{"keep.jpg"});
  EXPECT_EQ(plugin.writeImage(path.c_str(), pixels.data(), &good), 0);
  EXPECT_EQ(test::FilesIn(folder.Path().string()), std::vector<std::string>{"keep.jpg"});
  Picture picture;
  EXPECT_EQ(Read(path, picture), 0);
}

}  // namespace
}  // namespace varnel

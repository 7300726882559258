#include "macrolet/script_engine.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "macrolet/script_pixels.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

struct Ran {
  ScriptOutcome outcome;
  std::vector<std::string> messages;
};

Ran RunOn(ImageSurface* image, const std::string& text, ScriptServices services = {}) {
  Ran ran;
  services.messageBox = [&](const std::string& m) { ran.messages.push_back(m); };
  ran.outcome = RunScript(text, ScriptLanguage::kJScript, image, services);
  return ran;
}

// A host image of the given size, every pixel from fill(x, y) (surface layout 0xAARRGGBB).
template <typename Fill>
void Make(ImageSurface& image, int32_t w, int32_t h, Fill fill) {
  ASSERT_EQ(image.Create({w, h}), 0);
  image.DiscardBackups();
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) image.Row(y)[x] = fill(x, y);
}

std::string Say(const std::string& expression) {
  return "Document.UserInterface.MessageBox(" + expression + ");\n";
}

TEST(ScriptLanguageChoice, VbsInAnyCaseAfterMoreThanThreeCharacters) {
  struct Case {
    const char* name;
    ScriptLanguage expected;
  } cases[] = {{"a.vbs", ScriptLanguage::kVBScript}, {"A.VbS", ScriptLanguage::kVBScript},
               {"xvbs", ScriptLanguage::kVBScript},  {"vbs", ScriptLanguage::kJScript},
               {"a.js", ScriptLanguage::kJScript},   {"a.vbs.js", ScriptLanguage::kJScript}};
  for (const Case& c : cases) EXPECT_EQ(LanguageForScriptFile(c.name), c.expected) << c.name;
}

TEST(ScriptRuns, VbscriptRunsNothingAndSaysSo) {
  ImageSurface image;
  Make(image, 1, 1, [](int32_t, int32_t) { return 0xFF000000u; });
  const ScriptOutcome outcome =
      RunScript("Document.Image.SetPixel(0, 0, -1)", ScriptLanguage::kVBScript, &image, {});
  EXPECT_FALSE(outcome.ran);
  EXPECT_EQ(outcome.description, kVbscriptUnavailable);
  EXPECT_EQ(image.Row(0)[0], 0xFF000000u);
}

TEST(ScriptPixels, SetPixelStoresRedGreenBlueAlphaInBytesTwoOneZeroThree) {
  ImageSurface image;
  Make(image, 4, 3, [](int32_t, int32_t) { return 0u; });
  const Ran ran = RunOn(&image, "var img = Document.Image;\nimg.SetPixel(1, 2, 0x80112233);\n" +
                                    Say("img.GetPixel(1, 2)") + Say("img.CX + 'x' + img.CY"));
  ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
  EXPECT_EQ(image.Row(2)[1], 0x80332211u);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&image.Row(2)[1]);
  EXPECT_EQ((std::array{bytes[0], bytes[1], bytes[2], bytes[3]}), (std::array<uint8_t, 4>{0x11, 0x22, 0x33, 0x80}));
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"-2146360781", "4x3"}));
}

TEST(ScriptPixels, PositionsOutsideAnswerSuccessWithFalseAndChangeNothing) {
  ImageSurface image;
  Make(image, 4, 3, [](int32_t x, int32_t y) { return static_cast<uint32_t>(y * 4 + x); });
  const Ran ran = RunOn(&image, Say("Document.Image.SetPixel(-1, 0, 7)") + Say("Document.Image.SetPixel(4, 0, 7)") +
                                    Say("Document.Image.SetPixel(0, 3, 7)") + Say("Document.Image.SetPixel(3, 2, 7)") +
                                    Say("Document.Image.GetPixel(0, 3)") + Say("Document.Image.GetPixel(0, -1)"));
  ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"1", "1", "1", "0", "0", "0"}));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(image.Row(y)[x], x == 3 && y == 2 ? 0x00070000u : uint32_t(y * 4 + x));
}

// GetPixel and SetPixel work on the pixel memory from the script side: whatever else changes
// the pixels, or gives an image other pixels, they see at once.
TEST(ScriptPixels, PixelFunctionsSeeEveryOtherChangeOfThePixels) {
  struct Case {
    const char* name;
    const char* script;  // sets r; img is Document.Image (3 x 2, every pixel 0xFF000000)
    const char* expected;
  } cases[] = {
      {"another image on the same host pixels",
       "var b = Document.CreateImage(); b.SetImageData(img.Handle, img.Handle); b.GetPixel(0, 0);\n"
       "img.SetPixel(1, 0, 0xFF0000FF); r = [b.GetPixel(1, 0), img.GetPixel(1, 0)];",
       "-16776961,-16776961"},
      {"rows written and read in bulk",
       "img.GetPixel(0, 0); img.SetRow(1, new Uint32Array([1, 2, 3]));\n"
       "img.SetPixel(0, 0, 0x10203040); r = [img.GetPixel(2, 1), new Uint32Array(img.GetRow(0))[0]];",
       "3,270544960"},
      {"a copy from another image",
       "img.GetPixel(0, 0); var o = Document.CreateImage(); o.Create(1, 1); o.SetPixel(0, 0, 0x11223344);\n"
       "img.Copy(2, 1, 1, 1, o, 0, 0); r = [img.GetPixel(2, 1)];",
       "287454020"},
      {"a new size",
       "var i = Document.CreateImage(); i.Create(2, 2); i.SetPixel(1, 1, 5); i.Create(3, 1);\n"
       "r = [i.GetPixel(1, 1), i.SetPixel(1, 1, 5), i.GetPixel(2, 0), i.SetPixel(2, 0, 9), i.GetPixel(2, 0)];",
       "0,1,-1,0,9"},
      {"no pixels at all",
       "img.SetPixel(0, 0, 7); Document.SetImage(0, 0); r = [img.GetPixel(0, 0), img.SetPixel(0, 0, 1)];\n"
       "Document.SetImage(1, 1); r.push(img.GetPixel(0, 0));",
       "0,1,7"},
      {"too few arguments, refused and nothing written",
       "r = []; [function () { img.SetPixel(); }, function () { img.SetPixel(1, 1); }, function () { img.GetPixel(1); }]\n"
       ".forEach(function (f) { try { f(); r.push('ran'); } catch (e) { r.push(e.message); } }); r.push(img.GetPixel(0, 0));",
       "Insufficient arguments,Insufficient arguments,Insufficient arguments,-16777216"},
  };
  for (const Case& c : cases) {
    ImageSurface image;
    Make(image, 3, 2, [](int32_t, int32_t) { return 0xFF000000u; });
    const Ran ran = RunOn(&image, std::string("var img = Document.Image, r;\n") + c.script + "\n" + Say("r.join()"));
    ASSERT_FALSE(ran.outcome.failed) << c.name << ": " << ran.outcome.description;
    EXPECT_EQ(ran.messages, (std::vector<std::string>{c.expected})) << c.name;
  }
}

// Images come and go with the script's garbage; their pixel functions never outlive them.
TEST(ScriptPixels, ManyShortLivedImagesKeepTheirOwnPixels) {
  const Ran ran = RunOn(nullptr,
                        "var sum = 0;\n"
                        "for (var n = 0; n < 400; ++n) {\n"
                        "  var i = Document.CreateImage(); i.Create(64, 64);\n"
                        "  for (var k = 0; k < 64; ++k) i.SetPixel(k, k, n);\n"
                        "  for (var k = 0; k < 64; ++k) sum += i.GetPixel(k, 63 - k) === -1 ? 0 : 1;\n"
                        "  sum += i.GetPixel(n % 64, n % 64) === n ? 0 : 1000;\n"
                        "}\n" + Say("sum"));
  ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
  // The anti-diagonal crosses the diagonal nowhere in an even square.
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"0"}));
}

// The pixel functions hold a view of the host's pixel memory. A script that replaces the
// typed array constructors or sets traps on every object never gets it, and an argument whose
// conversion gives the image new pixels is converted before the view is checked.
TEST(ScriptPixels, HostileScriptsNeverReachThePixelMemory) {
  const Ran ran = RunOn(nullptr,
                        "var caught = [];\n"
                        "Int32Array = Uint32Array = function (b) { caught.push(b); return []; };\n"
                        "Object.defineProperty(Object.prototype, 'buffer', { set: function (b) { caught.push(b); } });\n"
                        "var i = Document.CreateImage(); i.Create(64, 64); i.GetPixel(0, 0);\n"
                        "var shrink = { valueOf: function () { i.Create(1, 1); return 63; } };\n"
                        "var r = [i.SetPixel(shrink, 63, 0x12345678), i.CX];\n"
                        "shrink = { valueOf: function () { i.Create(2, 2); return 1; } };\n"
                        "r.push(i.SetPixel(shrink, 1, 0x12345678), i.GetPixel(1, 1), caught.length);\n" +
                            Say("r.join()"));
  ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"1,1,0,305419896,0"}));
}

TEST(ScriptImages, CreateTakesOneToSixtyFiveThousandFiveHundredThirtyFiveElseFails) {
  struct Case {
    const char* size;
    const char* expected;
  } cases[] = {{"1, 1", "1x1 -1"}, {"65535, 1", "65535x1 -1"}, {"3, 2", "3x2 -1"},     {"0, 1", "E_FAIL 0x0"},
               {"1, 0", "E_FAIL 0x0"}, {"65536, 1", "E_FAIL 0x0"}, {"1, -1", "E_FAIL 0x0"}, {"'a', 2", "E_FAIL 0x0"}};
  for (const Case& c : cases) {
    const Ran ran = RunOn(nullptr, std::string("var i = Document.CreateImage(); var r;\n") +
                                       "try { i.Create(" + c.size + "); r = i.CX + 'x' + i.CY + ' ' + i.GetPixel(0, 0); }\n"
                                       "catch (e) { r = e.message + ' ' + i.CX + 'x' + i.CY; }\n" + Say("r"));
    ASSERT_EQ(ran.messages.size(), 1u) << c.size << ": " << ran.outcome.description;
    EXPECT_EQ(ran.messages[0], c.expected) << c.size;
  }
}

TEST(ScriptImages, CopyWalksOnlyTheSourcePixelsThatCanBeRead) {
  struct Case {
    const char* call;
    std::vector<std::pair<int32_t, int32_t>> destinationOfSource;  // per copied source pixel
    std::vector<std::pair<int32_t, int32_t>> sources;
  } cases[] = {
      {"2, 2, 3, 3, s, 0, 0", {{2, 2}, {3, 2}, {2, 3}, {3, 3}}, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
      {"0, 0, 2, 2, s, -1, -1", {{1, 1}}, {{0, 0}}},
      {"1, 0, 100000, 1, s, 2, 2", {{1, 0}}, {{2, 2}}},
      {"-2, 0, 3, 1, s, 0, 0", {{0, 0}}, {{2, 0}}},
      {"0, 0, 3, 3, s, 3, 0", {}, {}},
  };
  for (const Case& c : cases) {
    ImageSurface destination;
    Make(destination, 4, 4, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    const Ran ran = RunOn(&destination, "var s = Document.CreateImage(); s.Create(3, 3);\n"
                                        "for (var y = 0; y < 3; ++y) for (var x = 0; x < 3; ++x) s.SetPixel(x, y, y * 16 + x);\n"
                                        "Document.Image.Copy(" + std::string(c.call) + ");\n");
    ASSERT_FALSE(ran.outcome.failed) << c.call << ": " << ran.outcome.description;
    std::vector<uint32_t> expected(16, 0xFFFFFFFFu);
    for (size_t i = 0; i < c.sources.size(); ++i) {
      const auto [dx, dy] = c.destinationOfSource[i];
      const auto [sx, sy] = c.sources[i];
      expected[static_cast<size_t>(dy * 4 + dx)] = script::SwapRedBlue(static_cast<uint32_t>(sy * 16 + sx));
    }
    for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(destination.Row(i / 4)[i % 4], expected[static_cast<size_t>(i)]) << c.call << " pixel " << i;
  }
}

TEST(ScriptImages, CopyWithoutASourceOrPixelsFails) {
  const Ran ran = RunOn(nullptr, "var r = [];\n"
                                 "try { Document.Image.Copy(0, 0, 1, 1, Document.CreateImage(), 0, 0); } catch (e) { r.push(e.message); }\n"
                                 "var d = Document.CreateImage(); d.Create(2, 2);\n"
                                 "try { d.Copy(0, 0, 1, 1, Document.CreateImage(), 0, 0); } catch (e) { r.push(e.message); }\n"
                                 "try { d.Copy(0, 0, 1, 1, 5, 0, 0); } catch (e) { r.push('refused'); }\n" + Say("r.join()"));
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"E_FAIL,E_FAIL,refused"}));
}

TEST(ScriptImages, BlendImageMatchesTheRuleForEveryOperation) {
  std::mt19937 random(17);  // fixed seed
  for (int32_t operation : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 99}) {
    for (int32_t useAlpha : {0, 1}) {
      ImageSurface destination;
      std::vector<uint32_t> before(16), source(16);
      for (auto& v : before) v = random();
      for (auto& v : source) v = random();
      Make(destination, 4, 4, [&](int32_t x, int32_t y) { return before[static_cast<size_t>(y * 4 + x)]; });
      std::string text = "var s = Document.CreateImage(); s.Create(4, 4);\n";
      for (int32_t i = 0; i < 16; ++i)
        text += "s.SetPixel(" + std::to_string(i % 4) + ", " + std::to_string(i / 4) + ", " +
                std::to_string(static_cast<int32_t>(script::SwapRedBlue(source[static_cast<size_t>(i)]))) + ");\n";
      text += "Document.Image.BlendImage(1, 0, 4, 4, s, 0, 0, 300, " + std::to_string(useAlpha) + ", " +
              std::to_string(operation) + ");\n";
      const Ran ran = RunOn(&destination, text);
      ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
      const auto weights = script::BlendWeights(256, useAlpha != 0);
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) {
          const uint32_t d = before[static_cast<size_t>(y * 4 + x)];
          const uint32_t s = x >= 1 ? source[static_cast<size_t>(y * 4 + x - 1)] : 0;
          const uint32_t expected = x >= 1 ? script::BlendPixel(operation, d, s, weights[s >> 24]) : d;
          EXPECT_EQ(destination.Row(y)[x], expected) << "operation " << operation << " at " << x << "," << y;
        }
    }
  }
}

TEST(ScriptImages, RowsAndRectanglesTravelAsArrayBuffersOfScriptColours) {
  ImageSurface image;
  Make(image, 3, 2, [](int32_t x, int32_t y) { return 0xFF000000u | static_cast<uint32_t>(y * 3 + x); });
  const Ran ran = RunOn(&image, "var img = Document.Image;\n"
                                "var row = new Uint32Array(img.GetRow(1));\n" + Say("row.length + ':' + row[2].toString(16)") +
                                "img.SetRow(0, new Uint32Array([0x11, 0x22, 0x33]));\n"
                                "var r = new Uint32Array(img.GetRect(1, 0, 2, 2));\n" + Say("Array.prototype.join.call(r)") +
                                "img.SetRect(2, 1, 1, 1, new Uint32Array([0, 0xAABBCCDD]).subarray(1));\n"
                                "var errors = [];\n"
                                "try { img.SetRow(1, new Uint32Array(2)); } catch (e) { errors.push(e.message); }\n"
                                "try { img.GetRect(2, 0, 2, 1); } catch (e) { errors.push(e.message); }\n"
                                "try { img.SetRow(5, new Uint32Array(3)); } catch (e) { errors.push(e.message); }\n"
                                "try { img.SetRow(0, 12345); } catch (e) { errors.push(e.message); }\n" + Say("errors.join()"));
  ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
  // Row 1, pixel 2 is blue 5 in the surface: red 5 … reads back as 0xFF050000 in script layout.
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"3:ff050000", "34,51,4278452224,4278517760",
                                                    "E_FAIL,E_FAIL,E_FAIL,E_FAIL"}));
  EXPECT_EQ(image.Row(0)[0], 0x00110000u);
  EXPECT_EQ(image.Row(0)[2], 0x00330000u);
  EXPECT_EQ(image.Row(1)[2], 0xAADDCCBBu);
  EXPECT_EQ(image.Row(1)[0], 0xFF000003u);
}

TEST(ScriptImages, SetImageTakesOnlyHandlesTheHostGaveOrZero) {
  ImageSurface image;
  Make(image, 2, 2, [](int32_t, int32_t) { return 0xFF000000u; });
  const Ran ran = RunOn(&image, "var d = Document, h = d.Image.Handle, r = [h];\n"
                                "function t(f) { try { f(); r.push('ok'); } catch (e) { r.push(e.message); } }\n"
                                "t(function () { d.SetImage(12345678, 12345678); });\n"
                                "t(function () { d.Image.SetImageData(h, 0x1000); });\n"
                                "t(function () { d.Image.SetImageData(2, 2); });\n"
                                "t(function () { d.SetImage(0, 0); }); r.push(d.Image.CX);\n"
                                "t(function () { d.SetImage(h, h); }); r.push(d.Image.CX);\n"
                                "var other = d.CreateImage();\n"
                                "t(function () { other.SetImageData(h, h); other.SetPixel(1, 1, 0xFF0000FF); });\n" +
                                Say("r.join()"));
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"1,E_FAIL,E_FAIL,E_FAIL,ok,0,ok,2,ok"}));
  EXPECT_EQ(image.Row(1)[1], 0xFFFF0000u);
}

TEST(ScriptFiles, SaveWritesBmpDirectlyAndLoadReadsItBack) {
  test::TempFolder folder;
  const std::string path = (folder.Path() / "round.BMP").string();
  ImageSurface image;
  Make(image, 3, 2, [](int32_t x, int32_t y) { return 0x80000000u | static_cast<uint32_t>(y * 3 + x) * 0x010203u; });
  const Ran ran = RunOn(&image, "Document.Image.Save('" + path + "');\n"
                                "var back = Document.CreateImage(); back.Load('" + path + "');\n" +
                                Say("back.CX + 'x' + back.CY + ' ' + back.GetPixel(2, 1).toString(16)"));
  ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 14u + 40u + 3u * 2u * 4u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  // The bottom row comes first: its pixel 0 is image pixel (0, 1) = 3 × 0x010203.
  uint32_t first = 0;
  std::memcpy(&first, bytes.data() + 54, 4);
  EXPECT_EQ(first, 0x80030609u);
  // Pixel (2, 1) = 5 × 0x010203 = 0x050A0F (r 05, g 0A, b 0F) with alpha 0x80.
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"3x2 -7ff0f5fb"}));
}

// A disk that fills up is played by a file size limit: the save fails, and no cut-off file is
// left where the picture was to be.
TEST(ScriptFiles, ASaveCutShortFailsAndLeavesNoFile) {
  test::TempFolder folder;
  const std::string path = (folder.Path() / "big.bmp").string();
  ImageSurface image;
  Make(image, 200, 200, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 65536;
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Ran ran = RunOn(&image, "var r = 'saved';\n"
                                "try { Document.Image.Save('" + path + "'); } catch (e) { r = e.message; }\n" + Say("r"));
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"E_FAIL"}));
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// A name with a NUL in it would reach the system cut short: "a" instead of "a\0b.bmp".
TEST(ScriptFiles, ANameWithANulIsRefused) {
  test::TempFolder folder;
  const std::string stem = (folder.Path() / "a").string();
  std::ofstream(stem) << "not a picture";
  ImageSurface image;
  Make(image, 2, 2, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
  const Ran ran = RunOn(&image, "var r = [];\n"
                                "try { Document.Image.Save('" + stem + "\\u0000b.bmp'); } catch (e) { r.push(e.message); }\n"
                                "try { Document.Image.Load('" + stem + "\\u0000b.bmp'); } catch (e) { r.push(e.message); }\n" +
                                Say("r.join()"));
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"E_FAIL,cant load"}));
  std::ifstream in(stem);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "not a picture");
}

TEST(ScriptFiles, LoadAnswersWithTheReadersMessages) {
  test::TempFolder folder;
  const auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream((folder.Path() / name).string(), std::ios::binary) << bytes;
    return (folder.Path() / name).string();
  };
  std::string compressed(54, '\0');
  compressed[0] = 'B', compressed[1] = 'M', compressed[10] = 54, compressed[14] = 40;
  compressed[18] = 1, compressed[22] = 1, compressed[26] = 1, compressed[28] = 8, compressed[30] = 1;
  std::string paletteless = compressed;
  paletteless[30] = 0;
  struct Case {
    std::string path;
    const char* expected;
  } cases[] = {{write("text.bmp", "hello, not a picture"), "not bmp"},
               {write("rle.dib", compressed), "no support : compressed bmp"},
               {write("short.vrb", paletteless), "palette missing"},
               {(folder.Path() / "absent.bmp").string(), "cant load"},
               {write("text.xyz", "hello"), "cant load"}};
  for (const Case& c : cases) {
    const Ran ran = RunOn(nullptr, "try { Document.CreateImage().Load('" + c.path + "'); } catch (e) {" + Say("e.message") + "}");
    EXPECT_EQ(ran.messages, (std::vector<std::string>{c.expected})) << c.path;
  }
}

TEST(ScriptErrors, AnUncaughtErrorEndsTheRunWithItsLineAndDescription) {
  struct Case {
    const char* text;
    int32_t line;
    const char* sourceLine;
    const char* description;
  } cases[] = {
      {"var a = 1;\n\nthrow new Error('boom');\n", 3, "throw new Error('boom');", "Error: boom"},
      {"var i = Document.CreateImage();\ni.Create(0, 5);\n", 2, "i.Create(0, 5);", "Error: E_FAIL"},
      {"var x = ;\n", 1, "var x = ;", "SyntaxError: Expected token `numeric literal'"},
  };
  for (const Case& c : cases) {
    const Ran ran = RunOn(nullptr, c.text);
    EXPECT_TRUE(ran.outcome.failed) << c.text;
    EXPECT_EQ(ran.outcome.line, c.line) << c.text;
    EXPECT_EQ(ran.outcome.sourceLine, c.sourceLine) << c.text;
    EXPECT_EQ(ran.outcome.description, c.description) << c.text;
  }
}

TEST(ScriptErrors, AScriptThatRunsForeverStopsAtItsTimeout) {
  ScriptServices services;
  services.timeoutMs = 200;
  const auto started = std::chrono::steady_clock::now();
  const Ran ran = RunOn(nullptr, "Document.UserInterface.MessageBox('on');\nwhile (true) {}\n", services);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_TRUE(ran.outcome.interrupted);
  EXPECT_TRUE(ran.outcome.failed);
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"on"}));
}

TEST(ScriptObjects, ColourMembersReadAndWriteTheScriptLayout) {
  const Ran ran = RunOn(nullptr, "var c = Document.CreateImage().CreateColor();\nc.RGBA = 0x80112233;\n" +
                                     Say("[c.Red, c.Green, c.Blue, c.Alpha].join()") +
                                     "c.Red = 300; c.Blue = -4;\n" + Say("(c.RGBA >>> 0).toString(16)") +
                                     "c.RGBA = 0xFF0000FF;\n" + Say("[c.HlsHue, c.HlsLightness, c.HlsSaturation].join()") +
                                     "c.HlsHue = 120;\n" + Say("(c.RGBA >>> 0).toString(16)") +
                                     "c.RGBA = 0xFFFFFFFF;\n" + Say("Math.round(c.LabL)"));
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"51,34,17,128", "800022ff", "0,127,255", "ff00fe00", "100"}));
}

TEST(ScriptObjects, PointArraysAndFilterParametersCheckTheirIndices) {
  const Ran ran = RunOn(nullptr, "var d = Document, r = [];\n"
                                 "var a = new ActiveXObject('VNPointArray'); a.Create(3); a.Pt(1).x = 5;\n"
                                 "var pt = new ActiveXObject('VNPoint'); pt.x = 7; pt.y = -8; a.Add(pt); pt.x = 9;\n"
                                 "r.push(a.Count, a.Pt(1).x, a.Pt(3).x, a.Pt(3).y, a.Pt(0).y);\n"
                                 "try { a.Pt(4); } catch (e) { r.push(e.message); }\n"
                                 "try { a.Create(-1); } catch (e) { r.push(e.message); }\n"
                                 "try { new ActiveXObject('Scripting.FileSystemObject'); } catch (e) { r.push('no'); }\n"
                                 "var p = d.Filter.CreateParam(); p.Add(4); p.Add(-2.7); r.push(p.Count, p.Get(0), p.Get(1));\n"
                                 "try { p.Get(2); } catch (e) { r.push(e.message); }\n" + Say("r.join()"));
  EXPECT_EQ(ran.messages, (std::vector<std::string>{"4,5,7,-8,0,E_FAIL,E_FAIL,no,2,4,-2,E_FAIL"}));
}

TEST(ScriptFilters, ExecuteRunsTheFilterFolderLibraryOnTheImage) {
  struct Case {
    const char* call;
    uint32_t expected;
  } cases[] = {
      {"f.Execute(i, 'probe_name.so', 'Fill', p)", 0x22020003u},  // ProcessFilter: count 2, sum 3
      {"f.Execute(i, 'missing.so', 'Fill', p)", 0xFF000000u},
      {"f.Execute(i, '../filter_probes/probe_name.so', 'Fill', p)", 0xFF000000u},
      {"f.Execute(i, 'probe_none.so', 'Fill', p)", 0xFF000000u},
      // A script reaches the name interface only: nothing runs for an alias library.
      {"f.Execute(i, 'probe_alias.so', 'Stamp', p)", 0xFF000000u},
      // Every value goes, not the dialog's 256: count 301 (0x2D in the marker), sum 3 + 299.
      {"for (var k = 0; k < 299; ++k) p.Add(1); f.Execute(i, 'probe_name.so', 'Fill', p)", 0x222D012Eu},
      {"f.Execute(i, 'probe_name.so', 'Bare', f.CreateParam())", 0x22000000u},  // an array of none
  };
  for (const Case& c : cases) {
    ImageSurface image;
    Make(image, 2, 2, [](int32_t, int32_t) { return 0xFF000000u; });
    ScriptServices services;
    services.filterFolder = VARNEL_FILTER_PROBE_DIR;
    const Ran ran = RunOn(&image, std::string("var f = Document.Filter, i = Document.Image, p = f.CreateParam();\n"
                                              "p.Add(1); p.Add(2);\n") + c.call + ";\n", services);
    ASSERT_FALSE(ran.outcome.failed) << c.call << ": " << ran.outcome.description;
    EXPECT_EQ(image.Row(1)[1], c.expected) << c.call;
  }
}

// Drawing: which pixels each member paints with an opaque one-pixel brush in red (surface
// 0xFFFF0000) on a transparent 8 × 6 image, by the pixel-centre rule.
TEST(ScriptDrawing, ShapesPaintThePixelsTheirRulesGive) {
  struct Case {
    const char* draw;
    std::vector<std::pair<int, int>> painted;
  };
  std::vector<std::pair<int, int>> rect, ellipse, diagonal, outline, row0;
  for (int y = 1; y <= 2; ++y)
    for (int x = 1; x <= 3; ++x) rect.emplace_back(x, y);
  // A 5 × 5 disc of radius 2.5: a pixel is in when its centre lies within the radius.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x)
      if ((x - 2) * (x - 2) + (y - 2) * (y - 2) <= 6) ellipse.emplace_back(x, y);
  for (int k = 0; k <= 3; ++k) diagonal.emplace_back(k, k);
  for (int x = 1; x <= 4; ++x) outline.insert(outline.end(), {{x, 1}, {x, 3}});
  outline.insert(outline.end(), {{1, 2}, {4, 2}});
  for (int x = 0; x < 8; ++x) row0.emplace_back(x, 0);
  const Case cases[] = {
      {"d.FillRect(img, 1, 1, 3, 2, b, 0)", rect},
      {"d.FillRect(img, 3, 2, 1, 1, b, 1)", rect},
      {"d.FillEllipse(img, 0, 0, 4, 4, b, 0)", ellipse},
      {"d.Line(img, 0, 0, 3, 3, b, 0)", diagonal},
      {"d.Rect(img, 1, 1, 4, 3, b, 0)", outline},
      {"d.Line(img, -100000, 0, 100000, 0, b, 0)", row0},
      {"var p = d.CreatePointArray(); p.Create(2); p.Pt(0).x = 0; p.Pt(0).y = 0; p.Pt(1).x = 3; p.Pt(1).y = 3;"
       " d.Spline(img, p, b, 0)", diagonal},
      {"var p = d.CreatePointArray(); p.Create(4); var xy = [1,1, 4,1, 4,3, 1,3];"
       " for (var i = 0; i < 4; ++i) { p.Pt(i).x = xy[2*i]; p.Pt(i).y = xy[2*i+1]; } d.Polygon(img, p, b, 0)", outline},
      {"b.Put(img, 2, 3, 256)", {{2, 3}}},
  };
  for (const Case& c : cases) {
    ImageSurface image;
    Make(image, 8, 6, [](int, int) { return 0u; });
    const Ran ran = RunOn(&image, std::string("var img = Document.Image, d = Document.Drawing;\n"
                                              "var b = d.BrushFactory.CreateSolidBrush(1, 1); b.Opaque = 1;\n"
                                              "b.Color.RGBA = 0xFF0000FF;\n") + c.draw + ";\n");
    ASSERT_FALSE(ran.outcome.failed) << c.draw << ": " << ran.outcome.description;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool want = std::find(c.painted.begin(), c.painted.end(), std::make_pair(x, y)) != c.painted.end();
        EXPECT_EQ(image.Row(y)[x], want ? 0xFFFF0000u : 0u) << c.draw << " at " << x << "," << y;
      }
  }
}

TEST(ScriptDrawing, TranslucentBrushesLayOverFillsFollowTheClickedColour) {
  ImageSurface image;
  Make(image, 4, 2, [](int x, int) { return x < 2 ? 0xFF0000FFu : 0xFF00FF00u; });  // blue | green
  const Ran ran = RunOn(&image,
                        "var img = Document.Image, d = Document.Drawing, f = new ActiveXObject('VNBrushFactory');\n"
                        "var b = f.CreateSolidBrush(1, 1); b.Color.RGBA = 0x800000FF;\n"  // red at alpha 128
                        "d.Fill(img, 0, 0, b, 0);\n");
  ASSERT_FALSE(ran.outcome.failed) << ran.outcome.description;
  // Red at 128 over opaque blue: 255 × 128/255 → 128 red, 255 × 127/255 → 127 blue, opaque.
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(image.Row(y)[0], 0xFF80007Fu);
    EXPECT_EQ(image.Row(y)[1], 0xFF80007Fu);
    EXPECT_EQ(image.Row(y)[2], 0xFF00FF00u) << "another colour is not reached";
  }
}

TEST(ScriptDrawing, BadBrushesAndCoordinatesFail) {
  for (const char* bad : {"f.CreateSolidBrush(0, 1)", "f.CreateSolidBrush(4097, 1)", "f.CreateGradientBrush(3, 3, 3, 50)",
                          "f.CreateGradientBrush(3, 3, 0, 101)", "d.Line(img, -2e9, 0, 1, 1, f.CreateSolidBrush(1, 1), 0)",
                          "d.FillRect(img, 0, 0, 1, 1, img, 0)", "f.CreateSolidBrush(2, 2).CX = 0"}) {
    ImageSurface image;
    Make(image, 2, 2, [](int, int) { return 0u; });
    const Ran ran = RunOn(&image, std::string("var img = Document.Image, d = Document.Drawing, f = d.BrushFactory;\n") +
                                      bad + ";\n");
    EXPECT_TRUE(ran.outcome.failed) << bad;
  }
}

}  // namespace
}  // namespace varnel

// Ext/Huebox.so as the program uses it: loaded with dlopen, its functions looked up by name.
// The colour surface's point-to-colour map, picking on it with the mouse and the keys, the
// gradients of the program folder, the gradient editor and the image information box.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sdk/huebox.h"
#include "tests/huebox/huebox_test_support.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::ProgramFolderScope;
using test::TempFolder;

class Library {
 public:
  Library() : m_handle(dlopen(HUEBOX_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (m_handle != nullptr) dlclose(m_handle);
  }
  bool IsOpen() const { return m_handle != nullptr; }
  template <typename F>
  F Get(const char* name) const {
    return reinterpret_cast<F>(dlsym(m_handle, name));
  }

 private:
  void* m_handle;
};

class HueboxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_library.IsOpen()) << dlerror();
    colourAt = m_library.Get<HueboxSurfaceColourAtFunction>("HueboxSurfaceColourAt");
    openSurface = m_library.Get<HueboxOpenColorSurface>("OpenColorSurface");
    gradientCount = m_library.Get<HueboxGradientCountFunction>("HueboxGradientCount");
    getGradient = m_library.Get<HueboxGetGradient>("GetGradient");
    gradationColours = m_library.Get<HueboxGetGradationColors>("GetGradationColors");
    showEditor = m_library.Get<HueboxShowGradientEditor>("ShowGradientEditor");
    showGradationUi = m_library.Get<HueboxShowGradationUI>("ShowGradationUI");
    paintMsg = m_library.Get<HueboxPaintMsg>("PaintMsg");
    informationText = m_library.Get<HueboxImageInformationTextFunction>("HueboxImageInformationText");
    for (void* f : {reinterpret_cast<void*>(colourAt), reinterpret_cast<void*>(openSurface),
                    reinterpret_cast<void*>(gradientCount), reinterpret_cast<void*>(getGradient),
                    reinterpret_cast<void*>(gradationColours), reinterpret_cast<void*>(showEditor),
                    reinterpret_cast<void*>(showGradationUi), reinterpret_cast<void*>(paintMsg),
                    reinterpret_cast<void*>(informationText)})
      ASSERT_NE(f, nullptr);
  }

  Library m_library;
  HueboxSurfaceColourAtFunction colourAt = nullptr;
  HueboxOpenColorSurface openSurface = nullptr;
  HueboxGradientCountFunction gradientCount = nullptr;
  HueboxGetGradient getGradient = nullptr;
  HueboxGetGradationColors gradationColours = nullptr;
  HueboxShowGradientEditor showEditor = nullptr;
  HueboxShowGradationUI showGradationUi = nullptr;
  HueboxPaintMsg paintMsg = nullptr;
  HueboxImageInformationTextFunction informationText = nullptr;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
}

QPushButton* Button(QWidget* window, const QString& text) {
  for (QPushButton* button : window->findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

// ---- the surface without a window --------------------------------------------------------------

struct PointCase {
  const char* name;
  int32_t hue;
  int32_t x, y;
  int32_t part;
  uint32_t colour;  // 0x00BBGGRR; for kHueboxPartNone the colour stays at its marker
};

constexpr uint32_t kUntouched = 0xDEADBEEF;

TEST_F(HueboxTest, EachPointOfTheSurfaceShowsTheColourOfItsPart) {
  // Square: saturation = x − 8, value = 255 − (y − 8). At s = v = 128 and hue 0:
  // p = (128 × 127 + 127) / 255 = 64, t = (128 × 7620 + 7650) / 15300 = 64.
  // Hue 30, full: t = (255 × 7650 + 7650) / 15300 = 128. Hue 270 is sector 4 with f = 30.
  // Strip row 128 is hue 180 (cyan); row 255 is hue 358: q = (255 × 510 + 7650) / 15300 = 9.
  const PointCase cases[] = {
      {"square top left is white", 0, 8, 8, kHueboxPartSquare, 0xFFFFFF},
      {"square top right is the hue", 0, 263, 8, kHueboxPartSquare, 0x0000FF},
      {"green", 120, 263, 8, kHueboxPartSquare, 0x00FF00},
      {"orange", 30, 263, 8, kHueboxPartSquare, 0x0080FF},
      {"hues wrap past 360", 390, 263, 8, kHueboxPartSquare, 0x0080FF},
      {"negative hues wrap", -90, 263, 8, kHueboxPartSquare, 0xFF0080},
      {"half saturation and value", 0, 136, 135, kHueboxPartSquare, 0x404080},
      {"strip top is red", 200, 272, 8, kHueboxPartHue, 0x0000FF},
      {"strip middle is cyan", 0, 295, 136, kHueboxPartHue, 0xFFFF00},
      {"strip bottom", 0, 280, 263, kHueboxPartHue, 0x0900FF},
      {"current swatch's last column", 0, 135, 303, kHueboxPartCurrent, 0x123456},
      {"previous swatch", 0, 136, 303, kHueboxPartPrevious, 0x654321},
      {"between square and strip", 0, 264, 8, kHueboxPartNone, kUntouched},
      {"below the swatches", 0, 8, 304, kHueboxPartNone, kUntouched},
  };
  for (const PointCase& c : cases) {
    // The swatches show their colours without the top byte.
    const HueboxSurfaceState state{0xAA654321u, 0xBB123456u, c.hue};
    uint32_t colour = kUntouched;
    EXPECT_EQ(colourAt(&state, c.x, c.y, &colour), c.part) << c.name;
    EXPECT_EQ(colour, c.colour) << c.name;
  }
  uint32_t colour = kUntouched;
  EXPECT_EQ(colourAt(nullptr, 8, 8, &colour), kHueboxPartNone);
  EXPECT_EQ(colour, kUntouched);
}

// ---- picking with the mouse and the keys --------------------------------------------------------

struct Click {
  int x, y;
};

struct PickCase {
  const char* name;
  uint32_t opening;  // the colour the surface opens with
  std::vector<Click> clicks;
  int32_t answer;
  uint32_t picked;
};

TEST_F(HueboxTest, TheSurfacePicksWhereTheButtonIsReleased) {
  // Green opens the square at hue 120; red at hue 0. Strip row 128 turns it to hue 180.
  const PickCase cases[] = {
      {"square", 0x00FF00, {{136, 135}}, 1, 0x408040},
      {"strip then square", 0x00FF00, {{280, 136}, {263, 8}}, 1, 0xFFFF00},
      // The hue changes, saturation and value stay: red becomes cyan.
      {"strip then current swatch", 0x0000FF, {{280, 136}, {20, 280}}, 1, 0xFFFF00},
      {"strip then previous swatch", 0x0000FF, {{280, 136}, {200, 280}}, 1, 0x0000FF},
      {"margin then current swatch", 0x336699, {{2, 2}, {20, 280}}, 1, 0x336699},
  };
  for (const PickCase& c : cases) {
    test::WhenPopupShown([&c](QWidget* popup) {
      for (const Click& click : c.clicks) QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(click.x, click.y));
    });
    uint32_t picked = kUntouched;
    EXPECT_EQ(openSurface(nullptr, 40, 30, c.opening, &picked), c.answer) << c.name;
    EXPECT_EQ(picked, c.picked) << c.name;
  }
}

TEST_F(HueboxTest, ADragOverTheSquareEndsWhereTheButtonComesUp) {
  test::WhenPopupShown([](QWidget* popup) {
    QTest::mousePress(popup, Qt::LeftButton, {}, QPoint(20, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(400, 8), popup->mapToGlobal(QPointF(400, 8)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(popup, &move);
    QTest::mouseRelease(popup, Qt::LeftButton, {}, QPoint(400, 8));
  });
  uint32_t picked = kUntouched;
  // Dragged beyond the square's right edge: held to saturation 255 at value 255, hue 0.
  EXPECT_EQ(openSurface(nullptr, 0, 0, 0x0000FF, &picked), 1);
  EXPECT_EQ(picked, 0x0000FFu);
}

struct KeyCase {
  const char* name;
  Qt::Key key;
  int32_t answer;
  uint32_t picked;
};

TEST_F(HueboxTest, EnterPicksTheCurrentColourAndEscapeNothing) {
  const KeyCase cases[] = {
      {"enter", Qt::Key_Return, 1, 0x336699},
      {"escape", Qt::Key_Escape, 0, kUntouched},
  };
  for (const KeyCase& c : cases) {
    test::WhenPopupShown([&c](QWidget* popup) { QTest::keyClick(popup, c.key); });
    uint32_t picked = kUntouched;
    EXPECT_EQ(openSurface(nullptr, 0, 0, 0xFF336699u, &picked), c.answer) << c.name;
    EXPECT_EQ(picked, c.picked) << c.name;
  }
}

TEST_F(HueboxTest, AClickOutsideClosesWithoutAPick) {
  test::WhenPopupShown([](QWidget* popup) { QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(-30, -30)); });
  uint32_t picked = kUntouched;
  EXPECT_EQ(openSurface(nullptr, 100, 100, 0x336699, &picked), 0);
  EXPECT_EQ(picked, kUntouched);
}

TEST_F(HueboxTest, TheSurfaceOpensAtThePointAndStaysOnTheScreen) {
  const QRect screen = QApplication::primaryScreen()->availableGeometry();
  struct {
    QPoint asked, shown;
  } cases[] = {
      {{40, 30}, {40, 30}},
      {screen.bottomRight(), screen.bottomRight() - QPoint(kHueboxSurfaceWidth - 1, kHueboxSurfaceHeight - 1)},
      {{-500, -500}, screen.topLeft()},
  };
  for (const auto& c : cases) {
    QPoint shown;
    test::WhenPopupShown([&shown](QWidget* popup) {
      shown = popup->pos();
      QTest::keyClick(popup, Qt::Key_Escape);
    });
    openSurface(nullptr, c.asked.x(), c.asked.y(), 0, nullptr);
    EXPECT_EQ(shown, c.shown);
  }
}

// ---- gradients --------------------------------------------------------------------------------

constexpr const char* kTwoPatterns =
    "VNGRAD 1\nNAME=ramp\nSTOPS=2\n0 0 0 0 255\n1 255 0 0 255\n"
    "NAME=inner\nSTOPS=2\n0.3 0 100 0 128\n0.7 0 200 0 64\n";

TEST_F(HueboxTest, GradientsComeFromTheProgramFoldersFileAsItIsNow) {
  const TempFolder folder;
  const ProgramFolderScope scope(folder.Path().string());
  EXPECT_EQ(gradientCount(), 0);
  WriteText(folder / "res/grad.gpi", kTwoPatterns);
  ASSERT_EQ(gradientCount(), 2);

  uint32_t colours[5] = {};
  ASSERT_EQ(gradationColours(0, 5, colours), 1);
  // 255 × i / 4 rounded half up: 63.75, 127.5, 191.25.
  EXPECT_EQ(std::vector<uint32_t>(colours, colours + 5), (std::vector<uint32_t>{0, 64, 128, 191, 255}));
  ASSERT_EQ(gradationColours(1, 5, colours), 1);
  // Green 100 at 0.3 to 200 at 0.7; 0.5 is half way.
  EXPECT_EQ(std::vector<uint32_t>(colours, colours + 5),
            (std::vector<uint32_t>{0x006400, 0x006400, 0x009600, 0x00C800, 0x00C800}));

  HueboxGradient gradient{};
  ASSERT_EQ(getGradient(1, &gradient), 1);
  EXPECT_STREQ(gradient.name, "inner");
  ASSERT_EQ(gradient.stopCount, 2);
  EXPECT_EQ(gradient.stops[0].position, 3000);
  EXPECT_EQ(gradient.stops[0].green, 100);
  EXPECT_EQ(gradient.stops[0].alpha, 128);
  EXPECT_EQ(gradient.stops[1].position, 7000);
  EXPECT_EQ(gradient.stops[1].alpha, 64);

  // A replaced file is read again at the next call.
  WriteText(folder / "res/grad.gpi.new", "VNGRAD 1\nNAME=solid\nSTOPS=1\n0 1 2 3 255\n");
  std::filesystem::rename(folder / "res/grad.gpi.new", folder / "res/grad.gpi");
  ASSERT_EQ(gradientCount(), 1);
  ASSERT_EQ(gradationColours(0, 1, colours), 1);
  EXPECT_EQ(colours[0], 0x030201u);

  WriteText(folder / "res/grad.gpi", "not a gradient file");
  EXPECT_EQ(gradientCount(), 0);
}

TEST_F(HueboxTest, RequestsForNoPatternWriteNothing) {
  const TempFolder folder;
  const ProgramFolderScope scope(folder.Path().string());
  WriteText(folder / "res/grad.gpi", kTwoPatterns);
  struct {
    const char* name;
    int32_t index, count;
    bool buffer;
  } cases[] = {{"negative index", -1, 3, true}, {"index past the end", 2, 3, true}, {"no colours", 0, 0, true},
               {"null buffer", 0, 3, false}};
  for (const auto& c : cases) {
    uint32_t colours[3] = {kUntouched, kUntouched, kUntouched};
    EXPECT_EQ(gradationColours(c.index, c.count, c.buffer ? colours : nullptr), 0) << c.name;
    EXPECT_EQ(colours[0], kUntouched) << c.name;
  }
  HueboxGradient gradient{};
  gradient.stopCount = 99;
  EXPECT_EQ(getGradient(2, &gradient), 0);
  EXPECT_EQ(gradient.stopCount, 99);
  EXPECT_EQ(getGradient(0, nullptr), 0);
}

// ---- the gradient editor ------------------------------------------------------------------------

TEST_F(HueboxTest, TheEditorAddsAStopAndSavesTheFileBack) {
  const TempFolder folder;
  const std::string path = folder / "mine.gpi";
  WriteText(path, "VNGRAD 1\nNAME=a\nSTOPS=2\n0 0 0 0 255\n1 255 255 255 255\n");
  test::WhenModalShown([](QWidget* editor) {
    QTest::mouseClick(Button(editor, "追加"), Qt::LeftButton);
    QTest::mouseClick(Button(editor, "保存"), Qt::LeftButton);
  });
  EXPECT_EQ(showEditor(nullptr, path.c_str()), 1);
  EXPECT_EQ(ReadText(path),
            "VNGRAD 1\n\nNAME=a\nSTOPS=3\n0.0000 0 0 0 255\n0.5000 128 128 128 255\n1.0000 255 255 255 255\n");
}

TEST_F(HueboxTest, TheEditorStartsAMissingFileAndCancelWritesNothing) {
  const TempFolder folder;
  const std::string path = folder / "new.gpi";
  test::WhenModalShown([](QWidget* editor) { QTest::mouseClick(Button(editor, "キャンセル"), Qt::LeftButton); });
  EXPECT_EQ(showEditor(nullptr, path.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(path));

  test::WhenModalShown([](QWidget* editor) {
    QTest::mouseClick(Button(editor, "新規"), Qt::LeftButton);
    QTest::mouseClick(Button(editor, "保存"), Qt::LeftButton);
  });
  EXPECT_EQ(showEditor(nullptr, path.c_str()), 1);
  EXPECT_EQ(ReadText(path), "VNGRAD 1\n\nNAME=新しいグラデーション\nSTOPS=2\n0.0000 0 0 0 255\n1.0000 255 255 255 255\n");
}

TEST_F(HueboxTest, TheGradientToolsEditorAnswersThePatternSelected) {
  const TempFolder folder;
  const ProgramFolderScope scope(folder.Path().string());
  WriteText(folder / "res/grad.gpi", kTwoPatterns);
  test::WhenModalShown([](QWidget* editor) { QTest::mouseClick(Button(editor, "保存"), Qt::LeftButton); });
  EXPECT_EQ(showGradationUi(nullptr, 1), 1);
  test::WhenModalShown([](QWidget* editor) { QTest::mouseClick(Button(editor, "キャンセル"), Qt::LeftButton); });
  EXPECT_EQ(showGradationUi(nullptr, 0), -1);
}

TEST_F(HueboxTest, AFileTheEditorCannotReadIsToldAndLeftAlone) {
  const TempFolder folder;
  const std::string path = folder / "bad.gpi";
  WriteText(path, "VNGRAD 1\nNAME=a\nSTOPS=40\n");
  QString told;
  test::WhenModalShown([&told](QWidget* box) {
    if (auto* message = qobject_cast<QMessageBox*>(box)) told = message->text();
    box->close();
  });
  EXPECT_EQ(showEditor(nullptr, path.c_str()), 0);
  EXPECT_EQ(told.toStdString(),
            "グラデーションファイルを読み込めません\n" + path + "\n3 行目: STOPS= は 1 から 32 までです");
  EXPECT_EQ(ReadText(path), "VNGRAD 1\nNAME=a\nSTOPS=40\n");
}

// ---- image information ---------------------------------------------------------------------------

ImageDescriptor Image(int32_t width, int32_t height) {
  ImageDescriptor image{};
  image.header.biSize = 40;
  image.header.biWidth = width;
  image.header.biHeight = height;
  image.header.biPlanes = 1;
  image.header.biBitCount = 32;
  return image;
}

TEST_F(HueboxTest, TheInformationTextNamesWidthHeightAndDepth) {
  const ImageDescriptor image = Image(640, 480);
  char text[128];
  const std::string expected = "幅: 640 ピクセル\n高さ: 480 ピクセル\n色深度: 32 ビット";
  EXPECT_EQ(informationText(&image, text, sizeof text), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(std::string(text), expected);
  EXPECT_EQ(informationText(nullptr, text, sizeof text), static_cast<int32_t>(std::strlen("画像がありません")));
  EXPECT_STREQ(text, "画像がありません");
  // "幅" is three bytes: five bytes hold "幅:" and the zero; three hold no part of it.
  char small[5];
  EXPECT_EQ(informationText(&image, small, sizeof small), static_cast<int32_t>(expected.size()));
  EXPECT_STREQ(small, "幅:");
  char tiny[3];
  informationText(&image, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "");
  EXPECT_EQ(informationText(&image, nullptr, 10), -1);
}

// A 4 × 2 picture, 0xAARRGGBB: five different words, two of them differing only in alpha and one
// only in blue.
constexpr uint32_t kPicture[2][4] = {{0xFF102030, 0xFF102030, 0x80102030, 0xFFFFFFFF},
                                     {0x00000000, 0xFF102031, 0xFF102030, 0x00000000}};

struct WindowSeen {
  bool shown = false;
  bool messageBox = false;
  QString messageText, width, height, layers, colours;
  std::vector<std::vector<qint64>> histograms;  // per channel, in the window's order
};

WindowSeen Inspect(QWidget* window) {
  WindowSeen seen;
  seen.shown = true;
  if (auto* box = qobject_cast<QMessageBox*>(window)) {
    seen.messageBox = true;
    seen.messageText = box->text();
    return seen;
  }
  const auto text = [window](const char* name) {
    auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("(missing)");
  };
  seen.width = text("width"), seen.height = text("height"), seen.layers = text("layers");
  seen.colours = text("colours");
  auto* channel = window->findChild<QComboBox*>(QStringLiteral("channel"));
  auto* histogram = window->findChild<QWidget*>(QStringLiteral("histogram"));
  if (channel == nullptr || histogram == nullptr) return seen;
  for (int i = 0; i < channel->count(); ++i) {
    channel->setCurrentIndex(i);
    std::vector<qint64> counts;
    for (const QVariant& count : histogram->property("counts").toList()) counts.push_back(count.toLongLong());
    seen.histograms.push_back(counts);
  }
  return seen;
}

std::vector<qint64> Counts(std::initializer_list<std::pair<int, qint64>> nonZero) {
  std::vector<qint64> counts(256, 0);
  for (const auto& [value, count] : nonZero) counts[static_cast<size_t>(value)] = count;
  return counts;
}

TEST_F(HueboxTest, PaintMsgOpensThePictureInformationOnlyForItsCode) {
  std::vector<uint32_t> pixels(kPicture[0], kPicture[0] + 8);
  uint8_t* rows[2] = {reinterpret_cast<uint8_t*>(&pixels[0]), reinterpret_cast<uint8_t*>(&pixels[4])};
  ImageDescriptor picture = Image(4, 2);
  picture.rows = rows;
  ImageDescriptor* head = &picture;
  ImageDescriptor bare = Image(3, 5);  // a head without pixels
  ImageDescriptor* bareHead = &bare;
  ImageDescriptor* none = nullptr;
  const std::vector<qint64> empty(256, 0);

  struct Case {
    const char* name;
    int32_t code, count;
    void* head;
    bool shown, messageBox;
    const char* messageText;
    const char *width, *height, *layers, *colours;
    std::vector<std::vector<qint64>> histograms;  // red, green, blue, alpha
  };
  const Case cases[] = {
      {"a picture", kHueboxImageInformation, 1, &head, true, false, "", "4 ピクセル", "2 ピクセル", "1", "5",
       {Counts({{0x10, 5}, {0xFF, 1}, {0x00, 2}}), Counts({{0x20, 5}, {0xFF, 1}, {0x00, 2}}),
        Counts({{0x30, 4}, {0x31, 1}, {0xFF, 1}, {0x00, 2}}), Counts({{0xFF, 5}, {0x80, 1}, {0x00, 2}})}},
      {"two layers handed over", kHueboxImageInformation, 2, &head, true, false, "", "4 ピクセル", "2 ピクセル", "2",
       "5", {}},
      {"a head without pixels", kHueboxImageInformation, 1, &bareHead, true, false, "", "3 ピクセル", "5 ピクセル",
       "1", "0", {empty, empty, empty, empty}},
      {"no image", kHueboxImageInformation, 1, &none, true, true, "画像がありません", "", "", "", "", {}},
      {"another code", 32775, 1, &head, false, false, "", "", "", "", "", {}},
      {"no head", kHueboxImageInformation, 1, nullptr, false, false, "", "", "", "", "", {}},
      {"no count", kHueboxImageInformation, 0, &head, false, false, "", "", "", "", "", {}},
  };
  for (const Case& c : cases) {
    WindowSeen seen;
    if (c.shown) {
      test::WhenModalShown([&](QWidget* window) {
        seen = Inspect(window);
        window->close();
      });
    }
    EXPECT_EQ(paintMsg(c.code, c.count, c.head), 0) << c.name;
    EXPECT_EQ(seen.shown, c.shown) << c.name;
    if (!c.shown) continue;
    EXPECT_EQ(seen.messageBox, c.messageBox) << c.name;
    if (c.messageBox) {
      EXPECT_EQ(seen.messageText.toStdString(), c.messageText) << c.name;
      continue;
    }
    EXPECT_EQ(seen.width.toStdString(), c.width) << c.name;
    EXPECT_EQ(seen.height.toStdString(), c.height) << c.name;
    EXPECT_EQ(seen.layers.toStdString(), c.layers) << c.name;
    EXPECT_EQ(seen.colours.toStdString(), c.colours) << c.name;
    if (c.histograms.empty()) continue;
    ASSERT_EQ(seen.histograms.size(), c.histograms.size()) << c.name;
    for (size_t channel = 0; channel < c.histograms.size(); ++channel)
      EXPECT_EQ(seen.histograms[channel], c.histograms[channel]) << c.name << " channel " << channel;
  }
  // The window only reads the picture.
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), kPicture[0]));
}

}  // namespace
}  // namespace varnel

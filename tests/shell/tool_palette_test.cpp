// The tool palette, the tool option window with the brush option panel, the brush size steps
// and the brush browser, driven with real input events on the offscreen platform.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brush/brush_engine.h"
#include "brush/brush_tool.h"
#include "brush/watercolour_buffer.h"
#include "core/canvas.h"
#include "document/layer_file.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "shell/brush_browser.h"
#include "shell/tool_palette.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::TempFolder;

// A tool that remembers the colours it was handed.
class ColourProbe : public PaintObject {
 public:
  void SetColours(ColourRef foreground, ColourRef background) override {
    this->foreground = foreground;
    this->background = background;
    ++calls;
  }
  ColourRef foreground{0xDEADBEEF};
  ColourRef background{0xDEADBEEF};
  int calls = 0;
};

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program folder holds the clone source; nothing else is read from it here.
    setenv("VARNEL_HOME", m_dir.Path().c_str(), 1);
    m_profile = std::make_unique<Profile>(m_dir.File("varnel.ini"));
    ProgramBrushSettings() = BrushToolSettings();
    SetProgramBrushColours(ColourRef{0x000000}, ColourRef{0xFFFFFF});
    RebuildProgramBrush();
  }
  void TearDown() override {
    unsetenv("VARNEL_HOME");
    QApplication::processEvents();
  }

  // A canvas of one 32 × 32 layer with the brush in its slot and selected.
  std::unique_ptr<Canvas> MakeCanvas() {
    auto canvas = std::make_unique<Canvas>();
    auto layer = std::make_unique<Layer>();
    EXPECT_EQ(layer->Create({32, 32}), 0);
    canvas->InitWithLayer(std::move(layer));
    canvas->SetTool(kBrushToolSlot, std::make_unique<BrushTool>(*canvas));
    canvas->SelectTool(kBrushToolSlot);
    return canvas;
  }

  static void Click(QWidget* widget, QPoint at) {
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
  }
  // Check boxes and radio buttons are clicked on their indicator.
  static void ClickIndicator(QAbstractButton* button) { Click(button, QPoint(8, button->height() / 2)); }
  static void TypeInto(QSpinBox* spin, const QString& text) {
    ASSERT_NE(spin, nullptr);
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spin, text);
    QTest::keyClick(spin, Qt::Key_Return);
  }
  static void ChooseEntry(QComboBox* combo, int index) {
    ASSERT_NE(combo, nullptr);
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(combo, Qt::Key_Down);
  }

  TempFolder m_dir;
  std::unique_ptr<Profile> m_profile;
};

// ---------------------------------------------------------------------------------------------
// The tool palette.

TEST_F(PanelTest, ThePaletteListsEveryToolInTableOrderWithItsTooltip) {
  const char* const expected[] = {"領域を選択",
                                  "ブラシで描画",
                                  "消しゴム",
                                  "選択された場所の色を取得",
                                  "直線を描画",
                                  "曲線を描画",
                                  "文字を描画",
                                  "四角形を描画",
                                  "塗りつぶし四角形を描画",
                                  "楕円を描画",
                                  "塗りつぶし楕円を描画",
                                  "多角形を描画",
                                  "塗りつぶし多角形を描画",
                                  "閉領域を塗りつぶす",
                                  "スタンプ",
                                  "選択されたレイヤを移動",
                                  "グラデーションを描画",
                                  "定規を描画",
                                  "座標を表示"};
  ToolPalette palette(*m_profile);
  palette.show();
  ASSERT_EQ(PaletteTools().size(), std::size(expected));
  QPoint previous(-1, -1);
  for (int slot = 0; slot < static_cast<int>(std::size(expected)); ++slot) {
    EXPECT_EQ(PaletteTools()[static_cast<size_t>(slot)].slot, slot);
    QAbstractButton* button = palette.ToolButton(slot);
    ASSERT_NE(button, nullptr) << slot;
    EXPECT_EQ(button->toolTip(), QString::fromUtf8(expected[slot])) << slot;
    EXPECT_TRUE(button->isCheckable());
    // Reading order: row by row, left to right.
    const QPoint at = button->mapTo(&palette, QPoint(0, 0));
    EXPECT_TRUE(at.y() > previous.y() || (at.y() == previous.y() && at.x() > previous.x())) << slot;
    previous = at;
  }
  EXPECT_EQ(palette.ToolButton(kZoomToolSlot), nullptr);
}

TEST_F(PanelTest, ButtonsOfSlotsWithoutAToolAreDisabled) {
  ToolPalette palette(*m_profile);
  for (const PaletteTool& tool : PaletteTools()) EXPECT_FALSE(palette.ToolButton(tool.slot)->isEnabled()) << tool.slot;
  auto canvas = MakeCanvas();
  palette.SetCanvas(canvas.get());
  for (const PaletteTool& tool : PaletteTools())
    EXPECT_EQ(palette.ToolButton(tool.slot)->isEnabled(), tool.slot == kBrushToolSlot) << tool.slot;
  EXPECT_TRUE(palette.ToolButton(kBrushToolSlot)->isChecked());
  palette.SetCanvas(nullptr);
  EXPECT_FALSE(palette.ToolButton(kBrushToolSlot)->isEnabled());
  EXPECT_FALSE(palette.ToolButton(kBrushToolSlot)->isChecked());
}

TEST_F(PanelTest, ClickingAToolButtonSelectsTheToolAndSignalsItsSlot) {
  auto canvas = MakeCanvas();
  auto probe = std::make_unique<ColourProbe>();
  ColourProbe* eyedropper = probe.get();
  canvas->SetTool(3, std::move(probe));
  canvas->SelectTool(3);
  ToolPalette palette(*m_profile);
  palette.SetCanvas(canvas.get());
  palette.show();
  EXPECT_TRUE(palette.ToolButton(3)->isChecked());
  QSignalSpy selected(&palette, &ToolPalette::toolSelected);

  QAbstractButton* brush = palette.ToolButton(kBrushToolSlot);
  Click(brush, brush->rect().center());
  EXPECT_EQ(canvas->SelectedTool(), kBrushToolSlot);
  EXPECT_TRUE(brush->isChecked());
  ASSERT_EQ(selected.count(), 1);
  EXPECT_EQ(selected.at(0).at(0).toInt(), kBrushToolSlot);

  // A tool that does not exist yet cannot be chosen.
  QAbstractButton* eraser = palette.ToolButton(2);
  Click(eraser, eraser->rect().center());
  EXPECT_EQ(canvas->SelectedTool(), kBrushToolSlot);
  EXPECT_EQ(selected.count(), 1);

  QAbstractButton* probeButton = palette.ToolButton(3);
  Click(probeButton, probeButton->rect().center());
  EXPECT_EQ(canvas->SelectedTool(), 3);
  EXPECT_EQ(eyedropper->foreground, ColourRef{0x000000u});
  EXPECT_EQ(eyedropper->background, ColourRef{0xFFFFFFu});
}

TEST_F(PanelTest, ChosenColoursAreStoredAsColourReferencesAndReachTheBrushAndTheTools) {
  auto canvas = MakeCanvas();
  auto probe = std::make_unique<ColourProbe>();
  ColourProbe* tool = probe.get();
  canvas->SetTool(3, std::move(probe));
  ToolPalette palette(*m_profile);
  palette.SetCanvas(canvas.get());
  palette.show();
  QColor offered;
  QString title;
  QColor answer(0x12, 0x34, 0x56);  // red 0x12, green 0x34, blue 0x56
  palette.SetColourChooser([&](const QColor& initial, const QString& t, QWidget*) -> std::optional<QColor> {
    offered = initial;
    title = t;
    return answer;
  });
  QSignalSpy changed(&palette, &ToolPalette::coloursChanged);
  ColourWell* well = palette.Well();

  Click(well, well->ForegroundRect().topLeft() + QPoint(3, 3));
  EXPECT_EQ(offered, QColor(0, 0, 0));
  EXPECT_EQ(title, "前景色");
  EXPECT_EQ(palette.Foreground(), ColourRef{0x563412u});
  EXPECT_EQ(m_profile->GetInt("Settings", "FGCOLOR", -1), 0x563412);
  EXPECT_EQ(changed.count(), 1);
  // The brush keeps pixel values 0x00RRGGBB inside.
  ASSERT_NE(ProgramBrush(), nullptr);
  EXPECT_EQ(ProgramBrush()->ToolForeground(), 0x123456u);
  EXPECT_EQ(tool->foreground, ColourRef{0x563412u});

  // The lower right of the background square is not covered by the foreground square.
  answer = QColor(0xFF, 0x00, 0x80);
  Click(well, well->BackgroundRect().bottomRight() - QPoint(3, 3));
  EXPECT_EQ(offered, QColor(255, 255, 255));
  EXPECT_EQ(title, "背景色");
  EXPECT_EQ(palette.Background(), ColourRef{0x8000FFu});
  EXPECT_EQ(m_profile->GetInt("Settings", "BGCOLOR", -1), 0x8000FF);
  EXPECT_EQ(ProgramBrush()->Background(), 0xFF0080u);
  EXPECT_EQ(tool->background, ColourRef{0x8000FFu});
  EXPECT_EQ(changed.count(), 2);

  // A cancelled dialog changes nothing.
  palette.SetColourChooser([](const QColor&, const QString&, QWidget*) { return std::optional<QColor>(); });
  Click(well, well->ForegroundRect().center());
  EXPECT_EQ(palette.Foreground(), ColourRef{0x563412u});
  EXPECT_EQ(changed.count(), 2);
}

TEST_F(PanelTest, SwapExchangesTheColoursAndResetGivesBlackOnWhite) {
  ToolPalette palette(*m_profile);
  palette.show();
  palette.SetColours(ColourRef{0x0000FF}, ColourRef{0x00FF00});  // red over green
  ColourWell* well = palette.Well();
  Click(well, well->SwapRect().center());
  EXPECT_EQ(palette.Foreground(), ColourRef{0x00FF00u});
  EXPECT_EQ(palette.Background(), ColourRef{0x0000FFu});
  EXPECT_EQ(m_profile->GetInt("Settings", "FGCOLOR", -1), 0x00FF00);
  EXPECT_EQ(m_profile->GetInt("Settings", "BGCOLOR", -1), 0x0000FF);
  EXPECT_EQ(ProgramBrush()->ToolForeground(), 0x00FF00u);
  EXPECT_EQ(ProgramBrush()->Background(), 0xFF0000u);

  Click(well, well->ResetRect().center());
  EXPECT_EQ(palette.Foreground(), ColourRef{0x000000u});
  EXPECT_EQ(palette.Background(), ColourRef{0xFFFFFFu});
  EXPECT_EQ(m_profile->GetInt("Settings", "FGCOLOR", -1), 0);
  EXPECT_EQ(m_profile->GetInt("Settings", "BGCOLOR", -1), 0xFFFFFF);
}

TEST_F(PanelTest, StoredColoursAreReadBackAtStartAndHandedToTheBrush) {
  m_profile->WriteInt("Settings", "FGCOLOR", 0x0000FF);  // red
  m_profile->WriteInt("Settings", "BGCOLOR", 0xFF0000);  // blue
  ToolPalette palette(*m_profile);
  EXPECT_EQ(palette.Foreground(), ColourRef{0x0000FFu});
  EXPECT_EQ(palette.Background(), ColourRef{0xFF0000u});
  EXPECT_EQ(ProgramBrush()->ToolForeground(), 0xFF0000u);
  EXPECT_EQ(ProgramBrush()->Background(), 0x0000FFu);
}

TEST_F(PanelTest, WithoutStoredColoursThePaletteStartsBlackOnWhite) {
  m_profile->WriteInt("Settings", "FGCOLOR", 0x7F123456);  // a stray top byte is dropped
  ToolPalette palette(*m_profile);
  EXPECT_EQ(palette.Foreground(), ColourRef{0x123456u});
  EXPECT_EQ(palette.Background(), ColourRef{0xFFFFFFu});
}

// ---------------------------------------------------------------------------------------------
// The brush option panel.

class BrushPanelTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    m_window = std::make_unique<ToolOptionWindow>(*m_profile);
    m_window->resize(320, 760);
    m_window->show();
    m_panel = m_window->BrushPanel();
  }
  void TearDown() override {
    m_window.reset();
    PanelTest::TearDown();
  }
  template <typename T>
  T* Control(const char* name) {
    T* control = m_panel->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  std::unique_ptr<ToolOptionWindow> m_window;
  BrushOptionPanel* m_panel = nullptr;
};

struct ControlCase {
  const char* name;
  const char* control;
  enum Kind { kSpin, kCheck, kCombo } kind;
  const char* typed;  // for spin boxes
  int index;          // for the combo box
  // Settings the control needs before it is enabled.
  std::function<void(BrushToolSettings&)> prepare;
  std::function<int(const BrushToolSettings&)> field;
  int expected;
  // What the rebuilt brush got.
  std::function<int(const BrushEngine&)> brush;
};

// Each arrow key press in the combo box is a change of its own.
int RebuildsFor(const ControlCase& c) { return c.kind == ControlCase::kCombo ? c.index : 1; }

TEST_F(BrushPanelTest, EveryControlWritesItsFieldAndRebuildsTheBrushOnce) {
  const ControlCase cases[] = {
      {"base opacity", "BaseOpacity", ControlCase::kSpin, "128", 0, nullptr,
       [](const BrushToolSettings& s) { return s.baseOpacity; }, 128,
       [](const BrushEngine& b) { return b.BaseOpacity(); }},
      {"minimum size", "MinimumSize", ControlCase::kSpin, "55", 0, nullptr,
       [](const BrushToolSettings& s) { return s.minimumSize; }, 55,
       [](const BrushEngine& b) { return b.MinimumSize(); }},
      {"spacing", "Spacing", ControlCase::kSpin, "25", 0, nullptr,
       [](const BrushToolSettings& s) { return s.spacing; }, 25,
       [](const BrushEngine& b) { return static_cast<int>(b.Spacing() * 100 + 0.5); }},
      {"pressure sizing", "PressureSizing", ControlCase::kCheck, nullptr, 0, nullptr,
       [](const BrushToolSettings& s) { return int{s.pressureSizing}; }, 1,
       [](const BrushEngine& b) { return int{b.PressureSizing()}; }},
      {"pressure opacity", "PressureOpacity", ControlCase::kCheck, nullptr, 0, nullptr,
       [](const BrushToolSettings& s) { return int{s.pressureOpacity}; }, 1,
       [](const BrushEngine& b) { return int{b.PressureOpacity()}; }},
      {"affect alpha (on by default)", "AffectAlpha", ControlCase::kCheck, nullptr, 0, nullptr,
       [](const BrushToolSettings& s) { return int{s.affectAlpha}; }, 0,
       [](const BrushEngine& b) { return int{b.AffectAlpha()}; }},
      {"anti-alias", "AntiAlias", ControlCase::kCheck, nullptr, 0, nullptr,
       [](const BrushToolSettings& s) { return int{s.antiAlias}; }, 1,
       [](const BrushEngine& b) { return int{b.AntiAlias()}; }},
      {"colour mask mode", "ColourMaskMode", ControlCase::kCombo, nullptr, 8, nullptr,
       [](const BrushToolSettings& s) { return s.colourMaskMode; }, 8,
       [](const BrushEngine& b) { return b.GetColourMask() ? b.GetColourMask()->Mode() : -1; }},
      {"colour mask minimum", "ColourMaskMinimum", ControlCase::kSpin, "20", 0,
       [](BrushToolSettings& s) { s.colourMaskMode = 8; },
       [](const BrushToolSettings& s) { return s.colourMaskMinimum; }, 20,
       [](const BrushEngine& b) { return b.GetColourMask()->Minimum(); }},  // 20 × 255 / 100
      {"colour mask maximum", "ColourMaskMaximum", ControlCase::kSpin, "90", 0,
       [](BrushToolSettings& s) { s.colourMaskMode = 9; },
       [](const BrushToolSettings& s) { return s.colourMaskMaximum; }, 90,
       [](const BrushEngine& b) { return b.GetColourMask()->Maximum(); }},
      {"colour mask tolerance", "ColourMaskTolerance", ControlCase::kSpin, "45", 0,
       [](BrushToolSettings& s) { s.colourMaskMode = 1; },
       [](const BrushToolSettings& s) { return s.colourMaskTolerance; }, 45,
       [](const BrushEngine& b) { return b.GetColourMask()->ChannelTolerance(); }},
      {"watercolour", "Watercolour", ControlCase::kCheck, nullptr, 0, nullptr,
       [](const BrushToolSettings& s) { return int{s.watercolour}; }, 1,
       [](const BrushEngine& b) { return int{b.Watercolour()}; }},
      {"watercolour level", "WatercolourLevel", ControlCase::kSpin, "200", 0,
       [](BrushToolSettings& s) { s.watercolour = true; },
       [](const BrushToolSettings& s) { return s.watercolourLevel; }, 200,
       [](const BrushEngine& b) { return b.WatercolourLevel(); }},
  };
  // What the brush holds for each case, from the building rules: percentages become levels by
  // truncating integer division.
  const int brushExpected[] = {128, 55, 25, 1, 1, 0, 1, 8, 20 * 255 / 100, 90 * 255 / 100, 45 * 255 / 100, 1, 200};
  static_assert(std::size(brushExpected) == std::size(cases));

  int row = 0;
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramBrushSettings() = BrushToolSettings();
    if (c.prepare) c.prepare(ProgramBrushSettings());
    RebuildProgramBrush();
    m_panel->Refresh();
    QSignalSpy rebuilt(m_panel, &BrushOptionPanel::brushRebuilt);
    const BrushEngine* before = ProgramBrush();
    switch (c.kind) {
      case ControlCase::kSpin: {
        auto* spin = Control<QSpinBox>(c.control);
        ASSERT_TRUE(spin->isEnabled());
        TypeInto(spin, c.typed);
        break;
      }
      case ControlCase::kCheck: {
        auto* box = Control<QCheckBox>(c.control);
        ASSERT_TRUE(box->isEnabled());
        ClickIndicator(box);
        break;
      }
      case ControlCase::kCombo:
        ChooseEntry(Control<QComboBox>(c.control), c.index);
        break;
    }
    EXPECT_EQ(c.field(ProgramBrushSettings()), c.expected);
    EXPECT_EQ(rebuilt.count(), RebuildsFor(c));
    ASSERT_NE(ProgramBrush(), nullptr);
    // A single rebuild cannot reuse the old brush's address: the new brush is made first.
    if (RebuildsFor(c) == 1) {
      EXPECT_NE(ProgramBrush(), before);
    }
    EXPECT_EQ(c.brush(*ProgramBrush()), brushExpected[row]);

    // The same value again is no change: no rebuild.
    if (c.kind == ControlCase::kSpin) {
      TypeInto(Control<QSpinBox>(c.control), c.typed);
      EXPECT_EQ(rebuilt.count(), 1);
    }
    ++row;
  }
}

TEST_F(BrushPanelTest, ControlsThatDoNotApplyToTheColourMaskModeAreDisabled) {
  struct Case {
    int mode;
    bool tolerance;
    bool range;
  };
  for (const Case& c : {Case{0, false, false}, Case{1, true, false}, Case{7, true, false}, Case{8, false, true},
                        Case{10, false, true}}) {
    ProgramBrushSettings().colourMaskMode = c.mode;
    m_panel->Refresh();
    EXPECT_EQ(Control<QSpinBox>("ColourMaskTolerance")->isEnabled(), c.tolerance) << c.mode;
    EXPECT_EQ(Control<QSpinBox>("ColourMaskMinimum")->isEnabled(), c.range) << c.mode;
    EXPECT_EQ(Control<QSpinBox>("ColourMaskMaximum")->isEnabled(), c.range) << c.mode;
  }
}

TEST_F(BrushPanelTest, TheColourMaskComboListsTheModesInOrder) {
  const char* const labels[] = {"なし",     "描画開始点", "開始点以外", "背景色",   "開始輝度", "開始色相",
                                "開始明度", "開始彩度",   "輝度範囲",   "明度範囲", "彩度範囲"};
  auto* combo = Control<QComboBox>("ColourMaskMode");
  ASSERT_EQ(combo->count(), static_cast<int>(std::size(labels)));
  for (int i = 0; i < combo->count(); ++i) EXPECT_EQ(combo->itemText(i), QString::fromUtf8(labels[i]));
}

TEST_F(BrushPanelTest, PressureTogglesCarryTheirTooltips) {
  EXPECT_EQ(Control<QCheckBox>("PressureSizing")->toolTip(), "筆圧によるブラシサイズの変化");
  EXPECT_EQ(Control<QCheckBox>("PressureOpacity")->toolTip(), "筆圧による透明度変化");
  EXPECT_EQ(Control<QCheckBox>("PressureOpacity")->text(), "筆圧不透明");
  EXPECT_EQ(Control<QCheckBox>("AffectAlpha")->text(), "透明度に作用");
  EXPECT_EQ(Control<QCheckBox>("CloneColour")->text(), "クローンカラー");
  EXPECT_EQ(Control<QRadioButton>("DryAtStrokeEnd")->text(), "描画終了で乾く");
  EXPECT_EQ(Control<QRadioButton>("DryOnCommand")->text(), "コマンドで乾く");
  EXPECT_EQ(Control<QPushButton>("Dry")->text(), "乾かす");
}

TEST_F(BrushPanelTest, RefreshShowsTheSettingsWithoutRebuildingTheBrush) {
  BrushToolSettings& s = ProgramBrushSettings();
  s.baseOpacity = 77;
  s.minimumSize = 12;
  s.spacing = 300;
  s.SetSize(40, 40);
  s.pressureSizing = true;
  s.pressureOpacity = true;
  s.affectAlpha = false;
  s.antiAlias = true;
  s.colourMaskMode = 5;
  s.colourMaskMinimum = 11;
  s.colourMaskMaximum = 66;
  s.colourMaskTolerance = 9;
  s.watercolour = true;
  s.watercolourLevel = 30;
  s.kind = kBrushBlur;
  RebuildProgramBrush();
  const BrushEngine* before = ProgramBrush();
  QSignalSpy rebuilt(m_panel, &BrushOptionPanel::brushRebuilt);
  m_window->Refresh();
  EXPECT_EQ(rebuilt.count(), 0);
  EXPECT_EQ(ProgramBrush(), before);
  EXPECT_EQ(Control<QSpinBox>("BaseOpacity")->value(), 77);
  EXPECT_EQ(Control<QSpinBox>("MinimumSize")->value(), 12);
  EXPECT_EQ(Control<QSpinBox>("Spacing")->value(), 300);
  EXPECT_EQ(Control<QSpinBox>("BrushWidth")->value(), 40);
  EXPECT_EQ(Control<QSpinBox>("BrushHeight")->value(), 40);
  EXPECT_TRUE(Control<QCheckBox>("PressureSizing")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>("PressureOpacity")->isChecked());
  EXPECT_FALSE(Control<QCheckBox>("AffectAlpha")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>("AntiAlias")->isChecked());
  EXPECT_EQ(Control<QComboBox>("ColourMaskMode")->currentIndex(), 5);
  EXPECT_EQ(Control<QSpinBox>("ColourMaskMinimum")->value(), 11);
  EXPECT_EQ(Control<QSpinBox>("ColourMaskMaximum")->value(), 66);
  EXPECT_EQ(Control<QSpinBox>("ColourMaskTolerance")->value(), 9);
  EXPECT_TRUE(Control<QCheckBox>("Watercolour")->isChecked());
  EXPECT_EQ(Control<QSpinBox>("WatercolourLevel")->value(), 30);
  EXPECT_EQ(Control<QLabel>("BrushName")->text(), "ぼかし");
  // Nothing the refresh set was written back.
  EXPECT_EQ(s.baseOpacity, 77);
  EXPECT_EQ(s.kind, kBrushBlur);
}

TEST_F(BrushPanelTest, TheBrushNameIsTheKindsMenuTextOrThePresetTitle) {
  ProgramBrushSettings().kind = kBrushDodgeMiddle;
  m_window->Refresh();
  EXPECT_EQ(Control<QLabel>("BrushName")->text(), "覆い焼き(中間色)");
  ProgramBrushSettings().kind = kBrushCustom;
  m_window->Refresh();
  EXPECT_EQ(Control<QLabel>("BrushName")->text(), "現在のカスタムブラシ");
  m_window->SetBrushName("にじみ筆");
  EXPECT_EQ(Control<QLabel>("BrushName")->text(), "にじみ筆");
  m_window->Refresh();
  EXPECT_EQ(Control<QLabel>("BrushName")->text(), "にじみ筆");
  m_window->SetBrushName("");  // a preset without a title
  EXPECT_EQ(Control<QLabel>("BrushName")->text(), "カスタムブラシ");
  ProgramBrushSettings().kind = kBrushNormal;
  m_window->Refresh();
  EXPECT_EQ(Control<QLabel>("BrushName")->text(), "ノーマル描画");
}

TEST_F(BrushPanelTest, TypedSizesAreClampedTo1Through256AndStoredAsBrushSize) {
  auto* width = Control<QSpinBox>("BrushWidth");
  auto* height = Control<QSpinBox>("BrushHeight");
  auto* lock = Control<QCheckBox>("SizeLock");
  ASSERT_TRUE(lock->isChecked());
  EXPECT_FALSE(height->isEnabled());
  TypeInto(width, "300");
  EXPECT_EQ(ProgramBrushSettings().width, 256);
  EXPECT_EQ(ProgramBrushSettings().height, 256);  // locked: the height follows
  EXPECT_EQ(width->value(), 256);
  EXPECT_EQ(ProgramBrush()->GetSize(), (Size{256, 256}));
  EXPECT_EQ(m_profile->GetInt("Settings", "BRUSHSIZE", -1), 256 << 16 | 256);

  ClickIndicator(lock);
  ASSERT_FALSE(lock->isChecked());
  ASSERT_TRUE(height->isEnabled());
  TypeInto(height, "0");
  EXPECT_EQ(ProgramBrushSettings().width, 256);
  EXPECT_EQ(ProgramBrushSettings().height, 1);
  EXPECT_EQ(height->value(), 1);
  EXPECT_EQ(m_profile->GetInt("Settings", "BRUSHSIZE", -1), 256 << 16 | 1);

  // Text that is no number is refused keystroke by keystroke: nothing changes.
  QSignalSpy rebuilt(m_panel, &BrushOptionPanel::brushRebuilt);
  TypeInto(width, "abc");
  TypeInto(width, "-");
  EXPECT_EQ(ProgramBrushSettings().width, 256);
  EXPECT_EQ(width->value(), 256);
  EXPECT_EQ(rebuilt.count(), 0);

  // Locking again makes the height the width.
  ClickIndicator(lock);
  EXPECT_EQ(ProgramBrushSettings().height, 256);
  EXPECT_EQ(height->value(), 256);
}

TEST_F(BrushPanelTest, AnUnequalSizeFromAToolStateIsShownUnlocked) {
  ProgramBrushSettings().SetSize(10, 30);
  QSignalSpy rebuilt(m_panel, &BrushOptionPanel::brushRebuilt);
  m_window->Refresh();
  EXPECT_EQ(rebuilt.count(), 0);
  EXPECT_FALSE(Control<QCheckBox>("SizeLock")->isChecked());
  EXPECT_EQ(Control<QSpinBox>("BrushWidth")->value(), 10);
  EXPECT_EQ(Control<QSpinBox>("BrushHeight")->value(), 30);
  EXPECT_EQ(ProgramBrushSettings().height, 30);
}

TEST_F(BrushPanelTest, CloneColourWithoutASourceTellsTheUserAndStaysOff) {
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  QSignalSpy rebuilt(m_panel, &BrushOptionPanel::brushRebuilt);
  auto* clone = Control<QCheckBox>("CloneColour");
  ClickIndicator(clone);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "クローンソースを設定してください");
  EXPECT_FALSE(clone->isChecked());
  EXPECT_FALSE(ProgramBrushSettings().cloneColour);
  EXPECT_EQ(rebuilt.count(), 0);
}

TEST_F(BrushPanelTest, CloneColourReadsTheSourceFromTheProgramFolder) {
  LayerList layers;
  auto layer = std::make_unique<Layer>();
  ASSERT_EQ(layer->Create({4, 4}), 0);
  layer->SetPixel(0, 0, 0xFF102030u);
  layers.push_back(std::move(layer));
  ASSERT_EQ(WriteLayerList(m_dir.File("cloneSource.vlb"), LayerRefs{layers[0].get()}), 0);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  auto* clone = Control<QCheckBox>("CloneColour");
  ClickIndicator(clone);
  EXPECT_TRUE(recorder.boxes.empty());
  EXPECT_TRUE(clone->isChecked());
  ASSERT_TRUE(ProgramBrushSettings().cloneColour);
  ASSERT_NE(ProgramBrushSettings().cloneSource, nullptr);
  EXPECT_EQ(ProgramBrushSettings().cloneSource->GetSize(), (Size{4, 4}));
  EXPECT_TRUE(ProgramBrush()->CloneColour());
  ClickIndicator(clone);
  EXPECT_FALSE(ProgramBrushSettings().cloneColour);
  EXPECT_EQ(ProgramBrushSettings().cloneSource, nullptr);
  EXPECT_FALSE(ProgramBrush()->CloneColour());
}

TEST_F(BrushPanelTest, DryOnCommandKeepsPaintWetUntilTheDryButton) {
  auto canvas = MakeCanvas();
  m_window->SetCanvas(canvas.get());
  ProgramBrushSettings().SetSize(5, 5);
  ProgramBrushSettings().watercolour = true;
  RebuildProgramBrush();
  m_window->Refresh();
  auto* dry = Control<QPushButton>("Dry");
  EXPECT_FALSE(dry->isEnabled());  // drying at stroke end leaves nothing to dry
  ClickIndicator(Control<QRadioButton>("DryOnCommand"));
  EXPECT_EQ(m_panel->DryMode(), kDryOnCommand);
  EXPECT_EQ(ProgramBrush()->DryMode(), kDryOnCommand);
  ASSERT_TRUE(dry->isEnabled());

  auto stroke = [&canvas] {
    canvas->DeliverEvent(kToolButtonDown, kToolLeftButton, 4, 4, 0);
    canvas->DeliverEvent(kToolMove, kToolLeftButton, 20, 4, 256);
    canvas->DeliverEvent(kToolButtonUp, 0, 20, 4, 0);
  };
  stroke();
  Layer& layer = *canvas->ActiveLayer();
  WatercolourBuffer* wet = WatercolourBuffer::Of(layer, false);
  ASSERT_NE(wet, nullptr);
  EXPECT_TRUE(wet->IsWet());
  Click(dry, dry->rect().center());
  EXPECT_FALSE(wet->IsWet());

  // A brush rebuilt by a kind command starts drying at stroke end; the panel's refresh gives
  // it the chosen mode back without another rebuild.
  RebuildProgramBrush();
  EXPECT_EQ(ProgramBrush()->DryMode(), kDryAtStrokeEnd);
  const BrushEngine* rebuiltBrush = ProgramBrush();
  m_window->Refresh();
  EXPECT_EQ(ProgramBrush(), rebuiltBrush);
  EXPECT_EQ(ProgramBrush()->DryMode(), kDryOnCommand);

  ClickIndicator(Control<QRadioButton>("DryAtStrokeEnd"));
  EXPECT_EQ(ProgramBrush()->DryMode(), kDryAtStrokeEnd);
  EXPECT_FALSE(dry->isEnabled());
  stroke();
  EXPECT_FALSE(WatercolourBuffer::Of(layer, false)->IsWet());
}

TEST_F(BrushPanelTest, TheOptionWindowShowsTheBrushPanelOnlyForTheBrush) {
  auto canvas = MakeCanvas();
  canvas->SetTool(3, std::make_unique<ColourProbe>());
  canvas->SetTool(10, std::make_unique<ColourProbe>());
  ToolPalette palette(*m_profile);
  palette.SetCanvas(canvas.get());
  m_window->SetCanvas(canvas.get());
  QObject::connect(&palette, &ToolPalette::toolSelected, m_window.get(), &ToolOptionWindow::ShowToolOptions);
  palette.show();
  auto* stack = m_window->findChild<QStackedWidget*>();
  ASSERT_NE(stack, nullptr);
  EXPECT_EQ(stack->currentWidget(), m_panel);
  Click(palette.ToolButton(3), palette.ToolButton(3)->rect().center());
  EXPECT_EQ(m_window->ShownSlot(), 3);
  EXPECT_NE(stack->currentWidget(), m_panel);
  // A tool without a panel of its own gets the page headed with its name, which follows the tool.
  const auto* heading = stack->currentWidget()->findChild<QLabel*>("ToolName");
  ASSERT_NE(heading, nullptr);
  EXPECT_EQ(heading->text(), QString("選択された場所の色を取得"));
  Click(palette.ToolButton(10), palette.ToolButton(10)->rect().center());
  EXPECT_EQ(stack->currentWidget(), heading->parentWidget());
  EXPECT_EQ(heading->text(), QString("塗りつぶし楕円"));
  Click(palette.ToolButton(kBrushToolSlot), palette.ToolButton(kBrushToolSlot)->rect().center());
  EXPECT_EQ(stack->currentWidget(), m_panel);
}

// ---------------------------------------------------------------------------------------------
// Brush size steps.

TEST_F(BrushPanelTest, SizeStepsMoveBothSidesByFourWithinTheBounds) {
  struct Case {
    int width, height, delta;
    int expectedWidth, expectedHeight;
  };
  const Case cases[] = {
      {2, 2, +4, 6, 6},          // the default size
      {254, 250, +4, 256, 254},  // the upper bound holds one side
      {256, 256, +4, 256, 256},
      {3, 1, -4, 1, 1},
      {1, 1, -4, 1, 1},
      {100, 40, -4, 96, 36},
  };
  for (const Case& c : cases) {
    ProgramBrushSettings().SetSize(c.width, c.height);
    RebuildProgramBrush();
    const BrushEngine* before = ProgramBrush();
    StepBrushSize(c.delta, *m_profile);
    const bool changed = c.expectedWidth != c.width || c.expectedHeight != c.height;
    EXPECT_EQ(ProgramBrushSettings().width, c.expectedWidth) << c.width << "x" << c.height << " " << c.delta;
    EXPECT_EQ(ProgramBrushSettings().height, c.expectedHeight) << c.width << "x" << c.height << " " << c.delta;
    EXPECT_EQ(m_profile->GetInt("Settings", "BRUSHSIZE", -1), c.expectedWidth * 65536 + c.expectedHeight);
    EXPECT_EQ(ProgramBrush() != before, changed) << c.width << "x" << c.height << " " << c.delta;
    EXPECT_EQ(ProgramBrush()->GetSize(), (Size{c.expectedWidth, c.expectedHeight}));
    // The panel shows the stepped size.
    EXPECT_EQ(Control<QSpinBox>("BrushWidth")->value(), c.expectedWidth);
    EXPECT_EQ(Control<QSpinBox>("BrushHeight")->value(), c.expectedHeight);
  }
}

// ---------------------------------------------------------------------------------------------
// The brush browser.

class BrowserTest : public PanelTest {
 protected:
  // A small brush menu: a command, a group with two commands, an empty group, a separator
  // and a last command.
  void FillMenu(QMenu& menu, const QString& presetTitle) {
    menu.clear();
    auto add = [this](QMenu* into, const QString& text, int id) {
      QAction* action = into->addAction(text);
      action->setData(id);
      QObject::connect(action, &QAction::triggered, [this, id] { triggered.push_back(id); });
      return action;
    };
    add(&menu, "現在のカスタムブラシ", 34000);
    QMenu* presets = menu.addMenu("プリセット");
    add(presets, presetTitle, 35000);
    QMenu* art = menu.addMenu("画材風");
    add(art, "筆風", 34002);
    add(art, "油彩風", 34003)->setEnabled(false);
    menu.addSeparator();
    add(&menu, "ノーマル描画", 34001);
  }

  void DoubleClick(QTreeWidget* tree, QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    // As the window system delivers a double click: a click, then the second press as a
    // double click.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }

  std::vector<int> triggered;
};

TEST_F(BrowserTest, TheTreeMirrorsTheMenuWithFoldersAndCommandIds) {
  QMenu menu;
  FillMenu(menu, "水彩A");
  BrushBrowser browser(*m_profile);
  browser.Mirror(&menu);
  QTreeWidget* tree = browser.Tree();
  ASSERT_EQ(tree->topLevelItemCount(), 4);
  EXPECT_EQ(tree->topLevelItem(0)->text(0), "現在のカスタムブラシ");
  EXPECT_EQ(tree->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 34000);
  EXPECT_EQ(tree->topLevelItem(1)->text(0), "プリセット");
  EXPECT_EQ(tree->topLevelItem(1)->childCount(), 1);
  EXPECT_EQ(tree->topLevelItem(2)->text(0), "画材風");
  ASSERT_EQ(tree->topLevelItem(2)->childCount(), 2);
  EXPECT_EQ(tree->topLevelItem(2)->child(0)->data(0, Qt::UserRole).toInt(), 34002);
  EXPECT_EQ(tree->topLevelItem(2)->child(1)->text(0), "油彩風");
  EXPECT_FALSE(tree->topLevelItem(2)->child(1)->flags() & Qt::ItemIsEnabled);
  EXPECT_EQ(tree->topLevelItem(3)->text(0), "ノーマル描画");
  EXPECT_EQ(browser.FindItem("プリセット/水彩A")->data(0, Qt::UserRole).toInt(), 35000);
  EXPECT_EQ(browser.FindItem("画材風/墨"), nullptr);
}

TEST_F(BrowserTest, ActivatingALeafTriggersTheMenusAction) {
  QMenu menu;
  FillMenu(menu, "水彩A");
  BrushBrowser browser(*m_profile);
  browser.SetRebuild([] {});
  browser.Mirror(&menu);
  browser.show();
  QTreeWidget* tree = browser.Tree();

  // A folder opens on a double click and triggers nothing.
  DoubleClick(tree, browser.FindItem("画材風"));
  EXPECT_TRUE(browser.FindItem("画材風")->isExpanded());
  EXPECT_TRUE(triggered.empty());
  // One click chooses; a double click chooses once.
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                    tree->visualItemRect(browser.FindItem("ノーマル描画")).center());
  EXPECT_EQ(triggered, (std::vector<int>{34001}));
  triggered.clear();
  DoubleClick(tree, browser.FindItem("画材風/筆風"));
  EXPECT_EQ(triggered, (std::vector<int>{34002}));
  // A disabled command stays unchosen.
  DoubleClick(tree, browser.FindItem("画材風/油彩風"));
  EXPECT_EQ(triggered, (std::vector<int>{34002}));
  // Enter on the current item.
  tree->setFocus();
  tree->setCurrentItem(browser.FindItem("ノーマル描画"));
  QTest::keyClick(tree->viewport(), Qt::Key_Return);
  EXPECT_EQ(triggered, (std::vector<int>{34002, 34001}));
}

TEST_F(BrowserTest, ShowingTheBrowserRebuildsTheMenuFirst) {
  QMenu menu;
  int rebuilds = 0;
  FillMenu(menu, "水彩A");
  // The program's menu rebuilds itself when it is about to show.
  QObject::connect(&menu, &QMenu::aboutToShow, [&] {
    ++rebuilds;
    FillMenu(menu, "水彩B");
  });
  BrushBrowser browser(*m_profile);
  browser.Mirror(&menu);
  EXPECT_EQ(rebuilds, 0);
  EXPECT_NE(browser.FindItem("プリセット/水彩A"), nullptr);
  browser.show();
  EXPECT_EQ(rebuilds, 1);
  EXPECT_EQ(browser.FindItem("プリセット/水彩A"), nullptr);
  ASSERT_NE(browser.FindItem("プリセット/水彩B"), nullptr);
  browser.Tree()->expandAll();
  // The menu is rebuilt again behind the browser's back: the leaf finds the new action.
  FillMenu(menu, "水彩B");
  DoubleClick(browser.Tree(), browser.FindItem("プリセット/水彩B"));
  EXPECT_EQ(triggered, (std::vector<int>{35000}));
}

TEST_F(BrowserTest, TheTreeFillsTheClientAreaLess40By50) {
  BrushBrowser browser(*m_profile);
  browser.resize(300, 420);
  browser.show();
  EXPECT_EQ(browser.Tree()->width(), 260);
  EXPECT_EQ(browser.Tree()->height(), 370);
  browser.resize(30, 30);  // never negative
  EXPECT_GE(browser.Tree()->width(), 0);
}

TEST_F(BrowserTest, PlacementRoundTripsThroughTheProfile) {
  {
    BrushBrowser browser(*m_profile);
    browser.move(120, 80);
    browser.resize(250, 300);
    browser.show();
    EXPECT_EQ(m_profile->GetInt("General", "BrushBrowser.Visible", -1), 1);
    EXPECT_TRUE(BrushBrowser::WasVisible(*m_profile));
    browser.close();
  }
  EXPECT_EQ(m_profile->GetInt("Settings", "BRUSH_BROWSER_POS", -1), 120 << 16 | 80);
  EXPECT_EQ(m_profile->GetInt("Settings", "BRUSH_BROWSER_SIZE", -1), 250 << 16 | 300);
  EXPECT_EQ(m_profile->GetInt("General", "BrushBrowser.Visible", -1), 0);
  // Read back from the file, as the next run does.
  Profile reread(m_dir.File("varnel.ini"));
  BrushBrowser again(reread);
  EXPECT_EQ(again.pos(), QPoint(120, 80));
  EXPECT_EQ(again.size(), QSize(250, 300));
}

TEST_F(BrowserTest, AnOpenBrowserEndingWithItsMainWindowKeepsItsPlacementAndStaysMarkedOpen) {
  auto mainWindow = std::make_unique<QWidget>();
  mainWindow->show();
  auto* browser = new BrushBrowser(*m_profile, mainWindow.get());
  browser->move(64, 32);
  browser->resize(200, 280);
  browser->show();
  EXPECT_EQ(m_profile->GetInt("General", "BrushBrowser.Visible", -1), 1);
  EXPECT_FALSE(m_profile->Has("Settings", "BRUSH_BROWSER_POS"));
  mainWindow.reset();
  EXPECT_EQ(m_profile->GetInt("General", "BrushBrowser.Visible", -1), 1);
  EXPECT_EQ(m_profile->GetInt("Settings", "BRUSH_BROWSER_POS", -1), 64 << 16 | 32);
  EXPECT_EQ(m_profile->GetInt("Settings", "BRUSH_BROWSER_SIZE", -1), 200 << 16 | 280);
}

TEST(BrushBrowserPlacement, StoredValuesAreKeptOnTheScreen) {
  const QRect screen(0, 0, 800, 600);
  struct Case {
    const char* name;
    int32_t pos, size;
    bool hasPosition;
    QPoint position;
    QSize expectedSize;
  };
  const Case cases[] = {
      {"nothing stored", 0, 0, false, {}, {220, 360}},
      {"as stored", 120 << 16 | 80, 250 << 16 | 300, true, {120, 80}, {250, 300}},
      {"left of the screen", static_cast<int32_t>(0xFFF6u << 16 | 40u), 250 << 16 | 300, true, {0, 40}, {250, 300}},
      {"above the screen", 30 << 16 | 0xFFCE, 250 << 16 | 300, true, {30, 0}, {250, 300}},
      {"beyond the right edge", 2000 << 16 | 50, 250 << 16 | 300, true, {700, 50}, {250, 300}},
      {"beyond the bottom", 10 << 16 | 590, 250 << 16 | 300, true, {10, 500}, {250, 300}},
      {"larger than the screen", 0, 5000 << 16 | 5000, false, {}, {800, 600}},
      {"a zero width", 0, 0 << 16 | 300, false, {}, {220, 300}},
      {"too small to use", 0, 3 << 16 | 2, false, {}, {100, 100}},
  };
  for (const Case& c : cases) {
    const BrushBrowserPlacement p = RestoreBrushBrowserPlacement(c.pos, c.size, screen);
    EXPECT_EQ(p.hasPosition, c.hasPosition) << c.name;
    if (c.hasPosition) {
      EXPECT_EQ(p.position, c.position) << c.name;
    }
    EXPECT_EQ(p.size, c.expectedSize) << c.name;
  }
  // On a screen that does not start at the origin.
  const BrushBrowserPlacement shifted = RestoreBrushBrowserPlacement(5 << 16 | 5, 0, QRect(1000, 200, 800, 600));
  EXPECT_EQ(shifted.position, QPoint(1000, 200));
}

TEST(BrushBrowserPlacement, PackingKeepsNegativePositionsInTheirWords) {
  EXPECT_EQ(PackBrushBrowserPos(QPoint(120, 80)), 120 << 16 | 80);
  EXPECT_EQ(PackBrushBrowserSize(QSize(250, 300)), 250 << 16 | 300);
  EXPECT_EQ(static_cast<uint32_t>(PackBrushBrowserPos(QPoint(-10, 5))), 0xFFF60005u);
}

}  // namespace
}  // namespace varnel

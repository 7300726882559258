#pragma once
// The painting side panels: the tool palette (one button per tool, the foreground/background
// colour well), the tool option window with the brush option panel, and the brush size steps.
//
// The panels edit the program's brush settings (ProgramBrushSettings) and rebuild the program's
// brush only when a value really changed; Refresh only shows the settings and never rebuilds.
// Colours are colour references 0x00BBGGRR (red in the lowest byte) everywhere here, as the
// profile and the brush take them.

#include <QColor>
#include <QSpinBox>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>

#include "qtcommon/qt_colour.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace varnel {

class Canvas;
class Profile;

// The titles of the docks the main frame puts the palette and the option window in.
inline constexpr const char* kToolPaletteTitle = "ツール";
inline constexpr const char* kToolOptionTitle = "ツールオプション";

// One tool of the palette: its canvas tool slot and its palette tooltip; the button shows the
// tool's icon. The palette lists the tools in this order; the slot of a tool is its place in the
// table (the brush is the second tool, slot 1).
struct PaletteTool {
  int32_t slot;
  const char* tooltip;
};
std::span<const PaletteTool> PaletteTools();
// The zoom tool has a slot but no palette button.
inline constexpr int32_t kZoomToolSlot = 19;

inline constexpr ColourRef kDefaultForeground = MakeColourRef(0, 0, 0);        // black
inline constexpr ColourRef kDefaultBackground = MakeColourRef(255, 255, 255);  // white

// "ブラシサイズ+4" / "ブラシサイズ-4": width and height each by delta, clamped to 1…256; the brush
// is rebuilt when the size changed and BRUSHSIZE (width << 16 | height) stored in the profile.
// Every live brush option panel shows the new size.
void StepBrushSize(int delta, Profile& profile);
void StepBrushSize(int delta);  // with the application profile

// A spin box that takes any number typed and clamps it into its range when the entry is done
// (typing 300 into 1…256 gives 256, 0 gives 1), where a plain QSpinBox refuses the keystroke.
class ClampingSpinBox : public QSpinBox {
  Q_OBJECT

 public:
  explicit ClampingSpinBox(QWidget* parent = nullptr);

 protected:
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& text) const override;
};

// The foreground/background colour well: two overlapping squares (foreground on top, to the
// upper left), a swap arrow at the upper right and a small black/white reset at the lower left.
class ColourWell : public QWidget {
  Q_OBJECT

 public:
  explicit ColourWell(QWidget* parent = nullptr);

  void SetColours(ColourRef foreground, ColourRef background);
  QRect ForegroundRect() const;
  QRect BackgroundRect() const;
  QRect SwapRect() const;
  QRect ResetRect() const;
  QSize sizeHint() const override;

 signals:
  void foregroundClicked();
  void backgroundClicked();
  void swapClicked();
  void resetClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  ColourRef m_foreground = kDefaultForeground;
  ColourRef m_background = kDefaultBackground;
};

class ToolPalette : public QWidget {
  Q_OBJECT

 public:
  // Asks the user for a colour; nothing when the dialog was cancelled.
  using ColourChooser = std::function<std::optional<QColor>(const QColor& initial, const QString& title,
                                                             QWidget* parent)>;

  // Reads FGCOLOR and BGCOLOR (section Settings) from profile, which must outlive the palette,
  // and hands them to the program's brush.
  explicit ToolPalette(Profile& profile, QWidget* parent = nullptr);

  // The active document's canvas (null: none). Its tools receive the colours; the buttons of
  // empty slots are disabled and the canvas's selected tool is checked.
  void SetCanvas(Canvas* canvas);
  Canvas* GetCanvas() const { return m_canvas; }
  // Re-reads which slots of the canvas hold a tool.
  void UpdateToolButtons();
  // Makes a slot's tool the one in use, as a click on its button does.
  void SelectTool(int32_t slot);
  QAbstractButton* ToolButton(int32_t slot) const;
  ColourWell* Well() const { return m_well; }

  ColourRef Foreground() const { return m_foreground; }
  ColourRef Background() const { return m_background; }
  // Each stores the colour in the profile, hands both to the brush and the canvas's tools and
  // signals coloursChanged, when the colour changed (the top byte is dropped).
  void SetForeground(ColourRef colour);
  void SetBackground(ColourRef colour);
  void SetColours(ColourRef foreground, ColourRef background);
  void SwapColours();
  void ResetColours();  // black foreground, white background

  // The colour dialog (QColorDialog unless replaced, as tests do).
  void SetColourChooser(ColourChooser chooser) { m_chooser = std::move(chooser); }

 signals:
  void toolSelected(int slot);
  void coloursChanged();

 private:
  void OnToolClicked(int slot);
  void ChooseColour(bool foreground);
  void HandColoursOut();

  Profile& m_profile;
  Canvas* m_canvas = nullptr;
  QButtonGroup* m_group;
  ColourWell* m_well;
  ColourRef m_foreground = kDefaultForeground;
  ColourRef m_background = kDefaultBackground;
  ColourChooser m_chooser;
};

// The brush tool's options. Every control writes its field of ProgramBrushSettings and
// rebuilds the program's brush when the value changed.
class BrushOptionPanel : public QWidget {
  Q_OBJECT

 public:
  // profile receives BRUSHSIZE when the size changes; it must outlive the panel.
  explicit BrushOptionPanel(Profile& profile, QWidget* parent = nullptr);
  ~BrushOptionPanel() override;

  // Shows the settings again without rebuilding anything.
  void Refresh();
  // The brush name shown for the custom kind: "現在のカスタムブラシ" or a preset's title; an
  // empty title shows "カスタムブラシ". Other kinds show their menu text on Refresh.
  void SetBrushName(const QString& name);
  // A loaded tool state names no preset: the custom kind shows its menu text again.
  void ForgetBrushName();
  QString BrushName() const;
  // The canvas whose active layer "乾かす" dries.
  void SetCanvas(Canvas* canvas) { m_canvas = canvas; }
  // The watercolour dry mode (kDryAtStrokeEnd or kDryOnCommand), which the panel keeps.
  int32_t DryMode() const { return m_dryMode; }

 signals:
  // After each rebuild of the program's brush from this panel.
  void brushRebuilt();

 private:
  void Build();
  void Rebuild();
  void ApplyDryMode();
  void UpdateEnabled();
  void SetSize(int32_t width, int32_t height);
  void OnClone(bool on);
  void OnDry();

  Profile& m_profile;
  Canvas* m_canvas = nullptr;
  int32_t m_dryMode = 0;
  bool m_refreshing = false;
  QString m_customName;
  QLabel* m_name;
  QSpinBox* m_opacity;
  QSpinBox* m_minimumSize;
  QSpinBox* m_spacing;
  QSpinBox* m_width;
  QSpinBox* m_height;
  QCheckBox* m_sizeLock;
  QCheckBox* m_pressureSizing;
  QCheckBox* m_pressureOpacity;
  QCheckBox* m_affectAlpha;
  QCheckBox* m_antiAlias;
  QCheckBox* m_clone;
  QComboBox* m_maskMode;
  QSpinBox* m_maskMinimum;
  QSpinBox* m_maskMaximum;
  QSpinBox* m_maskTolerance;
  QCheckBox* m_watercolour;
  QSpinBox* m_watercolourLevel;
  QRadioButton* m_dryAtEnd;
  QRadioButton* m_dryOnCommand;
  QPushButton* m_dry;
};

// The option panel of the selected tool. Tools without options show a page with only their name.
class ToolOptionWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ToolOptionWindow(Profile& profile, QWidget* parent = nullptr);

  // Connected to ToolPalette::toolSelected.
  void ShowToolOptions(int slot);
  int ShownSlot() const { return m_slot; }
  void SetCanvas(Canvas* canvas);
  // After a brush kind or preset command or a tool state load.
  void Refresh();
  void SetBrushName(const QString& name);
  void ForgetBrushName();
  BrushOptionPanel* BrushPanel() const { return m_brush; }
  // Another tool's panel (the window takes it), shown while that slot is selected; refresh
  // shows its settings again after a menu command or a tool state load.
  void AddPanel(int slot, QWidget* panel, std::function<void()> refresh);
  QWidget* Panel(int slot) const;

 private:
  QStackedWidget* m_stack;
  QWidget* m_empty;
  QLabel* m_emptyTitle;
  BrushOptionPanel* m_brush;
  std::map<int, std::pair<QWidget*, std::function<void()>>> m_panels;
  int m_slot = -1;
};

}  // namespace varnel

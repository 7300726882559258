#pragma once
// The colour palette panel: the swatches of the current palette file, a row of recently used
// colours and, on a second tab, the named colour list. A left click on a swatch picks it as the
// foreground colour, a right click as the background colour.
//
// The palette file is the one the setting PALETTEFILE names (section Settings; default PAL.CD
// in the program folder). Every edit (追加, 削除) is written to that file at once, atomically; a
// write that fails is told and undone, so the panel never shows what the file does not hold.
// 読み込み... and the palette menu make the chosen file the current one; 保存... writes the
// palette to a new file, which then becomes the current one (as "save as" does for a picture).
//
// The history lives in res/hist.cd: read when the panel is shown, written when it is hidden or
// destroyed while shown. Most recent first, at most kColourHistoryLimit colours, each once: a
// colour used again moves to the front. Colours used while the panel is closed are kept too.
//
// ColorPalette.Visible (section Settings) says whether the panel was open when the program
// ended; PALETTEXPOS and PALETTEYPOS (section Settings) keep the position of its floating
// window, through StoredPosition and StorePosition.

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/colour.h"

class QMenu;
class QTabWidget;
class QToolButton;

namespace varnel {

class NamedColourView;
class Profile;

inline constexpr const char* kColourPaletteTitle = "カラーパレット";
inline constexpr const char* kColourPaletteVisibleKey = "ColorPalette.Visible";
inline constexpr const char* kPaletteFileKey = "PALETTEFILE";
inline constexpr const char* kPaletteXPosKey = "PALETTEXPOS";
inline constexpr const char* kPaletteYPosKey = "PALETTEYPOS";
inline constexpr const char* kPaletteCellWidthKey = "PALETTECELLCX";
inline constexpr const char* kPaletteCellHeightKey = "PALETTECELLCY";
inline constexpr const char* kPaletteMarginWidthKey = "PALETTEMARGINCX";
inline constexpr const char* kPaletteMarginHeightKey = "PALETTEMARGINCY";

// A swatch is 20 × 14 pixels with 4 pixels between swatches across and 3 down (and as much
// round the grid); the PALETTECELL* and PALETTEMARGIN* settings change that. Cells are held
// to 4…64 pixels a side and margins to 0…16 pixels, so a stray value cannot hide the grid.
inline constexpr int kPaletteCellWidth = 20;
inline constexpr int kPaletteCellHeight = 14;
inline constexpr int kPaletteMarginWidth = 4;
inline constexpr int kPaletteMarginHeight = 3;
// The history keeps this many colours; older ones fall off its end.
inline constexpr size_t kColourHistoryLimit = 32;

struct SwatchGeometry {
  int cellWidth = kPaletteCellWidth;
  int cellHeight = kPaletteCellHeight;
  int marginWidth = kPaletteMarginWidth;
  int marginHeight = kPaletteMarginHeight;
};
// The geometry of the settings, each value held to its range.
SwatchGeometry SwatchGeometryFromProfile(const Profile& profile);

// The history with colour put in front: an equal colour further back is dropped and the list
// cut to kColourHistoryLimit.
void PutFirstInHistory(std::vector<ColourRef>& history, ColourRef colour);

// Colour swatches in rows that wrap at the widget's width, left to right, top to bottom. Each
// swatch shows "R,G,B" as its tooltip.
class ColourSwatchGrid : public QWidget {
  Q_OBJECT

 public:
  explicit ColourSwatchGrid(SwatchGeometry geometry, QWidget* parent = nullptr);

  void SetColours(std::vector<ColourRef> colours);
  const std::vector<ColourRef>& Colours() const { return m_colours; }
  // The swatch drawn as selected; -1 for none (also for an index out of range).
  void SetSelected(int index);
  int Selected() const { return m_selected; }

  // Swatches a row holds at the given width (at least one).
  int ColumnsFor(int width) const;
  // Where swatch index is drawn at the current width; empty for an index out of range.
  QRect SwatchRect(int index) const;
  // The swatch under a point; -1 in the margins and beyond the last swatch.
  int SwatchAt(const QPoint& point) const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void swatchClicked(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QRect CellRect(int index, int columns) const;
  // The swatch with the frame drawn round it when selected.
  QRect DamageRect(int index) const;

  SwatchGeometry m_geometry;
  std::vector<ColourRef> m_colours;
  int m_selected = -1;
};

class ColourPalettePanel : public QWidget {
  Q_OBJECT

 public:
  // Reads the palette file PALETTEFILE names; profile must outlive the panel. An unreadable
  // palette file is an empty palette (the file is made by the first edit).
  explicit ColourPalettePanel(Profile& profile, QWidget* parent = nullptr);
  // Destroyed while shown (as the program ends), the panel writes its history and stays marked
  // open for the next start.
  ~ColourPalettePanel() override;

  // Whether the panel was open when the program last ended (ColorPalette.Visible).
  static bool WasVisible(const Profile& profile);
  // The stored floating position, kept on the available area so that at least 100 pixels of
  // the window stay on it; nothing when PALETTEXPOS or PALETTEYPOS is missing.
  static std::optional<QPoint> StoredPosition(const Profile& profile, const QRect& available);
  static void StorePosition(Profile& profile, const QPoint& position);

  // The colour 追加 adds (the current foreground colour); without it 追加 adds nothing.
  std::function<ColourRef()> currentColour;

  // A colour has become the foreground colour: it goes to the front of the history.
  void AddToHistory(ColourRef colour);
  const std::vector<ColourRef>& History() const { return m_history; }

  const std::vector<ColourRef>& Colours() const { return m_colours; }
  const std::string& PaletteFile() const { return m_paletteFile; }
  // Reads a palette file and makes it current (PALETTEFILE); false, told and nothing changed
  // when it cannot be read.
  bool LoadPalette(const std::string& path);

  ColourSwatchGrid* PaletteGrid() const { return m_paletteGrid; }
  ColourSwatchGrid* HistoryGrid() const { return m_historyGrid; }
  NamedColourView* NamedColours() const { return m_named; }
  // The palette menu: one item per file of res/PaletteMenu, listed anew each time it opens.
  QMenu* PaletteMenu() const { return m_paletteMenu; }

 signals:
  void foregroundPicked(ColourRef colour);
  void backgroundPicked(ColourRef colour);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildPalettePage(QWidget* page);
  void OnPaletteClicked(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void OnHistoryClicked(int index, Qt::MouseButton button);
  void AddCurrentColour();
  void DeleteSelected();
  void AskLoad();
  void AskSave();
  void FillPaletteMenu();
  // Writes colours to the current palette file; on success they become the palette.
  bool StorePalette(std::vector<ColourRef> colours, int selected);
  void ShowPalette(int selected);
  void OpenHistory();
  void CloseHistory();
  bool WriteHistory();

  Profile& m_profile;
  std::string m_paletteFile;
  std::vector<ColourRef> m_colours;
  std::vector<ColourRef> m_history;
  // Colours used while the history was closed, oldest first: put in front of the file's list
  // when it is read.
  std::vector<ColourRef> m_usedWhileClosed;
  bool m_open = false;

  QTabWidget* m_tabs;
  ColourSwatchGrid* m_historyGrid;
  ColourSwatchGrid* m_paletteGrid;
  NamedColourView* m_named;
  QToolButton* m_delete = nullptr;
  QToolButton* m_menuButton = nullptr;
  QMenu* m_paletteMenu = nullptr;
};

}  // namespace varnel

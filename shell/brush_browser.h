#pragma once
// The brush browser: a tool window whose tree mirrors the brush kind menu, presets included.
// A submenu becomes a folder, a command a leaf carrying the command id; activating a leaf
// triggers the menu's own action, so it does exactly what choosing it from the menu does.
//
// Placement lives in the profile (section Settings): BRUSH_BROWSER_POS (left << 16 | top) and
// BRUSH_BROWSER_SIZE (width << 16 | height), written when the window hides, read when it is
// created (0 keeps the default placement). BrushBrowser.Visible (section General) says whether
// it was open when the program ended.

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <functional>

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace varnel {

class Profile;

inline constexpr const char* kBrushBrowserPosKey = "BRUSH_BROWSER_POS";
inline constexpr const char* kBrushBrowserSizeKey = "BRUSH_BROWSER_SIZE";
inline constexpr const char* kBrushBrowserVisibleKey = "BrushBrowser.Visible";
inline constexpr int kBrushBrowserDefaultWidth = 220;
inline constexpr int kBrushBrowserDefaultHeight = 360;
// The tree leaves this much of the client area free.
inline constexpr int kBrushBrowserSpareWidth = 40;
inline constexpr int kBrushBrowserSpareHeight = 50;

// The placement stored as pos and size, kept on the screen's available area: each position
// word is a signed 16-bit value; a position left of or above the area moves onto its edge, one
// that would leave less than 100 pixels on the area moves back to 100 pixels before its far
// edge; a side of 0 becomes the default, one larger than the area the area's side, and no side
// is below 100. A pos of 0 leaves the position to the window system (hasPosition false).
struct BrushBrowserPlacement {
  bool hasPosition = false;
  QPoint position;
  QSize size;
};
BrushBrowserPlacement RestoreBrushBrowserPlacement(int32_t pos, int32_t size, const QRect& available);
int32_t PackBrushBrowserPos(const QPoint& position);
int32_t PackBrushBrowserSize(const QSize& size);

class BrushBrowser : public QWidget {
  Q_OBJECT

 public:
  // A tool window of parent; profile must outlive the browser.
  explicit BrushBrowser(Profile& profile, QWidget* parent = nullptr);
  // An open browser destroyed with its main window as the program ends keeps its placement and
  // stays marked open.
  ~BrushBrowser() override;

  // Whether the browser was open when the program last ended.
  static bool WasVisible(const Profile& profile);

  // The menu to mirror (the brush kind menu). Mirrored again each time the browser is shown.
  void Mirror(QMenu* menu);
  // Rebuilds the menu before it is mirrored; without one the menu's aboutToShow is emitted,
  // as when the menu itself opens.
  void SetRebuild(std::function<void()> rebuild) { m_rebuild = std::move(rebuild); }
  // Rebuilds the menu and mirrors it now.
  void Refresh();
  // The brush in use, by its command id and menu text: its leaf is the tree's current item,
  // now and after each mirroring; with no such leaf nothing is.
  void SetCurrent(const QVariant& id, const QString& text);

  QTreeWidget* Tree() const { return m_tree; }
  // The leaf or folder with this text path ("画材風/筆風"); null when there is none.
  QTreeWidgetItem* FindItem(const QString& path) const;
  // Writes BRUSH_BROWSER_POS and BRUSH_BROWSER_SIZE.
  void SavePlacement();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Populate();
  void SelectCurrent();
  void AddActions(QMenu* menu, QTreeWidgetItem* parent);
  void OnActivated(QTreeWidgetItem* item);
  QAction* FindAction(QMenu* menu, const QVariant& id, const QString& text) const;

  Profile& m_profile;
  QTreeWidget* m_tree;
  // The leaf a click chose last, and when: the double click that follows activates it again.
  QTreeWidgetItem* m_clicked = nullptr;
  QElapsedTimer m_sinceClick;
  QPointer<QMenu> m_menu;
  std::function<void()> m_rebuild;
  QHash<QTreeWidgetItem*, QPointer<QAction>> m_actions;
  QVariant m_currentId;
  QString m_currentText;
};

}  // namespace varnel

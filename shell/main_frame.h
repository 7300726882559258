#pragma once
// The main window: the MDI area with the document windows, the menus, the status bar with
// its text and percentage gauge, and the debug console.

#include <QMainWindow>
#include <QString>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "shell/command_table.h"

class QActionGroup;
class QLabel;
class QMdiArea;
class QMenu;
class QProgressBar;

namespace varnel {

class CChildFrame;
class ColourPalettePanel;
class CustomBrushPanel;
class CVarnelApp;
class BrushBrowser;
class CVarnelView;
class DebugConsolePanel;
class DocumentCommands;
class LayerPanel;
class ToolOptionWindow;
class ToolPalette;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(CVarnelApp& app);
  ~CMainFrame() override;

  QMdiArea* MdiArea() const { return m_mdi; }
  CChildFrame* ActiveChildFrame() const;
  // The picture windows, in the area's order.
  std::vector<CChildFrame*> ChildFrames() const;
  DebugConsolePanel* DebugPanel() const { return m_debugPanel; }
  QMenu* MessageLevelMenu() const { return m_levelMenu; }
  // The brush kind menu: the kinds grouped in their submenus and the presets of the presets
  // folder, rebuilt each time it is shown.
  QMenu* BrushKindMenu() const { return m_brushMenu; }
  void RebuildBrushKindMenu();
  // The window menu's list of open pictures ("&1 Image1", …), rebuilt each time the menu is
  // shown: with the pictures maximized it is the way from one to another.
  void RebuildWindowList();

  void AddChildFrame(CChildFrame* frame);
  CVarnelView* ActiveView() const;

  // The menu command of an id (null when there is none), and running one as the menu does.
  QAction* Command(int id) const;
  void RunCommand(int id);
  // Enables and checks the document commands for the active picture.
  void UpdateCommandStates();
  DocumentCommands* Commands() const { return m_commands; }
  LayerPanel* Layers() const { return m_layerPanel; }
  ToolPalette* Palette() const { return m_toolPalette; }
  ToolOptionWindow* ToolOptions() const { return m_toolOptions; }
  BrushBrowser* Browser() const { return m_brushBrowser; }
  // The custom brush panel "カスタムブラシ設定": made hidden with the main window, so the custom
  // brush and every preset always have their parameters.
  CustomBrushPanel* CustomBrush() const { return m_customBrush; }
  ColourPalettePanel* ColourPalette() const { return m_colourPalette; }
  // Commands shown but not yet available (disabled).
  const std::set<int>& ComingCommands() const { return m_coming; }
  bool IsStatusBarShown() const;

  // Status bar text (empty clears it) and gauge (0…100, or -1 to hide it).
  void SetStatusText(const QString& text);
  void SetProgress(int percent);
  QString StatusText() const;
  int Progress() const;
  // The pane beside the text that follows the pointer over a picture.
  void SetPointerStatus(const QString& text);
  QString PointerStatus() const;

  // Shows the level chosen through DebugLevel or the menu メッセージレベル.
  void SyncMessageLevel(int level);
  void UpdateRecentFileMenu();

  // The main frame's own commands (rows of the command table).
  void OnFileNew();
  void OnFileClose();
  void OnFitToWindow();
  void OnScrollUp();
  void OnScrollDown();
  void OnScrollLeft();
  void OnScrollRight();
  void OnBrushSizeUp();
  void OnBrushSizeDown();
  void OnCustomBrushPanel();
  void OnViewStatusBar();
  void OnWindowCascade();
  void OnWindowTile();
  void OnAppExit();
  void OnAppAbout();

 signals:
  void activeDocumentChanged();
  void layersChanged();
  void toolStateChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMenus();
  // The layer panel, the tool palette, the tool options and the brush browser.
  void CreatePanels();
  // Points the panels at the active picture.
  void OnActiveDocumentChanged();
  // Marks the brush kind in use in the brush browser (after a tool state replaced the brush).
  void ShowBrushKindInBrowser();
  QAction* AddCommand(QMenu* menu, const CommandRow& row);
  // Fills a place of the menus that changes at run time.
  void FillPlace(QMenu* menu, MenuPlace place);

  CVarnelApp& m_app;
  QMdiArea* m_mdi;
  QLabel* m_statusText;
  QLabel* m_pointerStatus;  // where the pointer is over a picture, beside the tools' messages
  QProgressBar* m_gauge;
  DebugConsolePanel* m_debugPanel;
  QMenu* m_levelMenu = nullptr;
  QActionGroup* m_levelGroup = nullptr;
  QMenu* m_recentMenu = nullptr;
  QMenu* m_windowMenu = nullptr;
  std::vector<QAction*> m_windowList;
  QMenu* m_brushMenu = nullptr;
  QMenu* m_panelMenu = nullptr;
  DocumentCommands* m_commands = nullptr;
  LayerPanel* m_layerPanel = nullptr;
  ToolPalette* m_toolPalette = nullptr;
  ToolOptionWindow* m_toolOptions = nullptr;
  BrushBrowser* m_brushBrowser = nullptr;
  class ObjectPalette* m_objectPalette = nullptr;
  CustomBrushPanel* m_customBrush = nullptr;
  ColourPalettePanel* m_colourPalette = nullptr;
  std::unique_ptr<CommandContext> m_context;
  std::map<int, QAction*> m_actions;
  std::set<int> m_coming;
  // Selects a brush kind (34000 + kind) or a preset (from 35000) as the menu's commands do.
  void OnBrushCommand(int id);
};

}  // namespace varnel

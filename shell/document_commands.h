#pragma once
// The document menus' commands as the main frame carries them out on the active picture:
// files, edit, region, image and layer. Each command works on the active document's canvas
// and does nothing when there is none.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/colour.h"

class QWidget;

namespace varnel {

class ToolStateObject;

// A tool that keeps a state: its canvas slot, the name a tool state file gives it, and its state
// object over the program's settings of that tool.
struct ToolWithState {
  int32_t slot;
  const char* name;
  std::unique_ptr<ToolStateObject> (*make)();
};
std::span<const ToolWithState> ToolsWithState();

class Canvas;
class CVarnelApp;
class CVarnelDoc;
class CVarnelView;

class DocumentCommands : public QObject {
  Q_OBJECT

 public:
  // activeView gives the view of the active window (null when none); owner parents dialogs.
  DocumentCommands(CVarnelApp& app, QWidget* owner, std::function<CVarnelView*()> activeView);

  // The layer panel's selection (panel order); without a panel it is the active layer.
  std::function<std::vector<int32_t>()> selectedLayers;
  // The mask the layer panel has selected for the active layer, -1 for none.
  std::function<int32_t()> selectedMask;
  // The foreground colour that fills the selection.
  std::function<ColourRef()> foregroundColour;
  // Makes the tool of a slot the one in use, as a click on its palette button does.
  std::function<void(int32_t)> selectTool;

  // Saves a document to its path, or under a name asked for when it has none. True when written.
  bool SaveDocument(CVarnelDoc* doc);
  bool SaveDocumentAs(CVarnelDoc* doc);

  // The handlers of the document menus' commands (the command table's rows call them). Each
  // works on the active picture and does nothing without one; those taking an id serve a family
  // of commands.
  void Open();
  void Save();
  void SaveAs();
  void QuickSave();
  void EmptyQuickSaves();
  void LoadLayers();
  void SaveActiveLayer();
  void Save256Colours();
  void SaveToolState();
  void LoadToolState();
  // The tool in use (the brush without a picture) when it keeps a state.
  const ToolWithState* ToolInUse() const;
  // ツール状態の保存 and ツール状態の読み込み without their dialogs: the object palette keeps its
  // entries as tool state files. Saving answers false when the tool in use keeps no state or the
  // file could not be written.
  bool SaveToolStateTo(const std::string& path) const;
  void LoadToolStateFrom(const std::string& path);
  void Undo();
  void Redo();
  void ClearUndoBuffer();
  void ClipboardCommand(int id);
  void RegionCommand(int id);
  void SaveSelection();
  void LoadSelection();
  void RegionViewCommand(int id);
  void CanvasSize();
  void AddMargin();
  void ChannelCommand(int id);
  void ShowStatistics();
  void ExtractPalette();
  void LayerCommand(int id);
  void ImageEditMode();
  void MaskEditMode();
  void SetCloneSource();
  void DrawPoint();
  // The selection tool: its shape and mode from the menus, and its further commands.
  void SelectionShape(int id);
  void SelectionMode(int id);
  void SelectionCommand(int id);
  void ChooseTool(int id);

 signals:
  // The layer stack or its attributes changed (the layer panel rebuilds).
  void layersChanged();
  // A command changed what the tools work with (a loaded tool state, a new clone source).
  void toolStateChanged();
  // The brush's settings were replaced by a loaded tool state (before toolStateChanged).
  void brushStateLoaded();

 private:
  CVarnelDoc* Document() const;
  CVarnelView* View() const;
  Canvas* ActiveCanvas() const;
  // Recomposes the whole picture, redraws the views and tells the panels.
  void PictureChanged(bool layers);
  // For commands that recomposed what they changed themselves (the picture commands do): the
  // views show the composite's changed part and the panels follow.
  void ShowChanges(bool layers);
  // For changes that leave no undo step (which would mark the document): the layer list, the
  // canvas size, masks. Closing the picture must ask before they are lost.
  void MarkModified();
  void StepHistory(bool redo);
  void SetMaskEditMode(bool on);

  CVarnelApp& m_app;
  QWidget* m_owner;
  std::function<CVarnelView*()> m_activeView;
};

// The "領域外表示" commands in the order of the setting REGIONVIEWMODE (0 none … 6 brighter).
extern const int kRegionViewCommands[7];

}  // namespace varnel

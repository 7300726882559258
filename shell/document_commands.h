#pragma once
// The document menus' commands as the main frame carries them out on the active picture:
// files, edit, region, image and layer. Each command works on the active document's canvas
// and does nothing when there is none.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QWidget;

namespace varnel {

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
  // The foreground colour (0x00BBGGRR) that fills the selection.
  std::function<uint32_t()> foregroundColour;

  // Carries out a command by its menu id. False when the id is not one of these commands.
  bool Run(int id);
  // Whether the command can run now, and whether it shows a check mark.
  bool IsEnabled(int id) const;
  bool IsChecked(int id) const;

  // Saves a document to its path, or under a name asked for when it has none. True when written.
  bool SaveDocument(CVarnelDoc* doc);
  bool SaveDocumentAs(CVarnelDoc* doc);

 signals:
  // The layer stack or its attributes changed (the layer panel rebuilds).
  void layersChanged();
  // A command changed what the tools work with (a loaded tool state, a new clone source).
  void toolStateChanged();

 private:
  CVarnelDoc* Document() const;
  CVarnelView* View() const;
  Canvas* ActiveCanvas() const;
  // Recomposes the whole picture, redraws the views and tells the panels.
  void PictureChanged(bool layers);
  // For commands that recomposed what they changed themselves (the picture commands do): the
  // views show the composite's changed part and the panels follow.
  void ShowChanges(bool layers);

  void SaveAs();
  void Save();
  void Open();
  void QuickSave();
  void LoadLayers();
  void Save256Colours();
  void SaveToolState();
  void LoadToolState();
  void ClearUndoBuffer();
  void Undo(bool redo);
  void CanvasSize();
  void AddMargin();
  void LayerCommand(int id);
  void SetMaskEditMode(bool on);
  void SetRegionViewMode(int mode);
  void ExtractPalette();
  void SaveActiveLayer();
  void SetCloneSource();
  void EmptyQuickSaves();
  // Selections, channels and the clipboard.
  bool RegionCommand(int id);
  bool ChannelCommand(int id);
  bool ClipboardCommand(int id);
  void SaveSelection();
  void LoadSelection();
  void ShowPictureInfo();
  void ShowStatistics();

  CVarnelApp& m_app;
  QWidget* m_owner;
  std::function<CVarnelView*()> m_activeView;
};

// The "領域外表示" commands in the order of the setting REGIONVIEWMODE (0 none … 6 brighter).
extern const int kRegionViewCommands[7];

}  // namespace varnel

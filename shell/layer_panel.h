#pragma once
// The layer panel: one owner-drawn item per layer of a document (item i shows layer i, the base
// layer at the top), the active layer's blend mode and opacity below the list, and buttons for
// the layer commands. The main frame puts it into a dock window titled "レイヤ", carries out the
// commands the buttons ask for and calls Refresh after anything that changed the layer stack.

#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "shell/command_ids.h"

class QAbstractScrollArea;
class QComboBox;
class QDrag;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMouseEvent;
class QPainter;
class QSlider;
class QSpinBox;

namespace varnel {

class CVarnelDoc;
class Layer;
class LayerListView;

// What a drag out of the layer panel carries: the layer, offered to other programs as a file.
// The file is written only when a drop target asks for "text/uri-list": the layer as a 24-bit
// bitmap "cached.bmp" in the program folder (the data folder when that is read-only). A drop
// inside the panel never asks for it.
class LayerMimeData : public QMimeData {
  Q_OBJECT

 public:
  static constexpr const char* kFileName = "cached.bmp";

  LayerMimeData(const QObject* panel, CVarnelDoc* document, const Layer* layer);

  const QObject* Panel() const { return m_panel; }
  CVarnelDoc* Document() const { return m_document; }
  const Layer* SourceLayer() const { return m_layer; }

  QStringList formats() const override;
  bool hasFormat(const QString& mimeType) const override;

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  // Writes the file once per drag; an empty path when the layer is gone or the file could not
  // be written.
  QString CachedFile() const;

  const QObject* m_panel;
  QPointer<CVarnelDoc> m_document;
  const Layer* m_layer;
  mutable bool m_written = false;
  mutable QString m_path;
};

class LayerPanel : public QWidget {
  Q_OBJECT

 public:
  // The menu commands the buttons ask for.
  static constexpr int kCmdNewLayer = cmd::kNewLayer;
  static constexpr int kCmdDuplicateLayer = cmd::kDuplicateLayer;
  static constexpr int kCmdMoveLayerUp = cmd::kLayerUp;
  static constexpr int kCmdMoveLayerDown = cmd::kLayerDown;
  static constexpr int kCmdDeleteLayers = cmd::kDeleteLayer;

  // Item geometry: the thumbnail square's side t, and the item heights.
  static constexpr int32_t kActiveThumbnail = 55;
  static constexpr int32_t kThumbnail = 40;
  static constexpr int32_t kActiveItemHeight = 65;
  static constexpr int32_t kItemHeight = 50;
  static constexpr int32_t kIconSize = 22;
  static constexpr int32_t kMaskSize = 32;
  static constexpr int32_t kMaskPitch = 36;
  // A left press becomes a drag once |dx| + |dy| exceeds this.
  static constexpr int32_t kDragDistance = 8;
  static constexpr size_t kMaxSelection = 1000;

  // Bits of an item's display flags.
  static constexpr uint32_t kFlagSecond = 1;     // the second toggle
  static constexpr uint32_t kFlagShowMasks = 2;  // the mask toggle: the masks are shown

  enum class Part { kNone, kItem, kSecondToggle, kThumbnail, kVisibility, kMaskToggle, kMask };
  struct Hit {
    int32_t item = -1;
    Part part = Part::kNone;
    int32_t mask = -1;
  };

  explicit LayerPanel(QWidget* parent = nullptr);
  ~LayerPanel() override;

  // The document shown; null shows nothing. When the document is destroyed the panel lets go
  // of it by itself and shows nothing.
  void SetDocument(CVarnelDoc* document);
  CVarnelDoc* Document() const { return m_document; }

  // Rebuilds from the canvas: thumbnails, selection, extent, the mode and opacity controls.
  void Refresh();

  // The selected layers' indices, ascending (the panel's order), at most kMaxSelection.
  std::vector<int32_t> SelectedIndices() const;
  // Replaces the selection (out-of-range indices are dropped, the rest capped).
  void SetSelectedIndices(const std::vector<int32_t>& indices);

  // An item's display flags (kFlagSecond, kFlagShowMasks) and its selected mask (-1: none).
  // They belong to the layer the item shows, so they follow it when it moves.
  uint32_t DisplayFlags(int32_t item) const;
  int32_t SelectedMask(int32_t item) const;

  // Geometry, in the list's content coordinates (the list's viewport plus its scroll offset).
  int32_t ItemTop(int32_t item) const;
  int32_t ItemHeight(int32_t item) const;
  int32_t ThumbnailSide(int32_t item) const;
  int32_t ItemAt(int32_t y) const;
  Hit HitTest(QPoint contentPoint) const;
  // What the part of the list under a point does, for its tool tip; empty where nothing is.
  QString ToolTipAt(QPoint contentPoint) const;
  // The width the items need (the list's horizontal extent).
  int32_t ContentWidth() const;

  // The swap an internal drop at a point of the list's viewport would make: (dragged item,
  // item under the point), or nothing when the data is not a layer of this panel's document,
  // the point is on no item or on the dragged item itself.
  std::optional<std::pair<int32_t, int32_t>> DropSwap(const QMimeData* data, QPoint viewportPoint) const;
  // Swaps two items' layers and refreshes the panel and the views. False when refused.
  bool SwapItems(int32_t a, int32_t b);

  QAbstractScrollArea* List() const;
  QComboBox* BlendModeBox() const { return m_modeBox; }
  QSpinBox* OpacityBox() const { return m_opacityBox; }
  QSlider* OpacitySlider() const { return m_opacitySlider; }

  // Runs a drag that has started; QDrag::exec unless set (tests replace the platform's loop).
  std::function<Qt::DropAction(QDrag&)> execDrag;

 signals:
  // The panel itself changed the canvas: active layer, visibility, order, mode or opacity.
  void layersChanged();
  // A button asks for a layer command by its menu id.
  void commandRequested(int id);
  void maskSelected(int item, int mask);

 private:
  friend class LayerListView;

  struct ItemState {
    uint32_t flags = 0;
    int32_t selectedMask = -1;
  };
  struct Thumbnail {
    int32_t side = 0;
    bool stale = true;
    QImage image;
  };

  Layer* LayerAt(int32_t item) const;
  int32_t IndexOf(const Layer* layer) const;
  int32_t Count() const;
  int32_t ActiveItem() const;
  const ItemState* StateOf(int32_t item) const;
  ItemState& StateFor(int32_t item);

  // List events, handed over by the list widget.
  void PaintList(QPainter& painter, const QRect& contentArea);
  void PaintItem(QPainter& painter, int32_t item, int32_t width);
  void ListPress(QMouseEvent& event);
  void ListMove(QMouseEvent& event);
  void ListRelease(QMouseEvent& event);
  void ListDoubleClick(QMouseEvent& event);
  void RenameLayer(int32_t item);
  void ListDragEnter(QDragEnterEvent& event);
  void ListDragMove(QDragMoveEvent& event);
  void ListDrop(QDropEvent& event);

  void SelectByClick(int32_t item, Qt::KeyboardModifiers modifiers);
  void StartDrag(int32_t item);
  const QImage& ThumbnailImage(const Layer& layer, int32_t side);
  void DropThumbnails();
  void PruneState();
  void UpdateGeometry();
  void SyncControls();
  // Recomposes the part of the picture a layer covers and shows it.
  void RecomposeLayer(const Layer& layer);
  void OnModeChosen(int index);
  void OnOpacityChosen(int value);
  void OnPictureChanged();
  // Everything kept about the layers of the document shown (their pointers go with it).
  void ForgetLayers();
  // A click that makes the item's layer the active one (and selects it).
  void Activate(int32_t item, Qt::KeyboardModifiers modifiers);
  void OnDocumentDestroyed();

  QPointer<CVarnelDoc> m_document;
  LayerListView* m_list;
  QComboBox* m_modeBox;
  QSpinBox* m_opacityBox;
  QSlider* m_opacitySlider;
  bool m_syncing = false;

  // Keyed by the layer, not the index, so that state follows a layer through moves. Entries of
  // layers that left the canvas are dropped on Refresh.
  std::unordered_map<const Layer*, ItemState> m_states;
  std::unordered_map<const Layer*, Thumbnail> m_thumbnails;
  std::unordered_set<const Layer*> m_selection;
  const Layer* m_anchor = nullptr;
  const Layer* m_lastActive = nullptr;

  int32_t m_pressItem = -1;
  QPoint m_pressPoint;
};

}  // namespace varnel

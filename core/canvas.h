#pragma once
// Canvas: a document's picture. The ordered layer stack (index 0 at the bottom, composited
// first), the active layer, the current selection, a mask image that may be under edit, and
// the composite image the views show. The canvas owns its layers.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/layer.h"
#include "core/paint_object.h"
#include "core/region_clipped_image.h"
#include "core/region.h"

namespace varnel {

// An operation applied to the canvas's drawing target (filters, batches, scripts, transforms).
// Execute is called twice: with pass 1 to do the work, then with pass 0 to finish.
class CanvasOperation {
 public:
  virtual ~CanvasOperation() = default;
  virtual void Execute(ImageSurface& target, int32_t pass) = 0;
};

class Canvas {
 public:
  static constexpr int32_t kToolSlots = 20;

  Canvas();
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // The canvas of the active document, through the lookup the desktop program installs.
  static Canvas* GetActiveCanvas();
  static void SetActiveCanvasLookup(std::function<Canvas*()> lookup);

  Layer* GetLayer(int32_t index) const;
  int32_t LayerCount() const { return static_cast<int32_t>(m_layers.size()); }
  Size GetSize() const;
  int32_t ActiveIndex() const { return m_activeIndex; }
  Layer* ActiveLayer() const { return m_activeLayer; }
  int32_t LayerCounter() const { return m_layerCounter; }
  Layer& Composite() { return m_composite; }
  const Layer& Composite() const { return m_composite; }

  void InitWithLayer(std::unique_ptr<Layer> layer);
  void AppendLayer(std::unique_ptr<Layer> layer, bool refresh);
  // A new transparent white layer ("レイヤ%d"), the size of layer 0 unless given, on top.
  Layer* AddLayer(std::optional<Size> size = std::nullopt);
  bool SwapLayers(int32_t i, int32_t j);
  void SetActiveLayer(int32_t index);
  int32_t DeleteLayer(int32_t index);
  void ReplaceLayer(int32_t index, std::unique_ptr<Layer> layer);
  // False, the canvas keeping its size, when no composite of the new size can be made.
  bool ResizeCanvas(int32_t width, int32_t height);
  // Puts a layer of the stack at (x, y) on the canvas and recomposes where it was and where it
  // is now; the selection keeps its place on the canvas. Records no undo step (LayerOffsetStep
  // does that).
  void SetLayerOffset(Layer& layer, int32_t x, int32_t y);

  // The display composition of a rectangle of the canvas (inclusive), added to the composite's
  // dirty rectangle.
  void Compose(const Rect& rect);
  void ComposeAll();
  // Merges source into target with source's blend mode, opacity and enabled masks, then pushes
  // an undo step on target, written at once.
  static void MergeInto(Layer& target, Layer& source);
  // Merges every source into a target just made, in list order, as MergeInto would one after
  // the other, in a single pass over the target's rows. Nothing can be undone on a target
  // nobody has seen yet, so it takes no backups and gets no undo step.
  static void MergeStack(Layer& target, const std::vector<const Layer*>& sources);
  // A new white layer of the canvas size (opaque, or with the given alpha) with every listed
  // layer that has pixels merged into it, in list order (visibility is not consulted), with no
  // undo history. Null when the layer cannot be made; the canvas is not changed.
  std::unique_ptr<Layer> MergeIntoNewLayer(const std::vector<int32_t>& indices, uint8_t baseAlpha = 255) const;
  // The visible layers merged onto a transparent base, as a picture that keeps its
  // transparency is written. Null when there is nothing to merge or no memory.
  std::unique_ptr<Layer> MergeVisibleOntoTransparent() const;

  // Selection. An empty region counts as no selection. SetSelection and ClearSelection change
  // it without an undo step.
  const Region* Selection() const { return m_selection.get(); }
  void SetSelection(std::unique_ptr<Region> selection);
  void ClearSelection();
  // Replaces the selection; with undoable, the previous one goes into the drawing target's
  // history (the mask image under edit, else the active layer) as a step in order with the
  // painting steps. Nothing happens when there was no selection and none is given.
  void ReplaceSelection(std::unique_ptr<Region> selection, bool undoable);
  // Swaps the selection with other (null for none): how a selection step is applied.
  void ExchangeSelection(std::unique_ptr<Region>& other);
  // Called whenever the selection has changed, also by undo and redo, so that the views redraw
  // its outline.
  std::function<void()> onSelectionChanged;
  // Mask image under edit: replaces the active layer as the drawing target.
  void EditMaskImage(std::unique_ptr<ImageSurface> image);
  void EndMaskEdit();
  ImageSurface* MaskImage() const { return m_maskImage.get(); }
  // What tools draw into: the selection facade while a selection exists, else the mask image
  // under edit, else the active layer.
  ImageSurface* DrawingTarget();

  // Undo and redo of the mask image under edit, else of the active layer; the changed part is
  // recomposed.
  int32_t Undo();
  int32_t Redo();

  // Runs an operation on the target (the active layer, or with a selection a temporary image of
  // the selection's bounding rectangle merged back through the selection), every tile backed up
  // with an undo step first.
  void ApplyOperation(CanvasOperation& operation);
  // The same on the whole target, whatever is selected: a script addresses the layer's own
  // pixels by their place in it.
  void ApplyOperationToWhole(CanvasOperation& operation);

  // Layer commands. They ask nothing: the questions and messages around them are the command
  // layer's.
  void DuplicateActiveLayer();
  void MoveActiveLayerUp();
  void MoveActiveLayerDown();
  // Deletes the listed layers from the last to the first, keeping the base layer; answers how
  // often the base layer was listed (and kept).
  int32_t DeleteLayers(const std::vector<int32_t>& selected);
  // Merges the further listed layers into the first (backed up with an undo step first), or
  // every listed layer but the base into the base; answers the merged layers' indices.
  std::vector<int32_t> MergeDown(const std::vector<int32_t>& selected);
  std::vector<int32_t> MergeWithBase(const std::vector<int32_t>& selected);
  void AddMargin(int32_t left, int32_t right, int32_t top, int32_t bottom, bool replace);

  // Tools. The canvas owns one tool object per slot; events go to the temporary object when
  // one is set, else to the pen-end override's slot when set, else to the selected slot.
  void SetTool(int32_t slot, std::unique_ptr<PaintObject> tool);
  PaintObject* Tool(int32_t slot) const;
  void SelectTool(int32_t slot);
  int32_t SelectedTool() const { return m_selectedTool; }
  void SetPenEndOverride(std::optional<int32_t> slot) { m_penEndOverride = slot; }
  void SetTemporaryTool(std::unique_ptr<PaintObject> tool);
  PaintObject* TemporaryTool() const { return m_temporaryTool.get(); }
  PaintObject* ActiveTool() const;
  // Moves an image point before it reaches the tool (grids snap through it); none by default.
  std::function<void(int32_t& x, int32_t& y)> pointFilter;
  // Hands a view event (canvas coordinates) to the active tool on the edit surface (the
  // selection facade, the mask image under edit or the active layer) in its own coordinates.
  // The target's saved tiles become an undo step when the tool marked it modified. Answers
  // what the tool answered.
  bool DeliverEvent(int32_t code, uint32_t flags, int32_t x, int32_t y, int32_t pressure,
                    const PenOrientation* orientation = nullptr);
  // Where the edit surface lies on the canvas (0, 0 for a mask image): tools add it to an
  // event's point to get canvas coordinates.
  int32_t EditOffsetX() const;
  int32_t EditOffsetY() const;
  // Turns what a tool wrote into the edit surface into one undo step; DeliverEvent does this
  // after every event, a tool that writes on a key (Enter closing a path) calls it itself.
  void FinishToolChange();

  // Called when the views must be redrawn; the selection's display object draws over a
  // composed rectangle through drawSelection.
  std::function<void()> onRefresh;
  std::function<void(const Rect&)> drawSelection;

 private:
  void Refresh();
  // The surface edits go to (the mask image under edit, else the active layer) and its place.
  ImageSurface* EditTarget() const;
  int32_t StepHistory(bool forward);
  void BindFacade();
  void SelectionChanged();
  void RecomposeDirty(ImageSurface& surface, int32_t offsetX, int32_t offsetY);

  std::unique_ptr<PaintObject> m_tools[kToolSlots];
  std::unique_ptr<PaintObject> m_temporaryTool;
  // The tool that heard the left button go down and not yet come up, and the last point it was
  // handed (in its own coordinates), so that a tool changed in the middle of a drag can end it.
  PaintObject* m_pressedTool = nullptr;
  struct {
    uint32_t flags;
    int32_t x, y, pressure;
  } m_pressedAt{};
  int32_t m_selectedTool = 1;
  std::optional<int32_t> m_penEndOverride;
  std::unique_ptr<ImageSurface> m_maskImage;
  std::unique_ptr<Region> m_selection;
  RegionClippedImage m_facade;
  Layer m_composite;
  int32_t m_layerCounter = 1;
  int32_t m_activeIndex = 0;
  std::vector<std::unique_ptr<Layer>> m_layers;
  Layer* m_activeLayer = nullptr;
};

}  // namespace varnel

#pragma once
// The layer move tool "レイヤ移動": dragging moves the active layer over the canvas as the pointer
// goes, the arrow keys move it by one pixel (with Shift by ten). Each drag and each key press is
// one undo step that puts the layer back. The layer's masks stay where they are on the canvas,
// as the selection does; while a mask image is edited the tool moves nothing.

#include <cstdint>
#include <string>

#include "core/canvas.h"
#include "core/paint_object.h"

namespace varnel {

inline constexpr int32_t kLayerMoveToolSlot = 15;
inline constexpr const char* kLayerMoveToolName = "レイヤ移動";
inline constexpr const char* kLayerMoveToolTip = "選択されたレイヤを移動";

// Pixels an arrow key moves the layer, without and with Shift.
inline constexpr int32_t kLayerMoveKeyStep = 1;
inline constexpr int32_t kLayerMoveShiftKeyStep = 10;
// Offsets stay within ± this, so a layer's far corner never leaves 32 bits.
inline constexpr int32_t kLayerOffsetLimit = 1 << 24;

// Moves the canvas's active layer to (x, y) (each clamped to ±kLayerOffsetLimit), recomposing
// where it was and where it is, as one undo step of that layer. False, with nothing changed,
// when there is no active layer, a mask image is under edit or the layer is there already.
bool MoveActiveLayerTo(Canvas& canvas, int32_t x, int32_t y);

class LayerMoveTool : public PaintObject {
 public:
  explicit LayerMoveTool(Canvas& canvas) : m_canvas(canvas) {}
  std::string Name() const override { return kLayerMoveToolName; }
  // Pen-down takes hold of the active layer; each movement puts it where the pointer has
  // carried it since; pen-up makes the whole drag one undo step.
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  // Arrow keys move the layer (repeat times a step); Escape during a drag puts it back.
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;

 private:
  // The layer being dragged, or null when it is gone or no longer the one tools work on.
  Layer* DraggedLayer() const;
  void Follow(Layer& layer, const ToolEvent& event);

  Canvas& m_canvas;
  Layer* m_layer = nullptr;  // held while dragging
  int32_t m_pointerX = 0, m_pointerY = 0;  // canvas point of pen-down
  int32_t m_fromX = 0, m_fromY = 0;        // the layer's offset at pen-down
};

}  // namespace varnel

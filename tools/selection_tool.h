#pragma once
// The selection tool "領域選択": seven shapes that make a region from a gesture (rectangle,
// polygon, ellipse, free path) or from colours (fill, fuzzy and colour range select), and the
// modes that apply it to the canvas's selection (new, add, subtract) or move, turn or scale the
// selection itself. Each change of the selection is one undo step while "ヒストリ" is on. The
// settings are one record for the whole program, kept in the tool state.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"
#include "tools/colour_select.h"
#include "tools/region_shapes.h"

namespace varnel {

enum SelectionShape : int32_t {
  kSelectRectangle = 0,  // 四角形選択
  kSelectPolygon = 1,    // 多角形選択
  kSelectEllipse = 2,    // 楕円選択
  kSelectFree = 3,       // 自由選択
  kSelectFill = 4,       // 塗りつぶし選択
  kSelectFuzzy = 5,      // ファジー選択
  kSelectRange = 6,      // 色域選択
};
inline constexpr int32_t kSelectionShapeCount = 7;

enum SelectionMode : int32_t {
  kSelectNew = 0,       // 新規
  kSelectAdd = 1,       // 追加
  kSelectSubtract = 2,  // 削除
  kSelectMove = 3,      // 移動
  kSelectRotate = 4,    // 回転
  kSelectScale = 5,     // 拡大・縮小
};
inline constexpr int32_t kSelectionModeCount = 6;

// "移動操作": what a move of the selection does with the pixels under it.
enum SelectionMoveOperation : int32_t { kMoveRegionOnly = 0, kMoveCopyPixels = 1, kMoveCarryPixels = 2 };

// Menu labels ("選択形状" and "モード") and panel labels.
const char* SelectionShapeLabel(int32_t shape);
const char* SelectionShapePanelLabel(int32_t shape);
const char* SelectionModeLabel(int32_t mode);
const char* SelectionModePanelLabel(int32_t mode);  // "" where the panel has no button of its own

struct SelectionToolSettings {
  int32_t shape = kSelectRectangle;
  int32_t mode = kSelectNew;
  bool history = true;        // "ヒストリ": selection changes are undo steps
  int32_t moveOperation = kMoveRegionOnly;
  bool useSurface = false;    // "サーフェイスを使う": colours from the display composite
  int32_t component = 0;      // 0 RGB, 1 色相, 2 彩度, 3 明度
  int32_t tolerance = 0;      // "許容範囲", 0…255

  void WriteToolState(ToolStateWriter& writer) const;
  // A missing flag or integer reads as 0; every value is held to its range.
  void ReadToolState(ToolStateReader& reader);
};
SelectionToolSettings& ProgramSelectionSettings();

inline constexpr const char* kSelectionToolClassName = "CSelectTool";
inline constexpr const char* kSelectionToolName = "領域選択";
inline constexpr int32_t kSelectionToolSlot = 0;

class SelectionToolState : public SettingsToolState<SelectionToolSettings> {
 public:
  explicit SelectionToolState(SelectionToolSettings& settings) : SettingsToolState(settings, kSelectionToolClassName) {}
};

// Applies a region to the canvas's selection by the mode (new, add or subtract), as one undo
// step when undoable. An empty region in new mode clears the selection.
void ApplySelectionMode(Canvas& canvas, int32_t mode, Region& region, bool undoable);

// The further commands: the selection moved, turned about its centre (degrees, clockwise on
// screen), mirrored, or dropped; each one undo step when undoable. Nothing without a selection.
void MoveSelection(Canvas& canvas, int32_t dx, int32_t dy, bool undoable);
void RotateSelection(Canvas& canvas, double degrees, bool undoable);
void FlipSelection(Canvas& canvas, bool horizontal, bool undoable);
void DropSelection(Canvas& canvas, bool undoable);

// The region a colour shape (fill, fuzzy, range) makes from a click at canvas (x, y); null when
// the click lies outside the source.
std::unique_ptr<Region> ColourShapeRegion(const Canvas& canvas, int32_t shape, int32_t x, int32_t y,
                                          const SelectionToolSettings& settings);

class SelectionTool : public PaintObject {
 public:
  // settings: the program's unless given; nowMs: the tick count for the click filter.
  explicit SelectionTool(Canvas& canvas, SelectionToolSettings& settings = ProgramSelectionSettings(),
                         std::function<int64_t()> nowMs = {});
  std::string Name() const override { return kSelectionToolName; }
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  bool ButtonUp(const ToolEvent& event) override;
  bool RightButtonDown(const ToolEvent& event) override;
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  std::vector<FeedbackPath> Feedback() const override;

  // Called around a colour shape's work (the wait cursor) with true, then false.
  std::function<void(bool busy)> onBusy;

 private:
  enum class Gesture { kNone, kDrag, kPolygon, kFree, kTransform };
  PointD CanvasPoint(const ToolEvent& event) const;
  void Finish(std::unique_ptr<Region> region);
  void FinishPolygon();
  void FinishTransform(const PointD& end);
  std::unique_ptr<Region> TransformedSelection(const PointD& end) const;

  Canvas& m_canvas;
  SelectionToolSettings& m_settings;
  std::function<int64_t()> m_now;
  ClickFilter m_clicks{kSelectClickInterval};
  Gesture m_gesture = Gesture::kNone;
  int32_t m_gestureShape = 0;
  int32_t m_gestureMode = 0;
  PointD m_anchor{0, 0};
  PointD m_current{0, 0};
  bool m_constrain = false;
  std::vector<PointD> m_path;
};

}  // namespace varnel

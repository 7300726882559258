#pragma once
// The stamp tool "スタンプ": a picture taken once ("取得" drags a rectangle on the drawing target,
// "領域から取得" takes the selection, "ファイルから取得" a picture file) and laid down again by a
// click, centred on the point, as often as wanted. The view shows its outline under the
// pointer, and a drag before the release moves it. "大きさ" scales it, "透明度" sets its opacity,
// "モード" the blend mode it is laid with, "コピー" makes it replace the pixels instead, and
// "位置固定" puts it back where it was taken from wherever the click lands. Each placement is one
// undo step, inside the selection.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/tool_state.h"

namespace varnel {

inline constexpr int32_t kStampToolSlot = 14;
inline constexpr const char* kStampToolName = "スタンプ";
inline constexpr const char* kStampToolTip = "スタンプ";
inline constexpr const char* kStampToolClassName = "CStampTool";

// "大きさ" in percent of the stamp as taken.
inline constexpr int32_t kStampScaleMinimum = 10;
inline constexpr int32_t kStampScaleMaximum = 400;

struct StampSettings {
  int32_t mode = 0;            // BlendMode: "モード", a blend mode number 0…26
  bool copy = false;           // Copy: "コピー"
  bool fixedPosition = false;  // FixPosition: "位置固定"
  int32_t scale = 100;         // Scale: "大きさ", 10…400 %
  int32_t opacity = 100;       // Opacity: "透明度", 0…100 %; 100 lays the stamp as it was taken

  // The tool state entries, in this order (the stamp's pixels are not among them). Reading holds
  // every value to its range; a missing entry reads as 0 (the scale then as 10 %).
  void WriteToolState(ToolStateWriter& writer) const;
  void ReadToolState(ToolStateReader& reader);
};

// The settings the option panel edits and every stamp tool reads when it places.
StampSettings& ProgramStampSettings();

class StampToolState : public SettingsToolState<StampSettings> {
 public:
  explicit StampToolState(StampSettings& settings) : SettingsToolState(settings, kStampToolClassName) {}
};

struct Stamp {
  Size size;                     // 0 × 0: nothing taken yet
  std::vector<uint32_t> pixels;  // size.width × size.height, rows from the top, 0xAARRGGBB
  int32_t originX = 0;           // the canvas place of its top-left pixel where it was taken
  int32_t originY = 0;
  bool IsEmpty() const { return size.width <= 0 || size.height <= 0; }
};

// What every document's stamp tool shares, so a stamp taken in one picture is laid in another.
struct StampStore {
  Stamp stamp;
  // "取得" was pressed: the next drag on a picture takes a rectangle instead of placing.
  bool taking = false;
  // Called after a new stamp was taken (the panel shows it).
  std::function<void()> onTaken;
};
StampStore& ProgramStampStore();

// The pixels of rect (source coordinates, corners in any order) within source; the source lies
// at (offsetX, offsetY) on the canvas, which gives the origin. False (stamp unchanged) when the
// rectangle misses the source.
bool TakeStamp(const ImageSurface& source, const Rect& rect, int32_t offsetX, int32_t offsetY, Stamp& stamp);
// "領域から取得": the selection's bounding rectangle (canvas coordinates) within the source at
// (offsetX, offsetY); each pixel's alpha becomes (alpha × coverage + 127) / 255, so what the
// selection leaves out is transparent. False (stamp unchanged) without a selection there.
bool TakeStampFromSelection(const ImageSurface& source, int32_t offsetX, int32_t offsetY, const Region& selection,
                            Stamp& stamp);
// The same from a canvas: its drawing target (the active layer, or the mask image under edit)
// and its selection.
bool TakeStampFromCanvasSelection(Canvas& canvas, Stamp& stamp);
// "ファイルから取得": the picture's visible layers merged onto a transparent base (as a picture
// that keeps its transparency is written), origin (0, 0). -1 (stamp unchanged) when the file
// gives no picture, with the reader's reason in message when it has one.
int32_t TakeStampFromFile(const std::string& path, Stamp& stamp, std::string* message = nullptr);

// Where a placement goes, in target coordinates: the stamp scaled to (w × scale + 50) / 100 by
// (h × scale + 50) / 100 pixels (at least 1), its top-left at (x − width / 2, y − height / 2)
// for a click at target (x, y), or with "位置固定" centred where it was taken from (its origin
// less the target's place on the canvas, editX and editY), so 100 % lays it exactly there.
Rect StampPlacement(const Stamp& stamp, const StampSettings& settings, int32_t x, int32_t y, int32_t editX,
                    int32_t editY);

// Lays the stamp into place (target coordinates, as StampPlacement gives it) through the
// target's GetRect/SetRect, so a selection facade confines it, and marks the target modified.
// Place pixel (i, j) shows stamp pixel (floor((2i + 1) w / 2W), floor((2j + 1) h / 2H)) for a
// place of W × H: the stamp pixel under its centre. With s that pixel and o the opacity:
//   コピー     s replaces the pixel, alpha too, at o = 100 %; below, the pixel moves toward s by
//              (o × 255 + 50) / 100 as a selection blends (RegionClippedImage::BlendCovered);
//   otherwise  s is laid over the pixel in the merge frame (MergeRun) in the chosen blend mode,
//              with s's alpha as the coverage and OpacityWeight(o) as the weight; an opaque
//              stamp at 100 % in "合成" reproduces itself exactly.
// Answers the changed rectangle, empty when nothing of the place is on the target or the opacity
// is 0 (nothing is laid then).
Rect PlaceStamp(ImageSurface& target, const Stamp& stamp, const Rect& place, const StampSettings& settings);

class StampTool : public PaintObject {
 public:
  explicit StampTool(Canvas& canvas, StampSettings& settings = ProgramStampSettings(),
                     StampStore& store = ProgramStampStore());
  std::string Name() const override { return kStampToolName; }
  // Starts a placement at the point, or a rectangle to take while the store is taking.
  bool ButtonDown(const ToolEvent& event) override;
  bool Move(const ToolEvent& event) override;
  // Lays the stamp at the point (one undo step), or takes the dragged rectangle.
  bool ButtonUp(const ToolEvent& event) override;
  // Esc gives up the placement or the rectangle.
  bool KeyMessage(int32_t message, int32_t key, int32_t repeat, uint32_t flags) override;
  // The stamp's outline where a click would lay it (following the pointer, and dragged
  // before the release), the rectangle while taking.
  std::vector<FeedbackPath> Feedback() const override;

 private:
  enum class Drag { kNone, kPlacing, kTaking };

  Canvas& m_canvas;
  StampSettings& m_settings;
  StampStore& m_store;
  Drag m_drag = Drag::kNone;
  bool m_hovering = false;  // the last move came without a button, a stamp in hand
  int32_t m_x0 = 0, m_y0 = 0, m_x = 0, m_y = 0;  // target coordinates
};

}  // namespace varnel

#pragma once
// The tool interface: every drawing tool, the brushes included, is a PaintObject. The canvas
// owns one per tool slot and hands each pointer event of the view to the active one.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/draw_context.h"
#include "core/geometry.h"
#include "core/surface.h"
#include "platform/colour.h"

namespace varnel {

// The internal event codes the view hands to the canvas.
enum ToolEventCode : int32_t {
  kToolButtonDown = 32786,
  kToolButtonUp = 32787,
  kToolMove = 32788,
  kToolRightButtonDown = 32789,
  kToolRightButtonUp = 32790,
};

// Key and button flags of the message, as the window system's mouse messages carry them.
enum ToolEventFlags : uint32_t {
  kToolLeftButton = 0x0001,
  kToolRightButton = 0x0002,
  kToolShift = 0x0004,
  kToolControl = 0x0008,
  kToolMiddleButton = 0x0010,
  // Not among the window system's mouse flags: the Alt key, for the brush's colour pick.
  kToolAlt = 0x1000,
};

// Keyboard messages the view forwards to the active tool unchanged, with the window system's
// message numbers.
enum ToolKeyMessage : int32_t {
  kToolKeyDown = 0x0100,
  kToolKeyUp = 0x0101,
  kToolChar = 0x0102,
};

// Pen orientation from a tablet; none for the mouse.
struct PenOrientation {
  int32_t azimuth = 0;
  int32_t altitude = 0;
  int32_t twist = 0;
};

struct ToolEvent {
  ImageSurface* surface = nullptr;  // what to draw on
  uint32_t flags = 0;
  int32_t x = 0;  // layer-relative
  int32_t y = 0;
  int32_t pressure = 0;  // 0…256
  const PenOrientation* orientation = nullptr;
};

// Virtual key codes of the keys tools look at (letters and digits are their upper-case
// character codes).
enum ToolKey : int32_t {
  kKeyBack = 0x08,
  kKeyTab = 0x09,
  kKeyReturn = 0x0D,
  kKeyShift = 0x10,
  kKeyControl = 0x11,
  kKeyEscape = 0x1B,
  kKeyPageUp = 0x21,
  kKeyPageDown = 0x22,
  kKeyEnd = 0x23,
  kKeyHome = 0x24,
  kKeyLeft = 0x25,
  kKeyUp = 0x26,
  kKeyRight = 0x27,
  kKeyDown = 0x28,
  kKeyDelete = 0x2E,
};

// A rubber band a tool shows: a path in canvas coordinates (pixel corners; x + 0.5 is the
// centre of pixel x), closed or open. A hover path only marks where the pointer is, so the
// view leaves it out while the pointer is away.
struct FeedbackPath {
  std::vector<std::pair<double, double>> points;
  bool closed = false;
  bool hover = false;
};

// Pixels a tool shows over the picture before it lays them down: coverage bytes over bounds
// (canvas coordinates, rows bounds.Width() bytes long) in one colour (0xAARRGGBB, the alpha
// scaling the coverage). The bytes stay the tool's, valid until its next event.
struct FeedbackPixels {
  Rect bounds{0, 0, -1, -1};
  const uint8_t* coverage = nullptr;
  uint32_t colour = 0;
};

class PaintObject {
 public:
  virtual ~PaintObject() = default;
  // The operations keep the order in which the view and the canvas use them.
  virtual bool IsType(const char* /*tag*/) const { return false; }
  virtual void DrawCursor(DrawContext& /*dc*/, int32_t /*x*/, int32_t /*y*/, Rect* /*out*/, double /*zoom*/) {}
  virtual std::string Name() const { return "PaintObject"; }
  virtual bool Move(const ToolEvent& /*event*/) { return false; }
  virtual bool RightButtonUp(const ToolEvent& /*event*/) { return false; }
  virtual bool ButtonUp(const ToolEvent& /*event*/) { return false; }
  virtual bool RightButtonDown(const ToolEvent& /*event*/) { return false; }
  virtual bool ButtonDown(const ToolEvent& /*event*/) { return false; }
  virtual void SetColours(ColourRef /*foreground*/, ColourRef /*background*/) {}
  // A temporary object (a floating object being placed) that is done after an event.
  virtual bool IsFinished() const { return false; }
  // A key message: the key code (the virtual key for key down/up, the character for kToolChar),
  // the repeat count and the message's flags. True when the tool used it.
  virtual bool KeyMessage(int32_t /*message*/, int32_t /*key*/, int32_t /*repeat*/, uint32_t /*flags*/) { return false; }
  // What the view draws over the picture for this tool now (rubber bands); none by default.
  virtual std::vector<FeedbackPath> Feedback() const { return {}; }
  // Pixels the view shows over the picture, under the rubber bands; none by default.
  virtual FeedbackPixels PreviewPixels() const { return {}; }
};

}  // namespace varnel

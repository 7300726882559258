#pragma once
// Tablet input of an image view: the packets a pen tablet reports, their pressure normalised to
// 0…256 through the cursor's calibration, which packets a pointer message delivers, and what a
// change of cursor (the pen's tip, its eraser end, a puck) does to the canvas's pen-end tool.
// The window system's tablet events become packets in the view; the rules here stay free of it.

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "core/paint_object.h"

namespace varnel {

// One packet: eight 32-bit fields in the order the tablet context reports them.
struct TabletPacket {
  uint32_t cursor = 0;
  uint32_t buttons = 0;        // bit n: logical button n held
  int32_t x = 0;               // screen pixels, y growing downward
  int32_t y = 0;
  int32_t normalPressure = 0;  // raw, on the device's normal-pressure axis
  int32_t azimuth = 0;         // tenths of a degree, clockwise from the tablet's top
  int32_t altitude = 0;        // tenths of a degree above the tablet's surface (900: upright)
  int32_t twist = 0;           // tenths of a degree
};
static_assert(sizeof(TabletPacket) == 32);

// What the tablet says about its cursors and its pressure axis. Every read may fail (false).
class TabletDevice {
 public:
  virtual ~TabletDevice() = default;
  // The logical button that carries the tip pressure.
  virtual bool PressureButton(uint32_t cursor, uint8_t& button) = 0;
  // Physical to logical buttons; an empty map is a failed read.
  virtual std::vector<uint8_t> ButtonMap(uint32_t cursor) = 0;
  // The normal-pressure axis of the device the context reads.
  virtual bool PressureAxis(int32_t& minimum, int32_t& maximum) = 0;
  // The pressure button's marks: where release and press lie on the raw scale.
  virtual bool PressureMarks(uint32_t cursor, int32_t& release, int32_t& press) = 0;
  // The cursor's type word; its bits 0xC000 tell pen, eraser and puck apart.
  virtual bool CursorType(uint32_t cursor, uint32_t& type) = 0;
};

// number × numerator / denominator rounded to the nearest (halves away from 0); −1 when the
// denominator is 0 or the result leaves 32 bits.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

// Pressure of a mouse delivery: 256 for a move, 0 for the buttons.
int32_t MousePressure(int32_t code);

// Cursor class of a type word: 1 pen, 2 eraser, 3 puck, −1 otherwise or when unread.
int32_t CursorClass(std::optional<uint32_t> type);

// The pen's direction as the tablet reports it, from tilts in degrees (x towards the right,
// y towards the user) and the barrel's rotation in degrees.
PenOrientation OrientationFromTilt(double xTilt, double yTilt, double rotation);

// Calibration of one cursor, as read when its first packet arrives.
struct TabletCalibration {
  uint8_t pressureButton = 255;  // 255 until read
  int32_t releaseMark = 0;
  int32_t markRange = 0;         // press mark − release mark
  int32_t axisMinimum = 0;
  int32_t axisRange = 0;         // maximum − minimum
};

// One event for the view's dispatcher, at the packet's screen point.
struct TabletDelivery {
  int32_t code = 0;      // ToolEventCode
  int32_t screenX = 0;
  int32_t screenY = 0;
  int32_t pressure = 0;  // 0…256
  PenOrientation orientation;
};

class TabletInput {
 public:
  // Packets are read this many at a time, as the context's queue holds them.
  static constexpr size_t kPacketsPerRead = 32;

  // Without a device (null) the view is on the mouse alone. The device outlives this.
  explicit TabletInput(TabletDevice* device = nullptr) : m_device(device) {}

  bool HasTablet() const { return m_device != nullptr; }
  // A packet the tablet reported, waiting for the view's next pointer message. The queue keeps
  // every packet until it is read, so a fast stroke loses none.
  void Queue(const TabletPacket& packet);
  size_t Pending() const { return m_queue.size(); }

  // One pointer message of the view (button down, button up or move): reads every queued
  // packet and answers the events to deliver: for a move one per packet, for the buttons the
  // first packet read only (the rest are consumed). Nothing read: nothing answered, and the
  // view delivers the mouse's point at MousePressure instead.
  std::vector<TabletDelivery> ReadMessage(int32_t code);

  // The packet's pressure on 0…256, the cursor's calibration read first when it is another
  // cursor than the last. A raw value off the axis is held to the range.
  int32_t Pressure(const TabletPacket& packet);

  // A change of cursor: the pen-end tool the canvas takes (the eraser slot for an eraser end),
  // or none (cleared) for every other class.
  std::optional<int32_t> CursorChange(uint32_t cursor, int32_t eraserSlot);

  const TabletCalibration& Calibration() const { return m_calibration; }
  int64_t PreviousCursor() const { return m_previousCursor; }

 private:
  void Calibrate(uint32_t cursor);

  TabletDevice* m_device;
  std::deque<TabletPacket> m_queue;
  TabletCalibration m_calibration;
  int64_t m_previousCursor = -1;  // the cursor whose calibration is loaded
};

}  // namespace varnel

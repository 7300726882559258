#include "brush/tablet_input.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace varnel {
namespace {

// The rounding of MulDiv on a 64-bit number, so that a raw value minus the axis minimum cannot
// overflow before it is scaled.
int32_t MulDiv64(int64_t number, int32_t numerator, int32_t denominator) {
  if (denominator == 0) return -1;
  // |number| ≤ 2^32 and |numerator| ≤ 2^31: the product fits in 64 bits.
  const int64_t product = number * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const uint64_t magnitude = product < 0 ? 0 - static_cast<uint64_t>(product) : static_cast<uint64_t>(product);
  const uint64_t divisor = denominator < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(denominator))
                                           : static_cast<uint64_t>(denominator);
  const uint64_t quotient = (magnitude + divisor / 2) / divisor;
  if (quotient > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return -1;
  return negative ? -static_cast<int32_t>(quotient) : static_cast<int32_t>(quotient);
}

// Degrees as whole tenths on one turn, 0…3599.
int32_t TenthsOfTurn(double degrees) {
  const long tenths = std::lround(degrees * 10.0) % 3600;
  return static_cast<int32_t>(tenths < 0 ? tenths + 3600 : tenths);
}

double Finite(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator) {
  return MulDiv64(number, numerator, denominator);
}

int32_t MousePressure(int32_t code) { return code == kToolMove || code == kToolRightButtonUp ? 256 : 0; }

int32_t CursorClass(std::optional<uint32_t> type) {
  if (!type) return -1;
  switch (*type & 0xC000u) {
    case 0x4000u: return 1;
    case 0xC000u: return 2;
    case 0x8000u: return 3;
    default: return -1;
  }
}

PenOrientation OrientationFromTilt(double xTilt, double yTilt, double rotation) {
  constexpr double kDegree = std::numbers::pi / 180.0;
  // The tilts are the pen's lean in each axis; together they give the direction its top points
  // to on the tablet and how far it is from upright.
  const double tx = std::tan(std::clamp(Finite(xTilt), -89.0, 89.0) * kDegree);
  const double ty = std::tan(std::clamp(Finite(yTilt), -89.0, 89.0) * kDegree);
  PenOrientation orientation;
  // Screen y grows downward, so the tablet's top is −y; an upright pen points nowhere (0).
  if (tx != 0.0 || ty != 0.0) orientation.azimuth = TenthsOfTurn(std::atan2(tx, -ty) / kDegree);
  orientation.altitude = static_cast<int32_t>(std::lround((90.0 - std::atan(std::hypot(tx, ty)) / kDegree) * 10.0));
  orientation.twist = TenthsOfTurn(std::clamp(Finite(rotation), -1.0e6, 1.0e6));
  return orientation;
}

void TabletInput::Queue(const TabletPacket& packet) { m_queue.push_back(packet); }

void TabletInput::Calibrate(uint32_t cursor) {
  m_calibration = {};
  if (m_device != nullptr) {
    uint8_t button = 255;
    if (m_device->PressureButton(cursor, button)) m_calibration.pressureButton = button;
    // The pressure button is a physical one; the packet's buttons are logical.
    const std::vector<uint8_t> map = m_device->ButtonMap(cursor);
    if (m_calibration.pressureButton < map.size()) m_calibration.pressureButton = map[m_calibration.pressureButton];
    int32_t minimum = 0, maximum = 0;
    if (m_device->PressureAxis(minimum, maximum)) {
      m_calibration.axisMinimum = minimum;
      m_calibration.axisRange = static_cast<int32_t>(std::clamp<int64_t>(
          int64_t{maximum} - minimum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    }
    int32_t release = 0, press = 0;
    if (m_device->PressureMarks(cursor, release, press)) {
      m_calibration.releaseMark = release;
      m_calibration.markRange = static_cast<int32_t>(std::clamp<int64_t>(
          int64_t{press} - release, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    }
  }
  m_previousCursor = cursor;
}

int32_t TabletInput::Pressure(const TabletPacket& packet) {
  if (m_previousCursor != int64_t{packet.cursor}) Calibrate(packet.cursor);
  const TabletCalibration& c = m_calibration;
  const uint32_t bit = 1u << (c.pressureButton % 32u);
  const int32_t pressure = (packet.buttons & bit) == 0
                               ? MulDiv64(int64_t{packet.normalPressure} - c.axisMinimum, 256, c.axisRange)
                               : MulDiv64(int64_t{packet.normalPressure} - c.releaseMark, 256, c.markRange);
  // A device that reports off its own axis (or a failed read, −1) still gives a pressure the
  // brushes can use.
  return std::clamp(pressure, 0, 256);
}

std::vector<TabletDelivery> TabletInput::ReadMessage(int32_t code) {
  std::vector<TabletDelivery> deliveries;
  bool first = true;
  while (!m_queue.empty()) {
    const size_t count = std::min(kPacketsPerRead, m_queue.size());
    for (size_t i = 0; i < count; ++i) {
      const TabletPacket packet = m_queue.front();
      m_queue.pop_front();
      // The buttons take the packet that came with them; the rest are read and dropped.
      if (code != kToolMove && !first) continue;
      first = false;
      TabletDelivery delivery;
      delivery.code = code;
      delivery.screenX = packet.x;
      delivery.screenY = packet.y;
      delivery.pressure = Pressure(packet);
      delivery.orientation = {packet.azimuth, packet.altitude, packet.twist};
      deliveries.push_back(delivery);
    }
  }
  return deliveries;
}

std::optional<int32_t> TabletInput::CursorChange(uint32_t cursor, int32_t eraserSlot) {
  std::optional<uint32_t> type;
  uint32_t word = 0;
  if (m_device != nullptr && m_device->CursorType(cursor, word)) type = word;
  if (CursorClass(type) == 2) return eraserSlot;
  return std::nullopt;
}

}  // namespace varnel

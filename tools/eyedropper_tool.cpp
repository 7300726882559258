#include "tools/eyedropper_tool.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "brush/brush_stroke.h"

namespace varnel {
namespace {

constexpr std::array<const char*, kEyedropperAverageCount> kAverageLabels = {"1*1平均", "3*3平均", "5*5平均"};

const ToolStateKey<EyedropperSettings> kEyedropperKeys[] = {
    {"Average", &EyedropperSettings::average},
    {"FromDisplay", &EyedropperSettings::fromDisplay},
};

int32_t Truncate(double value) { return static_cast<int32_t>(std::clamp(value, -1e6, 1e6)); }

// coordinate + offset, held to the 32-bit range.
int32_t Shifted(int32_t coordinate, int32_t offset) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{coordinate} + offset, INT32_MIN, INT32_MAX));
}

}  // namespace

const char* EyedropperAverageLabel(int32_t average) {
  if (average < 0 || average >= kEyedropperAverageCount) return "";
  return kAverageLabels[static_cast<size_t>(average)];
}

int32_t EyedropperBlockSide(int32_t average) { return 2 * std::clamp(average, 0, kEyedropperAverageCount - 1) + 1; }

void EyedropperSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<EyedropperSettings>(writer, kEyedropperKeys, *this);
}

void EyedropperSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<EyedropperSettings>(reader, kEyedropperKeys, *this);
  average = std::clamp(average, 0, kEyedropperAverageCount - 1);
}

EyedropperSettings& ProgramEyedropperSettings() {
  static EyedropperSettings settings;
  return settings;
}

ColourRef PickColour(const ImageSurface& source, int32_t x, int32_t y, int32_t n) {
  const Size size = source.GetSize();
  if (size.width < 1 || size.height < 1) return MakeColourRef(0, 0, 0);
  n = std::clamp(n, 1, kMaxPickSide);
  // Widened so that a point far outside cannot overflow on its way to the clamp.
  const int64_t left = int64_t{x} - n / 2;
  const int64_t top = int64_t{y} - n / 2;
  int64_t blue = 0, green = 0, red = 0;
  for (int64_t row = top; row < top + n; ++row) {
    const auto py = static_cast<int32_t>(std::clamp<int64_t>(row, 0, size.height - 1));
    for (int64_t column = left; column < left + n; ++column) {
      const auto px = static_cast<int32_t>(std::clamp<int64_t>(column, 0, size.width - 1));
      // Through GetPixel, so that any surface (a selection's facade too) answers as it draws.
      uint32_t pixel = 0;
      source.GetPixel(px, py, &pixel);
      blue += pixel & 0xFF;
      green += (pixel >> 8) & 0xFF;
      red += (pixel >> 16) & 0xFF;
    }
  }
  const int64_t count = int64_t{n} * n;
  return MakeColourRef(static_cast<uint8_t>(red / count), static_cast<uint8_t>(green / count),
                       static_cast<uint8_t>(blue / count));
}

EyedropperTool::EyedropperTool(Canvas& canvas, std::function<void(ColourRef)> setForeground,
                               const EyedropperSettings& settings)
    : m_canvas(canvas), m_setForeground(std::move(setForeground)), m_settings(settings) {}

void EyedropperTool::DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* out, double zoom) {
  const int32_t side = Truncate(EyedropperBlockSide(m_settings.average) * zoom);
  const Rect outline{x - side / 2, y - side / 2, x - side / 2 + side, y - side / 2 + side};
  dc.Rectangle(outline);
  if (out != nullptr) *out = outline;
}

bool EyedropperTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  const bool shift = (event.flags & kToolShift) != 0;
  const bool fromDisplay = m_settings.fromDisplay != shift;
  // The event's point is relative to the edited surface; the composite covers the canvas.
  // Behind a selection lies the layer itself: the selection does not limit where colour is
  // picked.
  const ImageSurface& source = fromDisplay ? m_canvas.Composite() : BackedSurface(*event.surface);
  const int32_t x = fromDisplay ? Shifted(event.x, m_canvas.EditOffsetX()) : event.x;
  const int32_t y = fromDisplay ? Shifted(event.y, m_canvas.EditOffsetY()) : event.y;
  const Size size = source.GetSize();
  if (size.width < 1 || size.height < 1) return false;
  const ColourRef colour = PickColour(source, x, y, EyedropperBlockSide(m_settings.average));
  if (m_setForeground) m_setForeground(colour);
  return true;
}

}  // namespace varnel

#include "shell/window_placement.h"

#include <algorithm>

namespace varnel {
namespace {

int32_t CorrectPosition(int32_t position, int32_t screen) {
  if (position < 0) return 0;
  if (position > screen) return screen - 100;
  return position;
}

int32_t CorrectExtent(int32_t extent, int32_t screen) {
  if (extent > screen) return screen;
  if (extent < 0) return 600;
  return extent;
}

}  // namespace

WindowPlacement CorrectPlacement(WindowPlacement stored, int32_t screenWidth, int32_t screenHeight) {
  WindowPlacement p;
  p.x = CorrectPosition(stored.x, screenWidth);
  p.y = CorrectPosition(stored.y, screenHeight);
  p.cx = CorrectExtent(stored.cx, screenWidth);
  p.cy = CorrectExtent(stored.cy, screenHeight);
  return p;
}

WindowPlacement FirstPlacement(int32_t x, int32_t y, int32_t width, int32_t height) {
  WindowPlacement p;
  p.cx = static_cast<int32_t>(int64_t{width} * 4 / 5);
  p.cy = static_cast<int32_t>(int64_t{height} * 4 / 5);
  p.x = x + (width - p.cx) / 2;
  p.y = y + (height - p.cy) / 2;
  return p;
}

int32_t KeepOnScreen(int32_t position, int32_t start, int32_t length) {
  return std::clamp(position, start, start + std::max(0, length - 100));
}

}  // namespace varnel

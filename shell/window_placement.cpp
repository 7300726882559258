#include "shell/window_placement.h"

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

}  // namespace varnel

#pragma once
// The main window's stored placement, corrected against the screen before it is used.

#include <cstdint>

namespace varnel {

struct WindowPlacement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t cx = 600;
  int32_t cy = 480;
  friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// For each axis: a negative position becomes 0, a position beyond the screen dimension becomes
// that dimension minus 100; a size beyond the screen dimension becomes the screen dimension,
// a negative size becomes 600 (for the height too).
WindowPlacement CorrectPlacement(WindowPlacement stored, int32_t screenWidth, int32_t screenHeight);

// A tool window's stored position along one axis of the screen's free area (start, length),
// moved onto the area so that at least 100 pixels of the window stay on it to grab.
int32_t KeepOnScreen(int32_t position, int32_t start, int32_t length);

// Where the window opens when no placement was stored: four fifths of the screen's free area
// (x, y, width, height, the part that panels and task bars leave) each way, centred in it.
WindowPlacement FirstPlacement(int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace varnel

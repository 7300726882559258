#pragma once
// Windows bitmap files written by the save command: a picture as a 24-bit bitmap.

#include <cstdint>
#include <string>

#include "core/surface.h"

namespace varnel {

// Writes picture as a 24-bit bitmap (alpha dropped). Answers -1, without any message, when
// the file cannot be made or written (an existing file is then left as it was); else 0.
int32_t WriteBitmap24(const std::string& path, const ImageSurface& picture);

}  // namespace varnel

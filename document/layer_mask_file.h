#pragma once
// What a layer's mask list keeps of each mask outside the region itself: its temporary region
// file ("lm<number>.tmp" in the temporary folder) and its 32 × 32 thumbnail.

#include <cstdint>
#include <string>

#include "document/region.h"

namespace varnel {

inline constexpr int32_t kMaskThumbnailSize = 32;
// The image list's transparent colour, 0x00BBGGRR: magenta.
inline constexpr uint32_t kMaskThumbnailTransparent = 0x00FF00FF;

// Writes the mask into a new temporary region file with the prefix "lm"; answers the file's
// path, or an empty text when it cannot be written (no file is left then).
std::string WriteMaskFile(const Region& mask);

// Draws the thumbnail into 32 × 32 pixels (0xAARRGGBB, rows top first): white, the mask
// scaled into the top-left tw × th corner as grey 255 − v (selected pixels dark), and for a
// disabled mask a one-pixel pure red cross from corner to corner both ways.
void RenderMaskThumbnail(const Region& mask, bool enabled, uint32_t* pixels);

}  // namespace varnel

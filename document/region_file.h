#pragma once
// The region file (".vrd"), which keeps a selection or a layer mask: "VRDB", then "VRVC"
// (version "0001"), "VRDH" (the rectangle) and "VRDD" (the mask bytes).

#include <cstdint>
#include <string>

#include "core/region.h"

namespace varnel {

// Answers 0, or -1 when the file cannot be written (nothing is
// left half-written: the file is written to a temporary name and renamed into place).
int32_t SaveRegionFile(const std::string& path, const Region& region);
// Reads into region (cleared first). 0, or -1 on a malformed file (wrong magic, a "VRVC" size
// other than 4, a side longer than 65536) or when the file cannot be opened.
int32_t LoadRegionFile(const std::string& path, Region& region);

}  // namespace varnel

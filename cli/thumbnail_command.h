#pragma once
// thumbnail IN OUT SIZE: a picture's preview as a PNG no larger than SIZE on either side, for
// the file managers' thumbnailer entry. A chunked layer file gives its stored preview (read
// without touching the layers); anything else, or a layer file without one, its composite.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/geometry.h"

namespace varnel::cli {

// An opaque picture, top row first, each pixel 0x00RRGGBB.
struct ThumbnailPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
};

// The "PRVW" chunk of a chunked layer file, if it comes before the layer list and holds at
// least one pixel; false for anything else (other kinds, a cut or lying chunk).
bool ReadStoredPreview(const std::string& path, ThumbnailPicture& preview);

// The size that fits within limit × limit with the aspect kept (the short side rounded to
// nearest, at least 1); a picture that fits already keeps its size, since a thumbnail is never
// enlarged.
Size FitWithin(Size size, int32_t limit);

// Each target pixel is the rounded mean of the source box it covers: columns
// [x·w/tw, (x+1)·w/tw) at least one wide, and rows alike.
ThumbnailPicture ScaleDown(const ThumbnailPicture& source, Size target);

int RunThumbnail(const Invocation& call);

}  // namespace varnel::cli

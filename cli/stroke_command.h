#pragma once
// The stroke command of varnel-cli: one brush stroke on the active layer of a picture.

#include <cstdint>
#include <string_view>
#include <vector>

#include "brush/brush_stroke.h"
#include "cli/commands.h"
#include "platform/colour.h"

namespace varnel::cli {

// stroke IN OUT --points "x,y,p;..." [--tool-state FILE] [--fg RRGGBB] [--bg RRGGBB] [--layer N]
int RunStroke(const Invocation& call);

// "x,y,p;x,y,p;…": canvas coordinates within ±1,000,000 and pressures 0…256; one trailing ';'
// is allowed. False on anything else or when there is no point.
bool ParseStrokePoints(std::string_view text, std::vector<StrokePoint>& points);
// Six hexadecimal digits RRGGBB as a colour reference.
bool ParseWebColour(std::string_view text, ColourRef& colourRef);

}  // namespace varnel::cli

#pragma once
// The stroke command of varnel-cli: one brush stroke on the active layer of a picture.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "brush/brush_settings.h"
#include "brush/brush_stroke.h"
#include "cli/commands.h"
#include "platform/colour.h"

namespace varnel::cli {

// stroke IN OUT --points "x,y,p;..." [--tool-state FILE] [--preset FILE.bpp] [--fg RRGGBB] [--bg RRGGBB] [--layer N]
int RunStroke(const Invocation& call);

// "x,y,p;x,y,p;…": canvas coordinates within ±1,000,000 and pressures 0…256; one trailing ';'
// is allowed. False on anything else or when there is no point.
bool ParseStrokePoints(std::string_view text, std::vector<StrokePoint>& points);
// The brush settings from a tool state record, or from a tool state file whose first line
// names the tool (whichever tool it names: only the brush paints). False with message set when
// the file cannot be used.
bool LoadBrushSettings(const std::string& path, BrushToolSettings& settings, std::string& message);
// Six hexadecimal digits RRGGBB as a colour reference.
bool ParseWebColour(std::string_view text, ColourRef& colourRef);

}  // namespace varnel::cli

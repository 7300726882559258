#pragma once
// The stroke command of varnel-cli: one brush stroke on the active layer of a picture.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "brush/brush_settings.h"
#include "brush/brush_stroke.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "platform/colour.h"

namespace varnel::cli {

// stroke IN OUT --points "x,y,p;..." [--tool-state FILE] [--preset FILE.bpp] [--fg RRGGBB] [--bg RRGGBB] [--layer N]
int RunStroke(const Invocation& call);

// "x,y,p;x,y,p;…": canvas coordinates within ±1,000,000 and pressures 0…256; one trailing ';'
// is allowed. False on anything else or when there is no point.
bool ParseStrokePoints(std::string_view text, std::vector<StrokePoint>& points);
// The brush settings a command paints with: the defaults, the custom brush's parameters there
// as the program always has them, then the tool state of --tool-state when given. False with
// status set and the failure told when that file cannot be used.
bool ReadBrushOption(const Invocation& call, const ParsedArguments& args, BrushToolSettings& settings, int& status);
// The brush the settings build, or null with status set and the failure told (the program's
// message where it has one). Messages about files the brush goes without are told on stderr.
std::unique_ptr<BrushEngine> BuildCliBrush(const Invocation& call, const BrushToolSettings& settings, int& status);
// Six hexadecimal digits RRGGBB as a colour reference.
bool ParseWebColour(std::string_view text, ColourRef& colourRef);

}  // namespace varnel::cli

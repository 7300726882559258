#pragma once
// The colour and shape parts of `dump`: shape definition files (".ptv"), colour definition files
// (".cd"), named colour lists (".ncl") and colour-correction curve files (".cc"). Each prints one
// JSON object on one line, naming every field as the file does:
//
//   shape definition file    {"type": T, "vertices": [[x, y, w], ...]}
//   colour definition file   {"colours": [{"red": R, "green": G, "blue": B}, ...]}
//   named colour list        {"colours": [{"hex": "rrggbb", "name": "..."}, ...]}
//   colour-correction curve  {"channel": "RED", "type": "3BSPLINE" | "POLYLINE", "points": [[x, y], ...]}
//
// Values are what the program reads: colour components 0 … 255, the hexadecimal colour in web
// order, names in UTF-8, the channel's and the curve type's canonical names, vertices clamped and
// curve points sorted by x as the readers leave them.

#include <string>

#include "cli/commands.h"

namespace varnel::cli {

// A file whose first line begins with the shape file's header, or whose name ends in ".ptv".
bool LooksLikeShapeFile(const std::string& path);
// A file whose first line is "RGB.HEX" in any case, or whose name ends in ".ncl".
bool LooksLikeNamedColourList(const std::string& path);
// Files without a header, by their extension: ".cd" and ".cc" in any case.
bool LooksLikeColourDefinitionFile(const std::string& path);
bool LooksLikeColourCurveFile(const std::string& path);

int DumpShapeFile(const Invocation& call, const std::string& path);
int DumpNamedColourList(const Invocation& call, const std::string& path);
int DumpColourDefinitionFile(const Invocation& call, const std::string& path);
int DumpColourCurveFile(const Invocation& call, const std::string& path);

}  // namespace varnel::cli

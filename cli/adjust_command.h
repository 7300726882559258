#pragma once
// The adjust command of varnel-cli: one of the colour adjustments on the active layer.

#include <string_view>

#include "cli/commands.h"
#include "colour/adjustments.h"

namespace varnel::cli {

// adjust IN OUT (--curve FILE.cc | --brightness B --contrast C | --rgba R,G,B,A | --tone S;M;H) [--layer N]
int RunAdjust(const Invocation& call);

// "R,G,B,A", each a change of −255…255 (0 leaves the channel), as the dialog's sliders give it.
bool ParseRgbaValues(std::string_view text, RgbaValues& values);
// "c,m,y;c,m,y;c,m,y" for shadows, midtones and highlights, each −100…100.
bool ParseToneBalance(std::string_view text, ToneBalance& tone);

}  // namespace varnel::cli

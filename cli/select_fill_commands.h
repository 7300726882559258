#pragma once
// The select and fill commands of varnel-cli: the selection tool's colour-based shapes and the
// closed-area fill tool, clicked once on a picture.

#include <cstdint>
#include <string_view>

#include "cli/commands.h"

namespace varnel::cli {

// select IN OUT.vrd (--fill X,Y | --fuzzy X,Y | --range X,Y) [--tolerance T]
//        [--component rgb|hue|saturation|lightness] [--surface] [--layer N]
int RunSelect(const Invocation& call);
// fill IN OUT X,Y [--tolerance T] [--mode foreground|brush|clear] [--whole] [--feather]
//      [--fg RRGGBB] [--tool-state FILE] [--layer N]
int RunFill(const Invocation& call);

// "X,Y": canvas coordinates within ±1,000,000.
bool ParsePoint(std::string_view text, int32_t& x, int32_t& y);

}  // namespace varnel::cli

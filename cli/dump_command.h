#pragma once
// dump FILE: a JSON description of any of the program's own small formats.

#include "cli/commands.h"

namespace varnel::cli {

int RunDump(const Invocation& call);

}  // namespace varnel::cli

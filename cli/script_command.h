#pragma once
// varnel-cli script: a script over the active layer, as the script console's "実行" runs it.

#include "cli/commands.h"

namespace varnel::cli {

// script IN OUT SCRIPTFILE [--layer N] [--timeout SECONDS]
int RunScriptFile(const Invocation& call);

}  // namespace varnel::cli

#pragma once
// The animation effect commands of varnel-cli.

#include "cli/commands.h"

namespace varnel::cli {

int RunEffect(const Invocation& call);   // effect IN OUT INDEX FRAME COUNT [--percent P] [--dest FILE] [--layer N]
int RunEffects(const Invocation& call);  // effects

}  // namespace varnel::cli

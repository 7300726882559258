#pragma once
// The region commands of varnel-cli: operations on region files and their JSON dump.

#include "cli/commands.h"

namespace varnel::cli {

// region OP IN OUT [ARG]
int RunRegion(const Invocation& call);
// dump FILE
int RunDump(const Invocation& call);

}  // namespace varnel::cli

#pragma once
// The document commands of varnel-cli: reading pictures, writing them by extension, and the
// whole-canvas operations.

#include "cli/commands.h"

namespace varnel::cli {

int RunInfo(const Invocation& call);       // info FILE
int RunNew(const Invocation& call);        // new OUT [WIDTH HEIGHT]
int RunConvert(const Invocation& call);    // convert IN OUT
int RunFlatten(const Invocation& call);    // flatten IN OUT [--enable-masks]
int RunMergeAll(const Invocation& call);   // merge-all IN OUT [--enable-masks]

}  // namespace varnel::cli

#pragma once
// varnel-cli batch: a filter batch file over the active layer, as the batch dialog's "実行開始"
// runs it.

#include "cli/commands.h"

namespace varnel::cli {

// batch IN OUT BATCHFILE [--layer N]
int RunBatch(const Invocation& call);

}  // namespace varnel::cli

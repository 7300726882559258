#pragma once
// "フィルタバッチ処理": the filter manager Sievehost.so run over the active document as a canvas
// operation.

#include "shell/command_table.h"

namespace varnel {

void RunFilterBatch(CommandContext& context, int id);

}  // namespace varnel

#pragma once
// The commands that drive extension libraries over the active document as canvas operations:
// "フィルタバッチ処理" through the filter manager Sievehost.so, and "画像情報(&I)" through
// Huebox's picture-information window.

#include "shell/command_table.h"

namespace varnel {

void RunFilterBatch(CommandContext& context, int id);
void ShowPictureInformation(CommandContext& context, int id);

}  // namespace varnel

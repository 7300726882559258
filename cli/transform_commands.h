#pragma once
// The geometric transforms of varnel-cli: resize, rotate and turn, each the menu command's
// work on the active layer (or every layer) with the dialogs answered from the arguments. OUT
// is the new document the command would open.

#include "cli/commands.h"

namespace varnel::cli {

int RunResize(const Invocation& call);  // resize IN OUT WIDTH HEIGHT [--method M] [--all-layers] [--layer N]
int RunRotate(const Invocation& call);  // rotate IN OUT DEGREES [--layer N]
int RunTurn(const Invocation& call);    // turn IN OUT right|left|flip-vertical|flip-horizontal [--layer N]

}  // namespace varnel::cli

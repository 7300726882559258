#pragma once
// The patterns of the program's res/grad.gpi as the library hands them out: read on first use
// and again whenever the file is replaced or changes, or the program folder moves. Qt-free.

#include <string>
#include <vector>

#include "huebox/gradient_file.h"

namespace varnel::huebox {

// The program's gradient file: res/grad.gpi in the program folder.
std::string ProgramGradientPath();

// The patterns as the file holds them now; empty when it is missing or cannot be read.
const std::vector<Gradient>& ProgramGradients();

}  // namespace varnel::huebox

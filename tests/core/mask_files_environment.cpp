// Suites whose layers carry masks keep them in files, as the program does.

#include "document/layer_mask_file.h"

namespace {

[[maybe_unused]] const bool g_maskFiles = (varnel::InstallMaskFileStore(), true);

}  // namespace

// varnel-cli: Varnel's image work without a window.

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/progress_host.h"
#include "core/blend.h"
#include "core/undo.h"
#include "document/layer_mask_file.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "platform/host.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  varnel::cli::ProgressHost host(varnel::cli::WantsProgressLine(args, isatty(STDERR_FILENO) == 1), STDERR_FILENO);
  varnel::SetHost(&host);
  // The same process set-up as the desktop program: the allocator's tuning, the pool of tile
  // blocks and the background writer of undo steps.
  varnel::TuneAllocatorForPainting();
  FXCreateMemBlock(1032);
  varnel::InstallMaskFileStore();
  varnel::InitBlendTables();
  varnel::StartSpillWriter();
  int status;
  try {
    status = varnel::cli::Run(args, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "varnel-cli: " << e.what() << '\n';
    status = varnel::cli::kFailed;
  }
  std::cout.flush();
  varnel::StopSpillWriter();
  varnel::ReleaseBlendTables();
  varnel::SetHost(nullptr);
  return status;
}

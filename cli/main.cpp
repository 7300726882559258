// varnel-cli: Varnel's image work without a window.

#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/commands.h"
#include "cli/progress_host.h"
#include "core/blend.h"
#include "core/undo.h"
#include "document/file_io.h"
#include "document/layer_mask_file.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "platform/host.h"

namespace {

// Ctrl+C, or a kill, in the middle of writing an output: the temporary file the output was
// being written to goes as well, so an interrupted command leaves nothing behind. The signals
// wait for a thread of their own (no signal handler could search a folder safely), which
// removes this process's temporary files from the folders of the arguments, then lets the
// signal end the process as it would have.
void CleanUpWhenInterrupted(const std::vector<std::string>& args) {
  // serve stops on these signals by itself.
  for (const std::string& arg : args) {
    if (arg.starts_with("--")) continue;
    if (arg == "serve") return;
    break;
  }
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
  std::set<std::string> folders{"."};
  for (const std::string& arg : args) {
    const size_t slash = arg.rfind('/');
    if (slash != std::string::npos) folders.insert(slash == 0 ? "/" : arg.substr(0, slash));
  }
  std::thread([signals, folders = std::move(folders)] {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) return;
    const std::string prefix = varnel::TemporaryNamePrefix(getpid());
    for (const std::string& folder : folders) {
      DIR* dir = opendir(folder.c_str());
      if (dir == nullptr) continue;
      while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(prefix) && name.ends_with(".tmp")) unlinkat(dirfd(dir), entry->d_name, 0);
      }
      closedir(dir);
    }
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Before any other thread starts, so that all of them leave the signals to the one waiting.
  CleanUpWhenInterrupted(args);
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

#include "huebox/program_gradients.h"

#include <sys/stat.h>

#include "platform/program_folder.h"

namespace varnel::huebox {
namespace {

// What identifies one version of the file: a save renames a new file into place, so the inode
// changes even when the size and the time stamp's resolution do not tell.
struct FileVersion {
  std::string path;
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};

  bool operator==(const FileVersion& other) const {
    return path == other.path && exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
  }
};

FileVersion VersionOf(const std::string& path) {
  FileVersion version;
  version.path = path;
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    version.exists = true;
    version.device = info.st_dev;
    version.inode = info.st_ino;
    version.size = info.st_size;
    version.modified = info.st_mtim;
  }
  return version;
}

}  // namespace

std::string ProgramGradientPath() { return ProgramPath("res/grad.gpi"); }

const std::vector<Gradient>& ProgramGradients() {
  static std::vector<Gradient> gradients;
  static FileVersion loaded;
  static bool everLoaded = false;
  const FileVersion now = VersionOf(ReadablePathFor(ProgramGradientPath()));
  if (!everLoaded || !(now == loaded)) {
    everLoaded = true;
    loaded = now;
    std::vector<Gradient> read;
    if (now.exists && ReadGradientFile(now.path, read).Ok()) {
      gradients = std::move(read);
    } else {
      gradients.clear();
    }
  }
  return gradients;
}

}  // namespace varnel::huebox

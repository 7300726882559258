#include "platform/program_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace varnel {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ExecutablePath() {
  // readlink does not say how long the name is, so grow until it fits. PATH_MAX is a hint,
  // not a limit the kernel keeps for /proc links; the cap keeps a broken system from looping.
  std::vector<char> buffer(256);
  while (buffer.size() <= (size_t{1} << 20)) {
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

// The relative path with '/' separators and without leading ones.
std::string RelativeNative(std::string_view relative) {
  std::string native = ToNativePath(relative);
  size_t start = native.find_first_not_of('/');
  return start == std::string::npos ? std::string() : native.substr(start);
}

std::string Joined(std::string folder, std::string_view relative) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  folder += RelativeNative(relative);
  return folder;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// mkdir -p for every folder above the last '/' of path; failures surface when the file is written.
void CreateFoldersAbove(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (path[slash - 1] == '/') continue;
    ::mkdir(path.substr(0, slash).c_str(), 0777);
  }
}

bool ProbeWritable(const std::string& folder) {
  const std::string probe = folder + "/.varnel-write-probe-" + std::to_string(::getpid());
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST;  // left by a crashed run of ours: the folder took it
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

// The part of path below the program folder, or nullopt for a path elsewhere.
std::optional<std::string> BelowProgramFolder(const std::string& path) {
  std::string folder = ProgramFolder();
  if (folder.empty() || folder.back() != '/') folder += '/';
  if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) return std::nullopt;
  return path.substr(folder.size());
}

}  // namespace

std::string ProgramFolder() {
  const char* home = std::getenv("VARNEL_HOME");
  if (home != nullptr && home[0] != '\0') return WithoutTrailingSlashes(home);

  std::string exe = ExecutablePath();
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";  // no /proc: the working folder is our best guess
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

std::string ToNativePath(std::string_view path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::string ProgramPath(std::string_view relative) { return Joined(ProgramFolder(), relative); }

std::string UserDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  // The XDG base directory rules say to ignore a relative XDG_DATA_HOME.
  if (data != nullptr && data[0] == '/') {
    base = WithoutTrailingSlashes(data);
  } else {
    const char* home = std::getenv("HOME");
    base = WithoutTrailingSlashes(std::string(home != nullptr ? home : "")) + "/.local/share";
  }
  if (base == "/") base.clear();
  return base + "/varnel";
}

bool ProgramFolderWritable() {
  // Tests switch VARNEL_HOME and the user under one process, hence the key.
  static std::mutex mutex;
  static std::map<std::pair<std::string, uid_t>, bool> known;
  const std::string folder = ProgramFolder();
  const std::pair<std::string, uid_t> key(folder, ::geteuid());
  std::lock_guard lock(mutex);
  auto it = known.find(key);
  if (it == known.end()) it = known.emplace(key, ProbeWritable(folder)).first;
  return it->second;
}

std::string WritablePath(std::string_view relative) {
  if (ProgramFolderWritable()) return ProgramPath(relative);
  std::string path = Joined(UserDataFolder(), relative);
  CreateFoldersAbove(path);
  return path;
}

std::string ReadablePath(std::string_view relative) {
  if (!ProgramFolderWritable()) {
    std::string own = Joined(UserDataFolder(), relative);
    if (IsFile(own)) return own;
  }
  return ProgramPath(relative);
}

std::vector<std::string> SearchFolders(std::string_view relative) {
  std::vector<std::string> folders;
  std::string shipped = WithoutTrailingSlashes(ProgramPath(relative));
  if (IsFolder(shipped)) folders.push_back(std::move(shipped));
  if (!ProgramFolderWritable()) {
    std::string own = WithoutTrailingSlashes(Joined(UserDataFolder(), relative));
    if (IsFolder(own)) folders.push_back(std::move(own));
  }
  return folders;
}

std::string WritablePathFor(const std::string& path) {
  const std::optional<std::string> relative = BelowProgramFolder(path);
  return relative ? WritablePath(*relative) : path;
}

std::string ReadablePathFor(const std::string& path) {
  const std::optional<std::string> relative = BelowProgramFolder(path);
  return relative ? ReadablePath(*relative) : path;
}

std::vector<std::string> SearchFoldersFor(const std::string& folder) {
  const std::optional<std::string> relative = BelowProgramFolder(WithoutTrailingSlashes(folder) + "/");
  if (!relative) return {folder};
  return SearchFolders(*relative);
}

}  // namespace varnel

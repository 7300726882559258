#include "platform/program_folder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

std::string ProgramPath(std::string_view relative) {
  std::string native = ToNativePath(relative);
  size_t start = native.find_first_not_of('/');
  if (start == std::string::npos) start = native.size();

  std::string path = ProgramFolder();
  if (path.empty() || path.back() != '/') path += '/';
  path.append(native, start, std::string::npos);
  return path;
}

}  // namespace varnel

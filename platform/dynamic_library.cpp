#include "platform/dynamic_library.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "platform/program_folder.h"

namespace varnel {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text = text.substr(text.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

DynamicLibrary::~DynamicLibrary() { Close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)),
      m_path(std::move(other.m_path)),
      m_error(std::move(other.m_error)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = std::exchange(other.m_handle, nullptr);
    m_path = std::move(other.m_path);
    m_error = std::move(other.m_error);
  }
  return *this;
}

std::string DynamicLibrary::ResolvePath(std::string_view name) {
  std::string path = ToNativePath(name);
  size_t slash = path.rfind('/');
  std::string_view file = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (EndsWithNoCase(file, ".dll") || EndsWithNoCase(file, ".ocx")) {
    path.replace(path.size() - 4, 4, ".so");
  }
  if (!path.empty() && path.front() == '/') return path;
  if (slash == std::string::npos) {
    std::string local = ProgramPath(path);
    return IsFile(local) ? local : path;
  }
  return ProgramPath(path);
}

bool DynamicLibrary::Open(std::string_view name) {
  Close();
  m_error.clear();
  m_path = ResolvePath(name);
  // dlopen(nullptr) would hand out the main program, and a name with a NUL would be cut short.
  if (m_path.empty() || m_path.find('\0') != std::string::npos) {
    m_error = "not a library name: \"" + std::string(name) + "\"";
    return false;
  }
  dlerror();  // forget an error left over from an earlier call
  m_handle = dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) {
    const char* error = dlerror();
    m_error = error != nullptr ? error : "cannot load " + m_path;
    return false;
  }
  return true;
}

void DynamicLibrary::Close() {
  if (m_handle != nullptr) {
    dlclose(m_handle);
    m_handle = nullptr;
  }
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (m_handle == nullptr || name == nullptr) return nullptr;
  return dlsym(m_handle, name);
}

std::vector<std::pair<std::string, std::string>> LibraryFiles(const std::vector<std::string>& folders) {
  constexpr std::string_view kExtension = ".so";
  std::vector<std::pair<std::string, std::string>> found;
  for (const std::string& folder : folders) {
    DIR* directory = opendir(folder.c_str());
    if (!directory) continue;
    while (const dirent* entry = readdir(directory)) {
      const std::string name = entry->d_name;
      if (name.size() <= kExtension.size() || !name.ends_with(kExtension)) continue;
      auto same = std::find_if(found.begin(), found.end(), [&](const auto& f) { return f.first == name; });
      if (same != found.end()) {
        same->second = folder + "/" + name;
      } else {
        found.emplace_back(name, folder + "/" + name);
      }
    }
    closedir(directory);
  }
  return found;
}

}  // namespace varnel

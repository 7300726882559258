#pragma once
// Helpers shared by the platform tests: a private folder per test and environment variables
// that are put back afterwards.

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace varnel::test {

// A fresh folder under /tmp, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/varnel_platform_XXXXXX";
    const char* made = mkdtemp(pattern);
    m_path = made != nullptr ? made : "";
  }
  ~TempFolder() { RemoveTree(m_path); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  // Names of the entries directly inside `sub` (or the folder itself), sorted.
  std::vector<std::string> List(const std::string& sub = "") const {
    std::vector<std::string> names;
    DIR* dir = opendir(sub.empty() ? m_path.c_str() : (m_path + "/" + sub).c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  static void RemoveTree(const std::string& path) {
    if (path.empty()) return;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
      chmod(path.c_str(), 0700);
      if (DIR* dir = opendir(path.c_str())) {
        std::vector<std::string> children;
        while (const dirent* entry = readdir(dir)) {
          std::string name = entry->d_name;
          if (name != "." && name != "..") children.push_back(path + "/" + name);
        }
        closedir(dir);
        for (const std::string& child : children) RemoveTree(child);
      }
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }

  std::string m_path;
};

// Sets (or, with nullopt, unsets) an environment variable for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = getenv(name)) m_old = old;
    Apply(value);
  }
  ~ScopedEnv() { Apply(m_old); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value) {
      setenv(m_name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(m_name.c_str());
    }
  }

  std::string m_name;
  std::optional<std::string> m_old;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

inline bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace varnel::test

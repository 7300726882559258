#pragma once
// A private temporary folder for one test, removed with everything in it afterwards (also
// folders a test made read-only).

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace varnel::test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    m_path = pattern;
  }
  ~TempFolder() {
    MakeRemovable(m_path);
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  std::string operator/(const std::string& name) const { return File(name); }

  // The names of the entries directly inside sub (or the folder itself), sorted.
  std::vector<std::string> List(const std::string& sub = "") const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sub.empty() ? m_path : m_path / sub, ec))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  // Folders a test left without permissions could not be emptied.
  static void MakeRemovable(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      if (!entry.is_symlink(ec) && entry.is_directory(ec)) MakeRemovable(entry.path());
  }

  std::filesystem::path m_path;
};

}  // namespace varnel::test

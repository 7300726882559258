#pragma once
// The recent-file list: four entries, newest first, kept in the profile section
// "Recent File List" as File1 … File4.

#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace varnel {

class RecentFileList {
 public:
  static constexpr size_t kSize = 4;
  static constexpr const char* kSection = "Recent File List";

  void Load(const Profile& profile);
  void Save(Profile& profile) const;

  // Moves the path to the front (once only), dropping the oldest beyond four.
  void Add(std::string_view path);
  void Remove(std::string_view path);
  const std::vector<std::string>& Entries() const { return m_entries; }

 private:
  std::vector<std::string> m_entries;
};

}  // namespace varnel

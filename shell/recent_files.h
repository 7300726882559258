#pragma once
// The recent-file list: four entries, newest first, kept in the profile section
// "Recent File List" as File1 … File4.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace varnel {

// A newest-first list: item goes to the front, an earlier copy of it goes, and the list is cut
// to limit entries.
template <typename T>
void PutFirst(std::vector<T>& list, T item, size_t limit) {
  std::erase(list, item);
  list.insert(list.begin(), std::move(item));
  if (list.size() > limit) list.resize(limit);
}

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

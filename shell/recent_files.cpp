#include "shell/recent_files.h"

#include <algorithm>

namespace varnel {
namespace {
std::string KeyFor(size_t index) { return "File" + std::to_string(index + 1); }
}  // namespace

void RecentFileList::Load(const Profile& profile) {
  m_entries.clear();
  for (size_t i = 0; i < kSize; ++i) {
    std::string path = profile.GetString(kSection, KeyFor(i), "");
    if (!path.empty() && std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
      m_entries.push_back(std::move(path));
  }
}

void RecentFileList::Save(Profile& profile) const {
  for (size_t i = 0; i < kSize; ++i) {
    if (i < m_entries.size())
      profile.WriteString(kSection, KeyFor(i), m_entries[i]);
    else if (profile.Has(kSection, KeyFor(i)))
      profile.DeleteKey(kSection, KeyFor(i));
  }
}

void RecentFileList::Add(std::string_view path) {
  if (!path.empty()) PutFirst(m_entries, std::string(path), kSize);
}

void RecentFileList::Remove(std::string_view path) {
  m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), path), m_entries.end());
}

}  // namespace varnel

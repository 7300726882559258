#include "iogate/folder_history.h"

#include <algorithm>
#include <cstdio>

namespace varnel::iogate {

std::string FolderKey(int index) {
  char key[32];
  std::snprintf(key, sizeof key, "Folder%2d", index);
  return key;
}

std::string GatewayProfilePath() {
  const std::string settings = Profile::DefaultPath();
  const size_t slash = settings.rfind('/');
  return (slash == std::string::npos ? std::string(".") : settings.substr(0, slash)) + "/iogate.ini";
}

void FolderHistory::Load(const Profile& profile) {
  m_folders.clear();
  for (int i = 0; i < static_cast<int>(kMaxFolders); ++i) {
    std::string folder = profile.GetString(kHistorySection, FolderKey(i), "");
    if (!folder.empty()) m_folders.push_back(std::move(folder));
  }
}

bool FolderHistory::Save(Profile& profile) const {
  bool written = true;
  for (size_t i = 0; i < kMaxFolders; ++i) {
    const std::string key = FolderKey(static_cast<int>(i));
    if (i < m_folders.size()) {
      written = profile.WriteString(kHistorySection, key, m_folders[i]) && written;
    } else if (profile.Has(kHistorySection, key)) {
      written = profile.DeleteKey(kHistorySection, key) && written;
    }
  }
  return written;
}

void FolderHistory::Add(const std::string& folder) {
  if (folder.empty()) return;
  if (std::find(m_folders.begin(), m_folders.end(), folder) != m_folders.end()) return;
  if (m_folders.size() >= kMaxFolders) m_folders.erase(m_folders.begin());
  m_folders.push_back(folder);
}

}  // namespace varnel::iogate

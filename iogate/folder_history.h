#pragma once
// The open dialog's favourite folders: up to 10 paths in section "History" of the gateway's
// own profile, under the keys "Folder 0" … "Folder 9" (the index formatted with "%2d").

#include <cstddef>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace varnel::iogate {

inline constexpr size_t kMaxFolders = 10;
inline constexpr const char* kHistorySection = "History";
inline constexpr const char* kRegisterFolder = "フォルダ登録";
inline constexpr const char* kRecallFolder = "フォルダ呼び出し";

// The key of entry index: "Folder%2d".
std::string FolderKey(int index);

// The gateway's profile: "iogate.ini" in the folder of the program's own settings file.
std::string GatewayProfilePath();

class FolderHistory {
 public:
  // Reads keys 0 to 9 in order, skipping empty and missing entries.
  void Load(const Profile& profile);
  // Writes the folders under keys 0, 1, … in order and removes the keys after them, so that a
  // shorter list does not leave old entries behind. False when the file could not be written.
  bool Save(Profile& profile) const;

  // Adds a folder at the end. One already in the list is not added twice; with ten folders the
  // oldest (first) one makes room. An empty path is ignored.
  void Add(const std::string& folder);

  const std::vector<std::string>& Folders() const { return m_folders; }

 private:
  std::vector<std::string> m_folders;
};

}  // namespace varnel::iogate

#include "platform/profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace varnel {
namespace {

// A settings file larger than this is not ours: refuse it rather than read it into memory.
constexpr off_t kMaxProfileBytes = 64 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return false;
  if (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"') return true;
  for (char c : value) {
    if (c == '\\' || IsControl(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

void AppendQuoted(std::string& out, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        unsigned char byte = static_cast<unsigned char>(c);
        if (IsControl(byte)) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
      }
    }
  }
  out += '"';
}

// Reads a quoted value starting after its opening quote. Whatever follows the closing quote
// is ignored; a missing closing quote ends the value at the end of the line.
std::string UnquoteValue(std::string_view text) {
  std::string value;
  value.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') break;
    if (c != '\\' || i + 1 == text.size()) {
      value += c;
      continue;
    }
    char next = text[i + 1];
    switch (next) {
      case '\\': value += '\\'; ++i; break;
      case '"': value += '"'; ++i; break;
      case 'n': value += '\n'; ++i; break;
      case 'r': value += '\r'; ++i; break;
      case 't': value += '\t'; ++i; break;
      case 'x':
        if (i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
          value += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
          i += 3;
          break;
        }
        value += c;  // not an escape after all: keep the backslash as written
        break;
      default:
        value += c;
    }
  }
  return value;
}

// Accepts "  -12 ", "0x1F", "+0XfF"; the value modulo 2^32 as a DWORD would hold it.
bool ParseInt(std::string_view text, int32_t& result) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  unsigned base = 10;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    if (value > (UINT64_MAX - static_cast<unsigned>(digit)) / base) return false;
    value = value * base + static_cast<unsigned>(digit);
  }
  if (negative) value = ~value + 1;
  result = static_cast<int32_t>(static_cast<uint32_t>(value));
  return true;
}

enum class ReadResult { kOk, kMissing, kError };

ReadResult ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kError;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxProfileBytes) {
    close(fd);
    return ReadResult::kError;
  }
  text.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || text.size() + static_cast<size_t>(got) > static_cast<size_t>(kMaxProfileBytes)) {
      close(fd);
      return ReadResult::kError;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return ReadResult::kOk;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t written = write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// mkdir -p. Answers whether the folder exists afterwards.
bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return true;
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string part = folder.substr(0, slash);
    if (!part.empty() && part.back() != '/' && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Writes a temporary file beside the target, makes it durable, then renames it over the
// target, so readers see either the old or the new file and never half of one. A settings file
// that is a link is replaced where it points, the link kept (users keep such files elsewhere
// and link them in); one with no write permission for anybody is left as the user froze it.
bool ReplaceFile(const std::string& given, std::string_view contents) {
  std::string path = given;
  struct stat link {};
  if (lstat(given.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* target = realpath(given.c_str(), nullptr);
    if (target == nullptr) return false;
    path = target;
    std::free(target);
  }
  struct stat frozen {};
  if (stat(path.c_str(), &frozen) == 0 && S_ISREG(frozen.st_mode) && (frozen.st_mode & 0222) == 0) return false;
  std::string folder = FolderOf(path);
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string tempPath = folder + "/." + name + ".XXXXXX";
  int fd = mkostemp(tempPath.data(), O_CLOEXEC);
  if (fd < 0) return false;

  struct stat existing {};
  bool ok = true;
  if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    ok = fchmod(fd, existing.st_mode & 07777) == 0;
  }
  ok = ok && WriteAll(fd, contents) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(tempPath.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(tempPath.c_str());
    return false;
  }
  // The rename itself lives in the folder; without this a crash could bring the old file back.
  int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    fsync(folderFd);
    close(folderFd);
  }
  return true;
}

// Holds an exclusive flock on "<path>.lock" while alive. A separate lock file is needed
// because the settings file itself is replaced by rename on every write.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    m_fd = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) return;
    while (flock(m_fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(m_fd);
        m_fd = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (m_fd >= 0) close(m_fd);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Locked() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

// Applies one change; a null value removes the key. Answers whether anything changed.
bool Apply(IniData& data, std::string_view section, std::string_view key,
           const std::string* value) {
  if (value == nullptr) return data.Remove(section, key);
  const std::string* old = data.Find(section, key);
  if (old != nullptr && *old == *value) return false;
  data.Set(section, key, *value);
  return true;
}

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

// ---- IniData ----

bool IniData::IsValidSection(std::string_view name) {
  if (name.find('\n') != std::string_view::npos) return false;
  return name.empty() || (!IsBlank(name.front()) && !IsBlank(name.back()));
}

bool IniData::IsValidKey(std::string_view key) {
  if (key.empty() || !IsValidSection(key)) return false;
  if (key.front() == ';' || key.front() == '#') return false;
  return key.find('=') == std::string_view::npos;
}

IniData IniData::Parse(std::string_view text) {
  IniData data;
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  bool inSection = false;
  std::string section;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      section = std::string(Trim(line.substr(1, line.size() - 2)));
      inSection = true;
      // An empty section is kept so that Serialize writes back what was read.
      if (data.FindSection(section) == nullptr) {
        data.m_sectionIndex.emplace(Lower(section), data.m_sections.size());
        data.m_sections.push_back(Section{section, {}});
        data.m_keyIndex.emplace_back();
      }
      continue;
    }
    size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    std::string_view key = Trim(line.substr(0, equals));
    std::string_view rawValue = Trim(line.substr(equals + 1));
    if (!rawValue.empty() && rawValue.front() == '"') {
      data.Set(section, key, UnquoteValue(rawValue.substr(1)));
    } else {
      data.Set(section, key, rawValue);
    }
  }
  return data;
}

std::string IniData::Serialize() const {
  std::string out;
  for (size_t s = 0; s < m_sections.size(); ++s) {
    const Section& section = m_sections[s];
    if (s != 0) out += '\n';
    out += '[';
    out += section.name;
    out += "]\n";
    for (const Entry& entry : section.entries) {
      out += entry.key;
      out += '=';
      // A key that starts with '[' followed by a value that ends with ']' would read back as
      // a section line; quoting the value keeps it a key.
      if (NeedsQuotes(entry.value) || (entry.key.front() == '[' && !entry.value.empty())) {
        AppendQuoted(out, entry.value);
      } else {
        out += entry.value;
      }
      out += '\n';
    }
  }
  return out;
}

IniData::Section* IniData::FindSection(std::string_view name) {
  auto found = m_sectionIndex.find(Lower(name));
  return found == m_sectionIndex.end() ? nullptr : &m_sections[found->second];
}

void IniData::RebuildKeyIndex(size_t section) {
  Index& index = m_keyIndex[section];
  index.clear();
  const std::vector<Entry>& entries = m_sections[section].entries;
  for (size_t i = 0; i < entries.size(); ++i) index.emplace(Lower(entries[i].key), i);
}

const std::string* IniData::Find(std::string_view section, std::string_view key) const {
  auto foundSection = m_sectionIndex.find(Lower(section));
  if (foundSection == m_sectionIndex.end()) return nullptr;
  const Index& keys = m_keyIndex[foundSection->second];
  auto foundKey = keys.find(Lower(key));
  if (foundKey == keys.end()) return nullptr;
  return &m_sections[foundSection->second].entries[foundKey->second].value;
}

void IniData::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsValidSection(section) || !IsValidKey(key)) return;
  auto [sectionSlot, newSection] = m_sectionIndex.emplace(Lower(section), m_sections.size());
  if (newSection) {
    m_sections.push_back(Section{std::string(section), {}});
    m_keyIndex.emplace_back();
  }
  size_t s = sectionSlot->second;
  std::vector<Entry>& entries = m_sections[s].entries;
  auto [keySlot, newKey] = m_keyIndex[s].emplace(Lower(key), entries.size());
  if (newKey) {
    entries.push_back(Entry{std::string(key), std::string(value)});
  } else {
    entries[keySlot->second].value.assign(value);
  }
}

bool IniData::Remove(std::string_view section, std::string_view key) {
  auto foundSection = m_sectionIndex.find(Lower(section));
  if (foundSection == m_sectionIndex.end()) return false;
  size_t s = foundSection->second;
  auto foundKey = m_keyIndex[s].find(Lower(key));
  if (foundKey == m_keyIndex[s].end()) return false;
  std::vector<Entry>& entries = m_sections[s].entries;
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(foundKey->second));
  RebuildKeyIndex(s);
  return true;
}

std::vector<std::string> IniData::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  auto found = m_sectionIndex.find(Lower(section));
  if (found == m_sectionIndex.end()) return keys;
  for (const Entry& entry : m_sections[found->second].entries) keys.push_back(entry.key);
  return keys;
}

// ---- Profile ----

Profile::Profile(std::string path) : m_path(std::move(path)) { Reload(); }

std::string Profile::DefaultPath() {
  std::string config = NonEmptyEnv("VARNEL_CONFIG");
  if (!config.empty()) return config;
  // Relative XDG_CONFIG_HOME values are invalid by the XDG rules and are ignored.
  std::string xdg = NonEmptyEnv("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg.front() == '/') return xdg + "/varnel/varnel.ini";
  std::string home = NonEmptyEnv("HOME");
  if (home.empty()) {
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
      home = user->pw_dir;
    }
  }
  if (home.empty()) return ".config/varnel/varnel.ini";
  return home + "/.config/varnel/varnel.ini";
}

int32_t Profile::GetInt(std::string_view section, std::string_view key, int32_t def) const {
  const std::string* value = m_data.Find(section, key);
  int32_t result = 0;
  if (value == nullptr || !ParseInt(*value, result)) return def;
  return result;
}

std::string Profile::GetString(std::string_view section, std::string_view key,
                               std::string_view def) const {
  const std::string* value = m_data.Find(section, key);
  return value != nullptr ? *value : std::string(def);
}

bool Profile::Has(std::string_view section, std::string_view key) const {
  return m_data.Find(section, key) != nullptr;
}

std::vector<std::string> Profile::Keys(std::string_view section) const {
  return m_data.Keys(section);
}

bool Profile::WriteInt(std::string_view section, std::string_view key, int32_t value) {
  std::string text = std::to_string(value);
  return Update(section, key, &text);
}

bool Profile::WriteString(std::string_view section, std::string_view key,
                          std::string_view value) {
  std::string text(value);
  return Update(section, key, &text);
}

bool Profile::DeleteKey(std::string_view section, std::string_view key) {
  return Update(section, key, nullptr);
}

void Profile::Reload() {
  std::string text;
  m_data = ReadWholeFile(m_path, text) == ReadResult::kOk ? IniData::Parse(text) : IniData();
}

bool Profile::Update(std::string_view section, std::string_view key, const std::string* value) {
  if (!IniData::IsValidSection(section) || !IniData::IsValidKey(key)) return false;
  // Memory first: the value stays usable for this run even when the disk refuses it.
  Apply(m_data, section, key, value);
  if (m_path.empty() || !MakeFolders(FolderOf(m_path))) return false;

  FileLock lock(m_path);
  if (!lock.Locked()) return false;
  // Re-read under the lock so that keys other running copies wrote meanwhile survive.
  std::string text;
  ReadResult read = ReadWholeFile(m_path, text);
  if (read == ReadResult::kError) return false;  // never replace a file we could not read
  IniData disk = read == ReadResult::kOk ? IniData::Parse(text) : IniData();
  // Nothing to change (deleting a key that is not there, writing the value the file holds)
  // leaves the file alone.
  if (Apply(disk, section, key, value) && !ReplaceFile(m_path, disk.Serialize())) return false;
  m_data = std::move(disk);
  return true;
}

// ---- The process profile ----

namespace {

std::mutex& AppProfileMutex() {
  static std::mutex mutex;
  return mutex;
}

// Never destroyed, so code running during exit can still use it.
Profile*& AppProfileSlot() {
  static Profile* profile = nullptr;
  return profile;
}

}  // namespace

Profile& AppProfile() {
  std::lock_guard<std::mutex> guard(AppProfileMutex());
  Profile*& profile = AppProfileSlot();
  if (profile == nullptr) profile = new Profile(Profile::DefaultPath());
  return *profile;
}

void ResetAppProfile() {
  std::lock_guard<std::mutex> guard(AppProfileMutex());
  Profile*& profile = AppProfileSlot();
  // Assign in place so references handed out earlier stay valid.
  if (profile == nullptr) {
    profile = new Profile(Profile::DefaultPath());
  } else {
    *profile = Profile(Profile::DefaultPath());
  }
}

}  // namespace varnel

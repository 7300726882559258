#include "document/text_file.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <cmath>
#include <limits>
#include <map>

#include "document/file_io.h"

namespace varnel::text {
namespace {

constexpr size_t kReadPiece = 64 * 1024;

// strtod_l with this locale reads numbers as the C locale does whatever the process uses.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text) {
  FileReader reader;
  if (!reader.Open(path)) return false;
  std::string read;
  for (;;) {
    const size_t old = read.size();
    read.resize(old + kReadPiece);
    const size_t got = reader.Read(read.data() + old, kReadPiece);
    read.resize(old + got);
    if (got < kReadPiece) break;
  }
  // A short read before the size the file had when opened is a read error, not its end.
  if (read.size() < reader.Size()) {
    if (errno == 0) errno = EIO;
    return false;
  }
  text = std::move(read);
  return true;
}

bool WriteTextFile(const std::string& path, std::string_view text) {
  FileWriter writer;
  try {
    writer.Create(path);
    writer.Write(text.data(), text.size());
    writer.Commit();
  } catch (const FileError& error) {
    errno = error.Error();
    return false;
  }
  return true;
}

bool LineSplitter::Next(std::string_view& line) {
  if (m_rest.empty()) return false;
  const size_t end = m_rest.find('\n');
  if (end == std::string_view::npos) {
    line = CleanLine(m_rest);
    m_rest = {};
  } else {
    line = CleanLine(m_rest.substr(0, end));
    m_rest.remove_prefix(end + 1);
  }
  return true;
}

std::string_view CleanLine(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  const size_t nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  return line;
}

void SkipSpace(std::string_view& in) {
  size_t i = 0;
  while (i < in.size() && IsSpace(in[i])) ++i;
  in.remove_prefix(i);
}

bool ScanLiteral(std::string_view& in, char c) {
  if (in.empty() || in.front() != c) return false;
  in.remove_prefix(1);
  return true;
}

bool ScanInt(std::string_view& in, int64_t& value) {
  std::string_view s = in;
  SkipSpace(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.front() < '0' || s.front() > '9') return false;
  // Accumulated as a negative number so that the most negative value fits.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t v = 0;
  bool saturated = false;
  while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
    const int digit = s.front() - '0';
    if (!saturated) {
      if (v < (kMin + digit) / 10) {
        saturated = true;
      } else {
        v = v * 10 - digit;
      }
    }
    s.remove_prefix(1);
  }
  if (saturated) {
    value = negative ? kMin : std::numeric_limits<int64_t>::max();
  } else if (negative) {
    value = v;
  } else {
    value = v == kMin ? std::numeric_limits<int64_t>::max() : -v;
  }
  in = s;
  return true;
}

bool ScanHex(std::string_view& in, uint32_t& value) {
  std::string_view s = in;
  SkipSpace(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // "0x" belongs to the number only when a hexadecimal digit follows; "0xg" is the number 0.
  if (s.size() >= 3 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && HexDigit(s[2]) >= 0) s.remove_prefix(2);
  if (s.empty() || HexDigit(s.front()) < 0) return false;
  uint64_t v = 0;
  bool saturated = false;
  while (!s.empty() && HexDigit(s.front()) >= 0) {
    if (v > (std::numeric_limits<uint32_t>::max() >> 4)) saturated = true;
    if (!saturated) v = v << 4 | static_cast<uint64_t>(HexDigit(s.front()));
    s.remove_prefix(1);
  }
  if (saturated) {
    value = std::numeric_limits<uint32_t>::max();
  } else {
    value = static_cast<uint32_t>(v);
    if (negative) value = 0u - value;
  }
  in = s;
  return true;
}

bool ScanDouble(std::string_view& in, double& value) {
  std::string_view s = in;
  SkipSpace(s);
  // strtod needs a terminator; the copy ends where the cursor does.
  const std::string copy(s);
  char* end = nullptr;
  const double v = strtod_l(copy.c_str(), &end, CLocale());
  if (end == copy.c_str()) return false;
  value = v;
  s.remove_prefix(static_cast<size_t>(end - copy.c_str()));
  in = s;
  return true;
}

int32_t SaturateInt32(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

std::string FormatFixed(double value) {
  // The longest double in fixed notation has 309 integer digits.
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && IsSpace(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace varnel::text

namespace varnel {
namespace {

bool EndsWithIgnoreCase(std::string_view name, std::string_view extension) {
  return name.size() >= extension.size() &&
         text::EqualsIgnoreCase(name.substr(name.size() - extension.size()), extension);
}

}  // namespace

std::vector<std::string> ListFilesWithExtension(const std::string& folder, std::string_view extension) {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::string, std::string>> found;  // file name, path
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return {};
  for (const fs::directory_iterator end; it != end; it.increment(error)) {
    if (error) break;
    const std::string name = it->path().filename().string();
    // ".cd" alone is a hidden file's name, not a palette.
    if (name.size() <= extension.size() || !EndsWithIgnoreCase(name, extension)) continue;
    std::error_code statError;
    if (!it->is_regular_file(statError)) continue;
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    found.emplace_back(name, path + name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  paths.reserve(found.size());
  for (auto& entry : found) paths.push_back(std::move(entry.second));
  return paths;
}

std::vector<std::string> ListFilesWithExtension(const std::vector<std::string>& folders, std::string_view extension) {
  std::map<std::string, std::string> byName;  // sorted by file name, as the single folder's list
  for (const std::string& folder : folders)
    for (std::string& path : ListFilesWithExtension(folder, extension))
      byName[path.substr(path.rfind('/') + 1)] = std::move(path);
  std::vector<std::string> paths;
  paths.reserve(byName.size());
  for (auto& entry : byName) paths.push_back(std::move(entry.second));
  return paths;
}

}  // namespace varnel

#pragma once
// The per-user settings store that stands in for the registry profile: an INI file with
// sections and keys spelled exactly as the program stores them.
//
// File: $VARNEL_CONFIG, else $XDG_CONFIG_HOME/varnel/varnel.ini, else ~/.config/varnel/varnel.ini.
// Text is UTF-8. Integers are written in decimal; hexadecimal "0x..." is accepted on reading.
// Writes go straight to disk, like the registry: the file is re-read under an advisory lock,
// the one key changed, and the whole file replaced atomically, so two running copies that
// change different keys do not undo each other's changes.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varnel {

// One parsed INI file. Section and key names compare case-insensitively (as the registry does)
// but keep the spelling they were first written with.
class IniData {
 public:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  // Never fails: lines that are neither "[section]", "key=value", blank nor a ';' or '#'
  // comment are skipped, and so are the lines before the first section. A UTF-8 byte order
  // mark and CRLF line ends are accepted; of a key given twice the last value wins.
  // Values may be written in double quotes to keep outer spaces; inside quotes \\, \" , \n,
  // \r, \t and \xHH are escapes.
  static IniData Parse(std::string_view text);
  // Quotes exactly the values that need it (outer spaces, a leading quote, a backslash or a
  // control character), so Parse(Serialize()) gives back every value byte for byte.
  std::string Serialize() const;

  // A name must fit on its line of the file: not empty (a section name may be), no line break,
  // no outer spaces or tabs; a key also has no '=' and does not start with ';' or '#'.
  static bool IsValidSection(std::string_view name);
  static bool IsValidKey(std::string_view key);

  const std::string* Find(std::string_view section, std::string_view key) const;
  // Ignores names that are not valid (see above): the file could not hold them.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  bool Remove(std::string_view section, std::string_view key);
  std::vector<std::string> Keys(std::string_view section) const;
  const std::vector<Section>& Sections() const { return m_sections; }

 private:
  using Index = std::unordered_map<std::string, size_t>;  // lower-cased name -> position

  Section* FindSection(std::string_view name);
  void RebuildKeyIndex(size_t section);

  std::vector<Section> m_sections;
  // Hashed lookups keep parsing and updating linear on large files; the vectors keep the
  // file order for Serialize.
  Index m_sectionIndex;
  std::vector<Index> m_keyIndex;  // parallel to m_sections
};

class Profile {
 public:
  // Loads the file if it exists; a missing or unreadable file is an empty profile.
  explicit Profile(std::string path);

  // $VARNEL_CONFIG, else the XDG location above.
  static std::string DefaultPath();

  const std::string& Path() const { return m_path; }

  // Registry-style reads: a missing key, or a value that is not a number, gives def.
  // Numbers outside 32 bits keep their low 32 bits, as a DWORD would.
  int32_t GetInt(std::string_view section, std::string_view key, int32_t def) const;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view def) const;
  bool Has(std::string_view section, std::string_view key) const;
  std::vector<std::string> Keys(std::string_view section) const;

  // Write-through. Answers false when the file cannot be written (or the name is not valid
  // for IniData); a value that could not be written is still kept in memory for this run.
  // After a successful write the profile holds the file as written, including the keys other
  // running copies changed.
  bool WriteInt(std::string_view section, std::string_view key, int32_t value);
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool DeleteKey(std::string_view section, std::string_view key);

  // Re-reads the file, dropping what is only in memory.
  void Reload();

 private:
  bool Update(std::string_view section, std::string_view key, const std::string* value);

  std::string m_path;
  IniData m_data;
};

// The profile of this process, opened on first use at Profile::DefaultPath(). A Profile
// itself is not synchronized: use it from one thread at a time.
Profile& AppProfile();
// Re-opens the process profile at the default path (after VARNEL_CONFIG changed, in tests).
void ResetAppProfile();

}  // namespace varnel

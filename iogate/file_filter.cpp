#include "iogate/file_filter.h"

#include <cstring>

#include "platform/code_page.h"

namespace varnel::iogate {
namespace {

// A plug-in that answers every number would keep the loops below going for ever.
constexpr int kMaxInfoPairs = 64;

// What Qt's file dialog accepts between the parentheses of a name filter.
bool IsQtPatternCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::strchr("_.,*?+#-[]@{}/!<>$%&=^~:|", c) != nullptr && c != '\0';
}

// Joins pattern lists with the ';' a list needs between its parts.
void AppendPatterns(std::string& list, std::string_view more) {
  if (more.empty()) return;
  if (!list.empty() && list.back() != ';') list += ';';
  list += more;
}

// One save query: a 512-byte buffer, read to its 511th character at most.
std::string SaveText(int (*query)(char*, int)) {
  char buffer[kSaveTextBuffer] = {};
  query(buffer, kSaveTextBuffer);
  buffer[kSaveTextBuffer - 1] = '\0';
  return FromCodePage932(std::string_view(buffer, std::strlen(buffer)));
}

}  // namespace

std::vector<FilterEntry> ParseWindowsFilter(std::string_view filter) {
  std::vector<FilterEntry> entries;
  size_t at = 0;
  while (at < filter.size()) {
    const size_t bar = filter.find('|', at);
    if (bar == std::string_view::npos) break;
    const std::string_view description = filter.substr(at, bar - at);
    if (description.empty()) break;
    const size_t end = filter.find('|', bar + 1);
    if (end == std::string_view::npos) break;
    entries.push_back({std::string(description), std::string(filter.substr(bar + 1, end - bar - 1))});
    at = end + 1;
  }
  return entries;
}

std::string WindowsFilterText(const std::vector<FilterEntry>& entries) {
  std::string text;
  for (const FilterEntry& entry : entries) text += entry.description + "|" + entry.patterns + "|";
  return text + "|";
}

std::vector<FilterEntry> OpenFilter(const PluginList& plugins, std::string_view extraPatterns) {
  std::string all(extraPatterns);
  std::vector<FilterEntry> formats;
  for (const auto& plugin : plugins.Plugins()) {
    FilterEntry entry;
    for (int pair = 0; pair < kMaxInfoPairs; ++pair) {
      int answer = 0;
      const std::string text = PluginInfoText(*plugin, 2 + 2 * pair, &answer);
      if (answer <= 0) break;
      AppendPatterns(entry.patterns, text);
    }
    for (int pair = 0; pair < kMaxInfoPairs; ++pair) {
      int answer = 0;
      const std::string text = PluginInfoText(*plugin, 3 + 2 * pair, &answer);
      if (answer <= 0) break;
      if (!entry.description.empty() && !text.empty()) entry.description += ", ";
      entry.description += text;
    }
    // A list without a name, or a name without a list, could not be chosen sensibly.
    if (entry.patterns.empty() || entry.description.empty()) continue;
    AppendPatterns(all, entry.patterns);
    if (all.back() != ';') all += ';';
    formats.push_back(std::move(entry));
  }
  AppendPatterns(all, kBitmapPatterns);

  std::vector<FilterEntry> entries;
  entries.push_back({kAllImage, all});
  entries.insert(entries.end(), formats.begin(), formats.end());
  entries.push_back({kWindowsBitmap, kBitmapPatterns});
  entries.push_back({kAllFiles, kAllFilesPatterns});
  return entries;
}

std::vector<FilterEntry> SaveFilter(const PluginList& plugins, std::string_view callerFilter) {
  std::vector<FilterEntry> entries = ParseWindowsFilter(FromCodePage932(callerFilter));
  for (const auto& plugin : plugins.Plugins()) {
    if (plugin->getSupportFormatFilter == nullptr || plugin->getSupportFormatDescriptor == nullptr) continue;
    const std::string patterns = SaveText(plugin->getSupportFormatFilter);
    const std::string description = SaveText(plugin->getSupportFormatDescriptor);
    if (patterns.empty() || description.empty()) continue;
    entries.push_back({description, patterns});
  }
  return entries;
}

std::vector<std::string> SplitPatterns(std::string_view patterns) {
  std::vector<std::string> list;
  size_t at = 0;
  while (at < patterns.size()) {
    const size_t end = patterns.find_first_of("; \t", at);
    const std::string_view one = patterns.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (!one.empty()) list.push_back(one == "*.*" ? "*" : std::string(one));
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return list;
}

std::string QtNameFilter(const FilterEntry& entry) {
  std::string list;
  for (const std::string& pattern : SplitPatterns(entry.patterns)) {
    bool usable = true;
    for (char c : pattern) usable = usable && IsQtPatternCharacter(c);
    if (!usable) continue;
    if (!list.empty()) list += ' ';
    list += pattern;
  }
  // Line breaks would end the entry in the type list.
  std::string description = entry.description;
  for (char& c : description) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return description + " (" + list + ")";
}

std::string PatternExtension(std::string_view patterns) {
  const std::vector<std::string> list = SplitPatterns(patterns);
  if (list.empty()) return "";
  const std::string& first = list.front();
  const size_t dot = first.rfind('.');
  if (dot == std::string::npos) return "";
  const std::string extension = first.substr(dot + 1);
  if (extension.empty() || extension.find_first_of("*?[]") != std::string::npos) return "";
  return extension;
}

std::string BareExtension(std::string_view defaultExtension) {
  const size_t dot = defaultExtension.rfind('.');
  std::string_view bare = dot == std::string_view::npos ? defaultExtension : defaultExtension.substr(dot + 1);
  if (bare.find_first_of("*?") != std::string_view::npos) return "";
  return std::string(bare);
}

}  // namespace varnel::iogate

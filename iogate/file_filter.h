#pragma once
// File type lists of the gateway's dialogs. They are built in the Windows spelling
// ("description|patterns|...||") that callers and plug-ins use, and turned into Qt name
// filters ("description (p1 p2)") only for display.

#include <string>
#include <string_view>
#include <vector>

#include "iogate/plugin_list.h"

namespace varnel::iogate {

inline constexpr const char* kOpenTitle = "open image";
inline constexpr const char* kAllImage = "all image";
inline constexpr const char* kWindowsBitmap = "Windows Bitmap";
inline constexpr const char* kBitmapPatterns = "*.bmp;";
// The framework's text for the all-files entry.
inline constexpr const char* kAllFiles = "すべてのファイル (*.*)";
inline constexpr const char* kAllFilesPatterns = "*.*";

// Plug-in texts are read up to this many characters (the 512-byte buffers of the save queries).
inline constexpr int kSaveTextBuffer = 512;

struct FilterEntry {
  std::string description;
  std::string patterns;  // as written: "*.jpg;*.jpeg;" or " *.vlb;"
  bool operator==(const FilterEntry&) const = default;
};

// Reads "description|patterns|" pairs up to the empty description that ends the list (or the
// end of the text); a description without its patterns is dropped.
std::vector<FilterEntry> ParseWindowsFilter(std::string_view filter);

// Each entry as "description|patterns|", then the closing "|".
std::string WindowsFilterText(const std::vector<FilterEntry>& entries);

// The open dialog's types: "all image" (extraPatterns, each plug-in's patterns, "*.bmp;"),
// one entry per plug-in that names both patterns (GetPluginInfo 2, 4, 6, ...) and a
// description (3, 5, 7, ...), "Windows Bitmap" and all files.
std::vector<FilterEntry> OpenFilter(const PluginList& plugins, std::string_view extraPatterns);

// The save dialog's types: the caller's, then one per plug-in whose GetSupportFormatFilter and
// GetSupportFormatDescriptor both give text.
std::vector<FilterEntry> SaveFilter(const PluginList& plugins, std::string_view callerFilter);

// The single patterns of a pattern list, split at ';' and blanks. The Windows "*.*" matches
// every name, with or without a dot, so it becomes "*".
std::vector<std::string> SplitPatterns(std::string_view patterns);

// The Qt name filter of an entry. Patterns Qt could not parse inside the parentheses are
// left out; with none left the entry matches nothing rather than everything.
std::string QtNameFilter(const FilterEntry& entry);

// The extension a type stands for: of its first pattern "*.ext", "ext"; "" when the first
// pattern names no fixed extension ("*", "*.*", "a*.?x").
std::string PatternExtension(std::string_view patterns);

// "*.VLB", ".VLB" or "VLB" → "VLB".
std::string BareExtension(std::string_view defaultExtension);

}  // namespace varnel::iogate

#pragma once
// The colour tools' text files: the colour definition file (".cd", the palette format, also the
// form in which one colour is sent to another copy of the program) and the named colour list
// ("res/html.ncl"), with the palette files the program keeps in its folder. The colour-correction
// curve file is in colour_curve_file.h.
//
// Colours in memory are 0x00BBGGRR (red in the lowest byte). Files are written with line feeds;
// readers also take carriage return + line feed. Names are UTF-8 in memory and code page 932 in
// the files.
//
// Colour definition file: one colour per line, "%d %d %d\n" red, green, blue; no header, no count.
// Named colour list: the line "RGB.HEX", then "%06x , %s\n" per colour, the number in web order
// 0xRRGGBB.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/colour.h"

namespace varnel {

inline constexpr const char* kColourDefinitionFilter = "色定義ファイル(*.cd)|*.cd||";
inline constexpr std::string_view kColourDefinitionExtension = ".cd";
// A palette reader starts with room for this many colours and grows beyond as needed.
inline constexpr size_t kColourDefinitionReserve = 200;

inline constexpr std::string_view kNamedColourListHeader = "RGB.HEX";
inline constexpr std::string_view kNamedColourListExtension = ".ncl";

// The program's messages for these files.
inline constexpr const char* kColourFileCannotOpen = "ファイルを開けません";
inline constexpr const char* kNotANamedColourList = "名前付き色リストの形式が正しくありません";

// The colour from three components as a file states them, each taken modulo 256 (its low byte).
constexpr ColourRef MakeColour(int64_t red, int64_t green, int64_t blue) {
  return MakeColourRef(static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue));
}

// ---- the program's palette files ------------------------------------------------------------

// The paths below name the program folder's files; a read-only program folder's are read and
// written through ReadablePathFor and WritablePathFor (platform/program_folder.h).
// "PAL.CD" in the program folder: the default palette (the setting PALETTEFILE names the one in use).
std::string DefaultPalettePath();
// "res/hist.cd": recently used colours, read when the palette panel opens, written when it closes.
std::string ColourHistoryPath();
// "res/html.ncl": the named colour list.
std::string NamedColourListPath();
// "res/PaletteMenu": every ".cd" file here is an entry of the palette panel's menu.
std::string PaletteMenuFolder();

// The palettes of the palette panel's menu, the user's data folder's beside the program's.
std::vector<std::string> ListPaletteMenuFiles();

// ---- colour definition file -----------------------------------------------------------------

// One colour per line, in file order. A line scans "%d %d %d"; components it does not hold
// are 0, so every line is a colour. An empty text is an empty palette.
std::vector<ColourRef> ParseColourDefinitions(std::string_view text);
// "%d %d %d\n" per colour.
std::string FormatColourDefinitions(std::span<const ColourRef> colours);

// Replaces colours with the file's; false (errno kept, colours unchanged) when it cannot be read.
bool ReadColourDefinitionFile(const std::string& path, std::vector<ColourRef>& colours);
// False (errno kept) when the file could not be written; an existing file then stays as it was.
bool WriteColourDefinitionFile(const std::string& path, std::span<const ColourRef> colours);

// ---- named colour list ----------------------------------------------------------------------

struct NamedColour {
  ColourRef colour{0};
  std::string name;  // UTF-8
  bool operator==(const NamedColour&) const = default;
};

enum class NamedColourListResult {
  kRead,
  kCannotOpen,
  kNotAList,  // the first line is not "RGB.HEX" (in any case): the file is ignored
};

// Appends the list's colours. Each line after the header is split at its first comma (lines
// without one are skipped); the left part scans "%x" (0 when it holds no number), the name is
// the text up to a second comma, trimmed on both sides.
NamedColourListResult ParseNamedColourList(std::string_view text, std::vector<NamedColour>& list);
// The header and every entry in list order.
std::string FormatNamedColourList(std::span<const NamedColour> list);

NamedColourListResult ReadNamedColourList(const std::string& path, std::vector<NamedColour>& list);
// False (errno kept) when the file could not be written; an existing file then stays as it was.
bool WriteNamedColourList(const std::string& path, std::span<const NamedColour> list);

// A name as the list file can carry it and as it reads back: no white space at either end, a
// comma (which would end the name) written as the full-width comma, line breaks and other
// control characters as spaces. The writer stores every name this way; a rename can use it to
// show the name that will be kept.
std::string NameForColourList(std::string_view name);

}  // namespace varnel

#include "colour/colour_file.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "document/text_file.h"
#include "platform/code_page.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

// U+FF0C FULLWIDTH COMMA, which code page 932 holds as 0x81 0x43.
constexpr std::string_view kFullWidthComma = "\xEF\xBC\x8C";

}  // namespace

// ---- the program's palette files ------------------------------------------------------------

std::string DefaultPalettePath() { return ProgramPath("PAL.CD"); }
std::string ColourHistoryPath() { return ProgramPath("res/hist.cd"); }
std::string NamedColourListPath() { return ProgramPath("res/html.ncl"); }
std::string PaletteMenuFolder() { return ProgramPath("res/PaletteMenu"); }

std::vector<std::string> ListPaletteMenuFiles() {
  return ListFilesWithExtension(SearchFoldersFor(PaletteMenuFolder()), kColourDefinitionExtension);
}

// ---- colour definition file -----------------------------------------------------------------

std::vector<ColourRef> ParseColourDefinitions(std::string_view contents) {
  std::vector<ColourRef> colours;
  colours.reserve(kColourDefinitionReserve);
  text::LineSplitter lines(contents);
  std::string_view line;
  while (lines.Next(line)) {
    int64_t component[3] = {0, 0, 0};
    // "%d %d %d": each conversion skips the white space before it; the first that finds no
    // number ends the scan.
    for (int64_t& c : component) {
      if (!text::ScanInt(line, c)) break;
    }
    colours.push_back(MakeColour(component[0], component[1], component[2]));
  }
  return colours;
}

std::string FormatColourDefinitions(std::span<const ColourRef> colours) {
  std::string out;
  out.reserve(colours.size() * 12);
  for (const ColourRef colour : colours) {
    out += std::to_string(RedOf(colour));
    out += ' ';
    out += std::to_string(GreenOf(colour));
    out += ' ';
    out += std::to_string(BlueOf(colour));
    out += '\n';
  }
  return out;
}

bool ReadColourDefinitionFile(const std::string& path, std::vector<ColourRef>& colours) {
  std::string contents;
  if (!text::ReadTextFile(path, contents)) return false;
  colours = ParseColourDefinitions(contents);
  return true;
}

bool WriteColourDefinitionFile(const std::string& path, std::span<const ColourRef> colours) {
  return text::WriteTextFile(path, FormatColourDefinitions(colours));
}

// ---- named colour list ----------------------------------------------------------------------

NamedColourListResult ParseNamedColourList(std::string_view contents, std::vector<NamedColour>& list) {
  text::LineSplitter lines(contents);
  std::string_view line;
  if (!lines.Next(line) || !text::EqualsIgnoreCase(line, kNamedColourListHeader)) {
    return NamedColourListResult::kNotAList;
  }
  while (lines.Next(line)) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) continue;
    std::string_view number = line.substr(0, comma);
    uint32_t web = 0;
    text::ScanHex(number, web);
    std::string_view name = line.substr(comma + 1);
    name = name.substr(0, name.find(','));
    list.push_back({ToColourRef(RgbColour{web}), FromCodePage932(text::Trim(name))});
  }
  return NamedColourListResult::kRead;
}

std::string NameForColourList(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ',') {
      out += kFullWidthComma;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return std::string(text::Trim(out));
}

std::string FormatNamedColourList(std::span<const NamedColour> list) {
  std::string out(kNamedColourListHeader);
  out += '\n';
  for (const NamedColour& entry : list) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const uint32_t web = ValueOf(ToRgb(entry.colour));
    for (int shift = 20; shift >= 0; shift -= 4) out += kDigits[web >> shift & 0xF];
    out += " , ";
    // Code page 932 may turn a character it cannot hold into '?', never into a comma or a
    // line break, so the converted name still reads back whole.
    out += ToCodePage932(NameForColourList(entry.name));
    out += '\n';
  }
  return out;
}

NamedColourListResult ReadNamedColourList(const std::string& path, std::vector<NamedColour>& list) {
  std::string contents;
  if (!text::ReadTextFile(path, contents)) return NamedColourListResult::kCannotOpen;
  return ParseNamedColourList(contents, list);
}

bool WriteNamedColourList(const std::string& path, std::span<const NamedColour> list) {
  return text::WriteTextFile(path, FormatNamedColourList(list));
}

}  // namespace varnel

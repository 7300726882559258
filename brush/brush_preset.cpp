#include "brush/brush_preset.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "document/file_io.h"
#include "document/text_file.h"
#include "platform/code_page.h"
#include "platform/host.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

// A preset is a handful of short lines; longer lines are cut here, so a huge file costs no
// more than this much memory per line.
constexpr size_t kMaxLine = 4096;

using Custom = CustomBrushParams;

// The keywords in the order they are written and tried when reading; the first that begins a
// line wins. The RANGE keywords are read and ignored, and never written.
const PresetKeyword kKeywords[] = {
    {"SHAPE=", &Custom::shapeFile},
    {"TEXTURE=", &Custom::textureFile},
    {"BLENDMODE=", &Custom::blendMode},
    {"COLORMODE=", &Custom::colourMode},
    {"FADEON=", &Custom::fadeOn},
    {"FADEVAL=", &Custom::fadeValue},
    {"DENSITY=", &Custom::density},
    {"GATHER=", &Custom::gather},
    {"GRADATION=", &Custom::gradation},
    {"RANGERED=", {}},
    {"RANGEGREEN=", {}},
    {"RANGEBLUE=", {}},
    {"RANGEHUE=", {}},
    {"RANGESATURATION=", {}},
    {"RANGEVALUE=", {}},
    {"BKCOLOREFFECT=", &Custom::backgroundColourEffect},
    {"INKSOURCE=", &Custom::inkRefill},
    {"BKCOLORSOURCE=", &Custom::backgroundColourAmount},
    {"ROTMODE=", &Custom::rotationMode},
    {"COLORVARIATION=", &Custom::colourVariation},
    {"COLORVARIATION_VALUE1=", {&Custom::colourVariationValue, 0}},
    {"COLORVARIATION_VALUE2=", {&Custom::colourVariationValue, 1}},
    {"COLORVARIATION_VALUE3=", {&Custom::colourVariationValue, 2}},
    {"HOTSPOT=", &Custom::positionVariationOn},
    {"HOTSPOT_VALUE=", &Custom::positionVariation},
    {"BUMP ANGLE=", &Custom::bumpAngle},
    {"STROKE COUNT=", &Custom::strokeCount},
    {"STROKE POS JITTER=", &Custom::strokePositionJitter},
    {"STROKE COLOR JITTER1=", {&Custom::strokeColourJitter, 0}},
    {"STROKE COLOR JITTER2=", {&Custom::strokeColourJitter, 1}},
    {"STROKE COLOR JITTER3=", {&Custom::strokeColourJitter, 2}},
    {"STROKE COLOR JITTER MODE=", &Custom::strokeColourJitterMode},
};
static_assert(std::size(kKeywords) == 32);

// "%d" as the C library reads it: white space, an optional sign, digits; what follows is ignored.
bool ParseDecimal(std::string_view text, int32_t& value) {
  int64_t parsed = 0;
  if (!text::ScanInt(text, parsed)) return false;
  value = text::SaturateInt32(parsed);
  return true;
}

void ReadLine(std::string_view line, CustomBrushParams& p) {
  // Lines end in CR LF; the reader takes either ending.
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  for (const PresetKeyword& k : kKeywords) {
    if (!line.starts_with(k.keyword)) continue;
    std::string_view value = line.substr(k.keyword.size());
    int32_t number = 0;
    std::visit(FieldVisitor{
                   [&](std::string* text) {
                     text::SkipSpace(value);
                     *text = FromCodePage932(value);
                   },
                   [&](uint8_t* flag) {
                     if (ParseDecimal(value, number)) *flag = number != 0 ? 1 : 0;
                   },
                   [&](int32_t* field) {
                     if (ParseDecimal(value, number)) *field = number;
                   },
                   [](auto*) {},
                   [](std::monostate) {},
               },
               k.field.Bind(p));
    return;
  }
}

std::string FileTitle(const std::string& fileName) { return fileName.substr(0, fileName.size() - 4); }

bool IsPresetFile(const std::string& name) {
  if (name.size() < 5) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".bpp";
}

// The entries of a folder: its sub-folders or its preset files, in the file system's order.
std::vector<std::string> Entries(const std::string& folder, bool folders) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::stat((folder + "/" + name).c_str(), &st) != 0) continue;
    if (folders ? S_ISDIR(st.st_mode) : (S_ISREG(st.st_mode) && IsPresetFile(name))) names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

// Entries of sub below every folder the presets folder stands for (a read-only program folder's,
// then the user's data folder's); a name the user's folder repeats is listed once.
std::vector<std::string> MergedEntries(const std::string& presetsFolder, const std::string& sub, bool folders) {
  std::vector<std::string> names;
  for (const std::string& folder : SearchFoldersFor(presetsFolder)) {
    for (std::string& name : Entries(sub.empty() ? folder : folder + "/" + sub, folders))
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

std::span<const PresetKeyword> PresetKeywords() { return kKeywords; }

void WritePresetFile(const std::string& path, const CustomBrushParams& p) {
  std::string text;
  for (const PresetKeyword& k : kKeywords) {
    if (k.field.IsIgnored()) continue;
    text += k.keyword;
    text += ' ';
    std::visit(FieldVisitor{
                   [&](const std::string* value) { text += ToCodePage932(*value); },
                   [&](const uint8_t* flag) { text += *flag != 0 ? '1' : '0'; },
                   [&](const int32_t* value) { text += std::to_string(*value); },
                   [](const auto*) {},
                   [](std::monostate) {},
               },
               k.field.Bind(p));
    text += "\r\n";
  }
  FileWriter out;
  out.Create(path);
  out.Write(text.data(), text.size());
  out.Commit();
}

void ReadPresetText(std::string_view text, CustomBrushParams& params) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    ReadLine(line.substr(0, std::min(line.size(), kMaxLine)), params);
    text.remove_prefix(line.size());
  }
}

bool ReadPresetFile(const std::string& path, CustomBrushParams& params) {
  FileReader in;
  if (!in.Open(path)) return false;
  // Streamed in pieces; a line is kept up to kMaxLine bytes and the rest of it skipped.
  std::string line;
  bool overlong = false;
  char buffer[16384];
  for (;;) {
    const size_t got = in.Read(buffer, sizeof buffer);
    if (got == 0) break;
    for (size_t i = 0; i < got; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        ReadLine(line, params);
        line.clear();
        overlong = false;
      } else if (!overlong) {
        line.push_back(c);
        if (line.size() >= kMaxLine) overlong = true;
      }
    }
  }
  if (!line.empty()) ReadLine(line, params);
  return true;
}

PresetMenu PresetMenu::Build(const std::string& presetsFolder) {
  PresetMenu menu;
  int32_t id = kBrushPresetCommandBase;
  for (const std::string& group : MergedEntries(presetsFolder, "", true)) {
    Group g{group, id, {}, {}};
    for (const std::string& file : MergedEntries(presetsFolder, group, false)) {
      g.titles.push_back(FileTitle(file));
      g.files.push_back(file);
      ++id;
    }
    menu.groups.push_back(std::move(g));
  }
  menu.topFirstId = id;
  for (const std::string& file : MergedEntries(presetsFolder, "", false)) {
    menu.topTitles.push_back(FileTitle(file));
    menu.topFiles.push_back(file);
  }
  return menu;
}

bool PresetMenu::Contains(int32_t id) const { return Title(id).has_value(); }

std::optional<std::string> PresetMenu::Title(int32_t id) const {
  // Each group covers its own commands only; the top-level presets follow the last group.
  for (const Group& g : groups) {
    if (id >= g.firstId && id < g.firstId + static_cast<int32_t>(g.titles.size()))
      return g.titles[static_cast<size_t>(id - g.firstId)];
  }
  if (id >= topFirstId && id < topFirstId + static_cast<int32_t>(topTitles.size()))
    return topTitles[static_cast<size_t>(id - topFirstId)];
  return std::nullopt;
}

std::optional<std::string> PresetMenu::Path(const std::string& presetsFolder, int32_t id) const {
  for (const Group& g : groups) {
    if (id >= g.firstId && id < g.firstId + static_cast<int32_t>(g.titles.size()))
      return ReadablePathFor(presetsFolder + "/" + g.name + "/" + g.files[static_cast<size_t>(id - g.firstId)]);
  }
  if (id >= topFirstId && id < topFirstId + static_cast<int32_t>(topFiles.size()))
    return ReadablePathFor(presetsFolder + "/" + topFiles[static_cast<size_t>(id - topFirstId)]);
  return std::nullopt;
}

std::optional<std::string> SelectPreset(const PresetMenu& menu, int32_t id, BrushToolSettings& settings,
                                        CustomBrushParams& params) {
  const std::optional<std::string> path = menu.Path(settings.presetsFolder, id);
  const std::optional<std::string> title = menu.Title(id);
  if (!path || !title) return std::nullopt;
  ReadPresetFile(*path, params);
  settings.kind = kBrushCustom;
  return title->empty() ? std::string(kCustomBrushName) : *title;
}

std::string PresetNamer::Proposal() const { return kPresetNameStem + std::to_string(m_counter); }

std::optional<std::string> SavePreset(const std::string& presetsFolder, std::string group, const std::string& name,
                                      const CustomBrushParams& params) {
  if (group.empty()) group = kNoNamedGroup;
  // A read-only program folder's presets are saved into the user's data folder.
  std::string folder = WritablePathFor(presetsFolder + "/" + group + "/");
  folder.pop_back();
  ::mkdir(folder.c_str(), 0777);  // an existing folder is fine
  Host& host = GetHost();
  if (name.empty()) {
    host.MessageBox(kEnterPresetName, "", kMbOk);
    return std::nullopt;
  }
  const std::string path = folder + "/" + name + ".bpp";
  try {
    WritePresetFile(path, params);
  } catch (const FileError& e) {
    host.MessageBox(e.what(), "", kMbOk | kMbIconError);
    return std::nullopt;
  }
  host.MessageBox(kPresetSaved, "", kMbOk | kMbIconInformation);
  return path;
}

}  // namespace varnel

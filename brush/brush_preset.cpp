#include "brush/brush_preset.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "document/file_io.h"
#include "document/text_file.h"
#include "platform/code_page.h"
#include "platform/host.h"

namespace varnel {
namespace {

// A preset is a handful of short lines; longer lines are cut here, so a huge file costs no
// more than this much memory per line.
constexpr size_t kMaxLine = 4096;

enum class Field {
  kShape, kTexture, kBlendMode, kColourMode, kFadeOn, kFadeValue, kDensity, kGather, kGradation,
  kRangeIgnored, kBackgroundEffect, kInkRefill, kBackgroundAmount, kRotationMode, kColourVariation,
  kVariation1, kVariation2, kVariation3, kHotSpot, kHotSpotValue, kBumpAngle, kStrokeCount,
  kStrokePositionJitter, kJitter1, kJitter2, kJitter3, kJitterMode,
};

struct Keyword {
  std::string_view text;
  Field field;
};

// The reader's keywords in the order they are tried; the first that begins the line wins.
constexpr Keyword kKeywords[] = {
    {"SHAPE=", Field::kShape},
    {"TEXTURE=", Field::kTexture},
    {"BLENDMODE=", Field::kBlendMode},
    {"COLORMODE=", Field::kColourMode},
    {"FADEON=", Field::kFadeOn},
    {"FADEVAL=", Field::kFadeValue},
    {"DENSITY=", Field::kDensity},
    {"GATHER=", Field::kGather},
    {"GRADATION=", Field::kGradation},
    {"RANGERED=", Field::kRangeIgnored},
    {"RANGEGREEN=", Field::kRangeIgnored},
    {"RANGEBLUE=", Field::kRangeIgnored},
    {"RANGEHUE=", Field::kRangeIgnored},
    {"RANGESATURATION=", Field::kRangeIgnored},
    {"RANGEVALUE=", Field::kRangeIgnored},
    {"BKCOLOREFFECT=", Field::kBackgroundEffect},
    {"INKSOURCE=", Field::kInkRefill},
    {"BKCOLORSOURCE=", Field::kBackgroundAmount},
    {"ROTMODE=", Field::kRotationMode},
    {"COLORVARIATION=", Field::kColourVariation},
    {"COLORVARIATION_VALUE1=", Field::kVariation1},
    {"COLORVARIATION_VALUE2=", Field::kVariation2},
    {"COLORVARIATION_VALUE3=", Field::kVariation3},
    {"HOTSPOT=", Field::kHotSpot},
    {"HOTSPOT_VALUE=", Field::kHotSpotValue},
    {"BUMP ANGLE=", Field::kBumpAngle},
    {"STROKE COUNT=", Field::kStrokeCount},
    {"STROKE POS JITTER=", Field::kStrokePositionJitter},
    {"STROKE COLOR JITTER1=", Field::kJitter1},
    {"STROKE COLOR JITTER2=", Field::kJitter2},
    {"STROKE COLOR JITTER3=", Field::kJitter3},
    {"STROKE COLOR JITTER MODE=", Field::kJitterMode},
};
static_assert(std::size(kKeywords) == 32);

// "%d" as the C library reads it: white space, an optional sign, digits; what follows is ignored.
bool ParseDecimal(std::string_view text, int32_t& value) {
  int64_t parsed = 0;
  if (!text::ScanInt(text, parsed)) return false;
  value = text::SaturateInt32(parsed);
  return true;
}

int32_t* IntegerField(CustomBrushParams& p, Field field) {
  switch (field) {
    case Field::kBlendMode: return &p.blendMode;
    case Field::kColourMode: return &p.colourMode;
    case Field::kFadeValue: return &p.fadeValue;
    case Field::kDensity: return &p.density;
    case Field::kGather: return &p.gather;
    case Field::kGradation: return &p.gradation;
    case Field::kBackgroundEffect: return &p.backgroundColourEffect;
    case Field::kInkRefill: return &p.inkRefill;
    case Field::kBackgroundAmount: return &p.backgroundColourAmount;
    case Field::kRotationMode: return &p.rotationMode;
    case Field::kColourVariation: return &p.colourVariation;
    case Field::kVariation1: return &p.colourVariationValue[0];
    case Field::kVariation2: return &p.colourVariationValue[1];
    case Field::kVariation3: return &p.colourVariationValue[2];
    case Field::kHotSpot: return &p.positionVariationOn;
    case Field::kHotSpotValue: return &p.positionVariation;
    case Field::kBumpAngle: return &p.bumpAngle;
    case Field::kStrokeCount: return &p.strokeCount;
    case Field::kStrokePositionJitter: return &p.strokePositionJitter;
    case Field::kJitter1: return &p.strokeColourJitter[0];
    case Field::kJitter2: return &p.strokeColourJitter[1];
    case Field::kJitter3: return &p.strokeColourJitter[2];
    case Field::kJitterMode: return &p.strokeColourJitterMode;
    default: return nullptr;
  }
}

void ReadLine(std::string_view line, CustomBrushParams& p) {
  // Lines end in CR LF; the reader takes either ending.
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  for (const Keyword& k : kKeywords) {
    if (!line.starts_with(k.text)) continue;
    std::string_view value = line.substr(k.text.size());
    if (k.field == Field::kShape || k.field == Field::kTexture) {
      text::SkipSpace(value);
      (k.field == Field::kShape ? p.shapeFile : p.textureFile) = FromCodePage932(value);
    } else if (k.field == Field::kFadeOn) {
      int32_t number = 0;
      if (ParseDecimal(value, number)) p.fadeOn = number != 0 ? 1 : 0;
    } else if (int32_t* target = IntegerField(p, k.field)) {
      int32_t number = 0;
      if (ParseDecimal(value, number)) *target = number;
    }
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

}  // namespace

void WritePresetFile(const std::string& path, const CustomBrushParams& p) {
  std::string text;
  auto line = [&](const char* keyword, const std::string& value) {
    text += keyword;
    text += ' ';
    text += value;
    text += "\r\n";
  };
  auto number = [&](const char* keyword, int32_t value) { line(keyword, std::to_string(value)); };
  line("SHAPE=", ToCodePage932(p.shapeFile));
  line("TEXTURE=", ToCodePage932(p.textureFile));
  number("BLENDMODE=", p.blendMode);
  number("COLORMODE=", p.colourMode);
  number("FADEON=", p.fadeOn != 0 ? 1 : 0);
  number("FADEVAL=", p.fadeValue);
  number("DENSITY=", p.density);
  number("GATHER=", p.gather);
  number("GRADATION=", p.gradation);
  number("BKCOLOREFFECT=", p.backgroundColourEffect);
  number("INKSOURCE=", p.inkRefill);
  number("BKCOLORSOURCE=", p.backgroundColourAmount);
  number("ROTMODE=", p.rotationMode);
  number("COLORVARIATION=", p.colourVariation);
  number("COLORVARIATION_VALUE1=", p.colourVariationValue[0]);
  number("COLORVARIATION_VALUE2=", p.colourVariationValue[1]);
  number("COLORVARIATION_VALUE3=", p.colourVariationValue[2]);
  number("HOTSPOT=", p.positionVariationOn);
  number("HOTSPOT_VALUE=", p.positionVariation);
  number("BUMP ANGLE=", p.bumpAngle);
  number("STROKE COUNT=", p.strokeCount);
  number("STROKE POS JITTER=", p.strokePositionJitter);
  number("STROKE COLOR JITTER1=", p.strokeColourJitter[0]);
  number("STROKE COLOR JITTER2=", p.strokeColourJitter[1]);
  number("STROKE COLOR JITTER3=", p.strokeColourJitter[2]);
  number("STROKE COLOR JITTER MODE=", p.strokeColourJitterMode);
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
  for (const std::string& group : Entries(presetsFolder, true)) {
    Group g{group, id, {}};
    for (const std::string& file : Entries(presetsFolder + "/" + group, false)) {
      g.titles.push_back(FileTitle(file));
      ++id;
    }
    menu.groups.push_back(std::move(g));
  }
  menu.topFirstId = id;
  for (const std::string& file : Entries(presetsFolder, false)) menu.topTitles.push_back(FileTitle(file));
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
      return presetsFolder + "/" + g.name + "/" + g.titles[static_cast<size_t>(id - g.firstId)] + ".bpp";
  }
  if (id >= topFirstId && id < topFirstId + static_cast<int32_t>(topTitles.size()))
    return presetsFolder + "/" + topTitles[static_cast<size_t>(id - topFirstId)] + ".bpp";
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
  const std::string folder = presetsFolder + "/" + group;
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

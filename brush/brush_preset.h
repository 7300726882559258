#pragma once
// Brush preset files (".bpp"): the custom brush parameters as "KEYWORD= value" lines, the
// preset menu built from the presets folder and its group folders, and saving a preset.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "brush/brush_settings.h"
#include "platform/record_field.h"

namespace varnel {

inline constexpr const char* kNoNamedGroup = "NoNamedGroup";
inline constexpr const char* kPresetNameStem = "標準ブラシ";
inline constexpr const char* kEnterPresetName = "名前を入力してください";
inline constexpr const char* kPresetSaved = "保存完了";
inline constexpr const char* kCustomBrushName = "カスタムブラシ";

// One keyword of the preset file ("BLENDMODE=") with the parameter it holds; the RANGE
// keywords hold none (they are read and ignored, never written).
struct PresetKeyword {
  std::string_view keyword;
  RecordField<CustomBrushParams> field;
};
std::span<const PresetKeyword> PresetKeywords();

// The 26 lines, CR LF ended, in their fixed order. Throws FileError when the file cannot be
// written (an existing preset is then left as it was).
void WritePresetFile(const std::string& path, const CustomBrushParams& params);
// Reads the keywords it finds over params (fields whose keyword is missing, or whose number
// does not parse, keep their value). False when the file cannot be opened.
bool ReadPresetFile(const std::string& path, CustomBrushParams& params);
// The same for the text of a file.
void ReadPresetText(std::string_view text, CustomBrushParams& params);

// The "プリセット" submenu: one popup per group folder (its "*.bpp" files as commands), then the
// presets lying directly in the presets folder. Command ids count from 35000.
struct PresetMenu {
  struct Group {
    std::string name;
    int32_t firstId = 0;
    std::vector<std::string> titles;  // file names without ".bpp"
    std::vector<std::string> files;   // the names as found: the extension may be in any case
  };
  std::vector<Group> groups;
  int32_t topFirstId = kBrushPresetCommandBase;
  std::vector<std::string> topTitles;
  std::vector<std::string> topFiles;

  static PresetMenu Build(const std::string& presetsFolder);
  bool Contains(int32_t id) const;
  // The preset's title and its file, or nothing for an id that is not a preset.
  std::optional<std::string> Title(int32_t id) const;
  std::optional<std::string> Path(const std::string& presetsFolder, int32_t id) const;
};

// Selecting a preset: params (holding the panel's values) receive the file's values, Style
// becomes 0 and the answer is the brush name for the tool panel. Nothing for an unknown id.
std::optional<std::string> SelectPreset(const PresetMenu& menu, int32_t id, BrushToolSettings& settings,
                                        CustomBrushParams& params);

// The proposed names of the save dialog: "標準ブラシ1", "標準ブラシ2", … one more per save.
class PresetNamer {
 public:
  std::string Proposal() const;
  void Confirmed() { ++m_counter; }

 private:
  int32_t m_counter = 1;
};

// Saving from the dialog: an empty group becomes "NoNamedGroup" and its folder is made; an
// empty name shows "名前を入力してください" and writes nothing; else the file is written and
// "保存完了" shown. Answers the path written, or nothing.
std::optional<std::string> SavePreset(const std::string& presetsFolder, std::string group, const std::string& name,
                                      const CustomBrushParams& params);

}  // namespace varnel

#include "cli/brush_preset_dump.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "brush/brush_preset.h"
#include "cli/cli_support.h"

namespace varnel::cli {

bool LooksLikeBrushPreset(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".bpp";
}

int DumpBrushPreset(const Invocation& call, const std::string& path) {
  CustomBrushParams p;
  if (!ReadPresetFile(path, p)) return Fail(call, "ファイルを開けません");
  nlohmann::ordered_json json = {
      {"SHAPE", p.shapeFile},
      {"TEXTURE", p.textureFile},
      {"BLENDMODE", p.blendMode},
      {"COLORMODE", p.colourMode},
      {"FADEON", p.fadeOn},
      {"FADEVAL", p.fadeValue},
      {"DENSITY", p.density},
      {"GATHER", p.gather},
      {"GRADATION", p.gradation},
      {"BKCOLOREFFECT", p.backgroundColourEffect},
      {"INKSOURCE", p.inkRefill},
      {"BKCOLORSOURCE", p.backgroundColourAmount},
      {"ROTMODE", p.rotationMode},
      {"COLORVARIATION", p.colourVariation},
      {"COLORVARIATION_VALUE1", p.colourVariationValue[0]},
      {"COLORVARIATION_VALUE2", p.colourVariationValue[1]},
      {"COLORVARIATION_VALUE3", p.colourVariationValue[2]},
      {"HOTSPOT", p.positionVariationOn},
      {"HOTSPOT_VALUE", p.positionVariation},
      {"BUMP ANGLE", p.bumpAngle},
      {"STROKE COUNT", p.strokeCount},
      {"STROKE POS JITTER", p.strokePositionJitter},
      {"STROKE COLOR JITTER1", p.strokeColourJitter[0]},
      {"STROKE COLOR JITTER2", p.strokeColourJitter[1]},
      {"STROKE COLOR JITTER3", p.strokeColourJitter[2]},
      {"STROKE COLOR JITTER MODE", p.strokeColourJitterMode},
  };
  call.out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  return kSuccess;
}

}  // namespace varnel::cli

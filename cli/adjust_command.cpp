#include "cli/adjust_command.h"

#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "colour/colour_curve_file.h"
#include "document/document_file.h"

namespace varnel::cli {
namespace {

// Splits text at every separator; false when a part is empty or there are not exactly count.
bool SplitInto(std::string_view text, char separator, size_t count, std::vector<std::string_view>& parts) {
  parts.clear();
  while (true) {
    const size_t end = text.find(separator);
    parts.push_back(text.substr(0, end));
    if (parts.back().empty()) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return parts.size() == count;
}

}  // namespace

int RunAdjust(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--curve", "--brightness", "--contrast", "--rgba", "--tone", "--layer"}, args, status))
    return status;
  if (args.positional.size() != 2) return Usage(call, "expects IN OUT");
  const bool curves = args.Value("--curve") != nullptr;
  const bool brightnessContrast = args.Value("--brightness") != nullptr || args.Value("--contrast") != nullptr;
  const bool rgba = args.Value("--rgba") != nullptr;
  const bool tone = args.Value("--tone") != nullptr;
  if (int(curves) + int(brightnessContrast) + int(rgba) + int(tone) != 1)
    return Usage(call, "needs one of --curve FILE.cc, --brightness B --contrast C, --rgba R,G,B,A or --tone S;M;H");
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");

  Adjustment adjustment;
  if (brightnessContrast) {
    BrightnessContrast values;
    if (const std::string* b = args.Value("--brightness"); b && !ParseInt(*b, -255, 255, values.brightness))
      return Usage(call, "--brightness must be a whole number from -255 to 255");
    if (const std::string* c = args.Value("--contrast"); c && !ParseInt(*c, -100, 100, values.contrast))
      return Usage(call, "--contrast must be a whole number from -100 to 100");
    adjustment = values;
  } else if (rgba) {
    RgbaValues values;
    if (!ParseRgbaValues(*args.Value("--rgba"), values))
      return Usage(call, "--rgba must be four changes R,G,B,A from -255 to 255 (0 leaves a channel)");
    adjustment = values;
  } else if (tone) {
    ToneBalance values;
    if (!ParseToneBalance(*args.Value("--tone"), values))
      return Usage(call, "--tone must be SHADOWS;MIDTONES;HIGHLIGHTS, each c,m,y from -100 to 100");
    adjustment = values;
  } else {
    // Each file holds the curve of one channel; a later file for the same channel replaces it.
    CurveSet set;
    for (const auto& [option, path] : args.values) {
      if (option != "--curve") continue;
      ColourCurve curve;
      const CurveFileResult result = ReadColourCurveFile(path, curve);
      if (result != CurveFileResult::kRead) return Fail(call, path + ": " + CurveFileMessage(result));
      set.curves[static_cast<size_t>(curve.channel)] = curve;
    }
    adjustment = set;
  }

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  ApplyAdjustment(canvas, adjustment);
  return SaveCanvas(call, args.positional[1], canvas, picture.grid.value_or(GridSettings{}));
}

bool ParseRgbaValues(std::string_view text, RgbaValues& values) {
  std::vector<std::string_view> parts;
  if (!SplitInto(text, ',', 4, parts)) return false;
  RgbaValues read;
  for (size_t i = 0; i < 4; ++i) {
    if (!ParseInt(parts[i], -255, 255, read.values[i])) return false;
    read.values[i] += RgbaValues::kUnchanged;  // the slider's position
  }
  values = read;
  return true;
}

bool ParseToneBalance(std::string_view text, ToneBalance& tone) {
  std::vector<std::string_view> zones, sliders;
  if (!SplitInto(text, ';', 3, zones)) return false;
  ToneBalance read;
  for (size_t zone = 0; zone < 3; ++zone) {
    if (!SplitInto(zones[zone], ',', 3, sliders)) return false;
    for (size_t axis = 0; axis < 3; ++axis)
      if (!ParseInt(sliders[axis], -100, 100, read.shifts[zone][axis])) return false;
  }
  tone = read;
  return true;
}

}  // namespace varnel::cli

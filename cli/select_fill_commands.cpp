#include "cli/select_fill_commands.h"

#include <memory>
#include <new>
#include <ostream>
#include <string>

#include "brush/brush_settings.h"
#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "cli/stroke_command.h"
#include "document/document_file.h"
#include "document/file_io.h"
#include "document/region_file.h"
#include "tools/area_fill_tool.h"
#include "tools/colour_select.h"

namespace varnel::cli {
namespace {

constexpr int32_t kCoordinateLimit = 1000000;
constexpr const char* kCannotWriteRegion = "領域ファイルを保存できません";

struct ComponentName {
  std::string_view name;
  ColourComponent component;
};

constexpr ComponentName kComponents[] = {
    {"rgb", ColourComponent::kRgb},
    {"hue", ColourComponent::kHue},
    {"saturation", ColourComponent::kSaturation},
    {"lightness", ColourComponent::kLightness},
};

struct ModeName {
  std::string_view name;
  int32_t mode;
};

constexpr ModeName kModes[] = {
    {"foreground", kFillModeForeground},
    {"brush", kFillModeBrush},
    {"clear", kFillModeClear},
};

enum class Shape { kFill, kFuzzy, kRange };

struct ShapeOption {
  std::string_view option;
  Shape shape;
};

constexpr ShapeOption kShapes[] = {
    {"--fill", Shape::kFill},
    {"--fuzzy", Shape::kFuzzy},
    {"--range", Shape::kRange},
};

int Select(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {"--surface"}, {"--fill", "--fuzzy", "--range", "--tolerance", "--component", "--layer"},
                      args, status))
    return status;
  if (args.positional.size() != 2) return Usage(call, "expects IN OUT.vrd");
  const ShapeOption* shape = nullptr;
  int32_t shapes = 0;
  for (const ShapeOption& s : kShapes) {
    if (args.Value(s.option) == nullptr) continue;
    shape = &s;
    ++shapes;
  }
  if (shapes != 1) return Usage(call, "needs exactly one of --fill X,Y, --fuzzy X,Y and --range X,Y");
  int32_t x = 0, y = 0;
  if (!ParsePoint(*args.Value(shape->option), x, y))
    return Usage(call, std::string(shape->option) + " must be X,Y in canvas pixels");
  ColourMatch match;
  if (const std::string* tolerance = args.Value("--tolerance");
      tolerance && !ParseInt(*tolerance, 0, 255, match.tolerance))
    return Usage(call, "--tolerance must be 0 to 255");
  if (const std::string* component = args.Value("--component")) {
    const ComponentName* found = nullptr;
    for (const ComponentName& c : kComponents) {
      if (c.name == *component) found = &c;
    }
    if (found == nullptr) return Usage(call, "--component must be rgb, hue, saturation or lightness");
    match.component = found->component;
  }
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  // "サーフェイスを使う": the display composite, which lies on the canvas; else the active layer
  // at its offset.
  const bool surface = args.Has("--surface");
  const ImageSurface& source = surface ? static_cast<const ImageSurface&>(canvas.Composite()) : *canvas.ActiveLayer();
  const int32_t offsetX = surface ? 0 : canvas.ActiveLayer()->OffsetX();
  const int32_t offsetY = surface ? 0 : canvas.ActiveLayer()->OffsetY();
  const int32_t sx = x - offsetX, sy = y - offsetY;
  const Size size = source.GetSize();

  std::vector<uint8_t> mask;
  switch (shape->shape) {
    case Shape::kFill:
      mask = FillSelectMask(source, sx, sy, match);
      break;
    case Shape::kFuzzy:
      mask = FuzzySelectMask(source, sx, sy, match);
      break;
    case Shape::kRange: {
      uint32_t clicked = 0;
      // A click beside the source has no colour to look for.
      if (source.GetPixel(sx, sy, &clicked) != 0) mask = ColourRangeMask(source, ColourMatcher(match, clicked));
      break;
    }
  }
  Region region;
  MaskToRegion(mask, size.width, size.height, offsetX, offsetY, region);
  if (region.IsEmpty()) {
    call.out << "empty region\n";
    return kSuccess;
  }
  if (SaveRegionFile(args.positional[1], region) != 0) return Fail(call, kCannotWriteRegion);
  return kSuccess;
}

int Fill(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {"--whole", "--feather"}, {"--tolerance", "--mode", "--fg", "--tool-state", "--layer"},
                      args, status))
    return status;
  if (args.positional.size() != 3) return Usage(call, "expects IN OUT X,Y");
  int32_t x = 0, y = 0;
  if (!ParsePoint(args.positional[2], x, y)) return Usage(call, "X,Y must be canvas pixels");
  AreaFillSettings settings;
  settings.range = args.Has("--whole") ? kFillRangeWhole : kFillRangeRgb;
  settings.feather = args.Has("--feather");
  if (const std::string* tolerance = args.Value("--tolerance");
      tolerance && !ParseInt(*tolerance, kFillToleranceMinimum, kFillToleranceMaximum, settings.tolerance))
    return Usage(call, "--tolerance must be 1 to 255");
  if (const std::string* mode = args.Value("--mode")) {
    const ModeName* found = nullptr;
    for (const ModeName& m : kModes) {
      if (m.name == *mode) found = &m;
    }
    if (found == nullptr) return Usage(call, "--mode must be foreground, brush or clear");
    settings.mode = found->mode;
  }
  ColourRef foreground = MakeColourRef(0, 0, 0);
  const ColourRef background = MakeColourRef(255, 255, 255);
  if (const std::string* fg = args.Value("--fg"); fg && !ParseWebColour(*fg, foreground))
    return Usage(call, "--fg must be six hexadecimal digits RRGGBB");
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");

  BrushToolSettings brushSettings;
  if (!ReadBrushOption(call, args, brushSettings, status)) return status;
  std::unique_ptr<BrushEngine> brush;
  if (settings.mode == kFillModeBrush) {
    brush = BuildCliBrush(call, brushSettings, status);
    if (!brush) return status;
    brush->SetColours(foreground, background);
  }

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  // One click, so the click filter's clock does not matter.
  canvas.SetTool(kAreaFillToolSlot, std::make_unique<AreaFillTool>(
                                        canvas, settings, [&brush] { return brush.get(); }, [] { return int64_t{0}; }));
  canvas.SelectTool(kAreaFillToolSlot);
  canvas.ActiveTool()->SetColours(foreground, background);
  canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, x, y, 0);
  canvas.DeliverEvent(kToolButtonUp, 0, x, y, 0);

  return SaveCanvas(call, args.positional[1], canvas, picture.grid.value_or(GridSettings{}));
}

}  // namespace

bool ParsePoint(std::string_view text, int32_t& x, int32_t& y) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  return ParseInt(text.substr(0, comma), -kCoordinateLimit, kCoordinateLimit, x) &&
         ParseInt(text.substr(comma + 1), -kCoordinateLimit, kCoordinateLimit, y);
}

int RunSelect(const Invocation& call) {
  try {
    return Select(call);
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
}

int RunFill(const Invocation& call) {
  try {
    return Fill(call);
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
}

}  // namespace varnel::cli

#include "cli/stroke_command.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>

#include "brush/brush_factory.h"
#include "brush/brush_preset.h"
#include "brush/brush_settings.h"
#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "document/document_file.h"
#include "document/file_io.h"
#include "document/tool_state.h"
#include "platform/host.h"

namespace varnel::cli {
namespace {

constexpr int32_t kCoordinateLimit = 1000000;

// The brush settings from a tool state record, or from a tool state file whose first line
// names the tool (whichever tool it names: only the brush paints). False with message set when
// the file cannot be used.
bool LoadBrushSettings(const std::string& path, BrushToolSettings& settings, std::string& message) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    message = kToolStateCannotOpen;
    return false;
  }
  FileToolStateStream stream(file.get());
  char magic[6] = {};
  const bool bare = stream.Read(magic, sizeof magic) == sizeof magic && std::memcmp(magic, "VNCO\r\n", 6) == 0;
  if (!stream.Seek(0)) {
    message = kUnsupportedObjectFormat;
    return false;
  }
  BrushToolState brush(settings);
  if (!bare) {
    // Only the brush tool paints strokes, so whichever tool the line names, the brush reads.
    std::string toolName;
    return LoadToolStateFile(stream, [&brush](const std::string&) { return &brush; }, toolName, message) == 0;
  }
  try {
    if (ReadToolState(stream, brush, false) != 0) {
      message = kUnsupportedObjectFormat;
      return false;
    }
  } catch (const ToolStateFormatError& error) {
    message = error.what();
    return false;
  }
  return true;
}

int Stroke(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--points", "--tool-state", "--preset", "--fg", "--bg", "--layer"}, args, status))
    return status;
  if (args.positional.size() != 2) return Usage(call, "expects IN OUT");
  const std::string* pointsText = args.Value("--points");
  if (pointsText == nullptr) return Usage(call, "needs --points \"x,y,p;...\"");
  std::vector<StrokePoint> points;
  if (!ParseStrokePoints(*pointsText, points))
    return Usage(call, "--points must be x,y,p triples separated by ';', pressures 0 to 256");
  ColourRef foreground = MakeColourRef(0, 0, 0), background = MakeColourRef(255, 255, 255);
  if (const std::string* fg = args.Value("--fg"); fg && !ParseWebColour(*fg, foreground))
    return Usage(call, "--fg must be six hexadecimal digits RRGGBB");
  if (const std::string* bg = args.Value("--bg"); bg && !ParseWebColour(*bg, background))
    return Usage(call, "--bg must be six hexadecimal digits RRGGBB");
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");

  BrushToolSettings settings;
  if (!ReadBrushOption(call, args, settings, status)) return status;
  if (const std::string* preset = args.Value("--preset")) {
    // As choosing the preset in the brush menu: the custom brush with the preset's parameters
    // over the custom defaults, every other setting as it stands.
    CustomBrushParams params = settings.customPanel.value_or(CustomBrushParams{});
    if (!ReadPresetFile(*preset, params)) return Fail(call, "cannot read the brush preset " + *preset);
    settings.customPanel = params;
    settings.kind = kBrushCustom;
  }

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  std::unique_ptr<BrushEngine> brush = BuildCliBrush(call, settings, status);
  if (!brush) return status;
  brush->SetColours(foreground, background);
  PaintStroke(canvas, *brush, points);

  return SaveCanvas(call, args.positional[1], canvas, picture.grid.value_or(GridSettings{}));
}

}  // namespace

bool ReadBrushOption(const Invocation& call, const ParsedArguments& args, BrushToolSettings& settings, int& status) {
  // The program always has its custom brush panel, so the custom kind can be built.
  settings = BrushToolSettings{};
  settings.customPanel = CustomBrushParams{};
  const std::string* toolState = args.Value("--tool-state");
  std::string message;
  if (toolState != nullptr && !LoadBrushSettings(*toolState, settings, message)) {
    status = Fail(call, message);
    return false;
  }
  // Clone colour paints from the clone source, which is loaded as turning it on in the program
  // does; without one the stroke would come out in the plain foreground colour.
  if (settings.cloneColour) {
    RecordingHost host;
    bool loaded = false;
    {
      ScopedHost scoped(host);
      loaded = settings.SetCloneColour(true);
    }
    if (!loaded) {
      status = Fail(call, !host.boxes.empty() ? host.boxes.front().text : std::string(kCloneSourceMissing));
      return false;
    }
  }
  return true;
}

std::unique_ptr<BrushEngine> BuildCliBrush(const Invocation& call, const BrushToolSettings& settings, int& status) {
  // What the program would show in a message box becomes the failure line.
  RecordingHost host;
  std::unique_ptr<BrushEngine> brush;
  {
    ScopedHost scoped(host);
    brush = BuildBrush(settings, kDryAtStrokeEnd);
  }
  if (!brush) {
    status = Fail(call, !host.boxes.empty() ? host.boxes.front().text
                                            : "no brush can be built for Style " + std::to_string(settings.kind));
    return nullptr;
  }
  // A shape or texture that cannot be read does not stop the brush; it is told on stderr.
  for (const RecordingHost::Box& box : host.boxes) call.err << "varnel-cli: " << box.text << '\n';
  return brush;
}

bool ParseStrokePoints(std::string_view text, std::vector<StrokePoint>& points) {
  points.clear();
  if (!text.empty() && text.back() == ';') text.remove_suffix(1);
  if (text.empty()) return false;
  while (true) {
    const size_t end = text.find(';');
    const std::string_view item = text.substr(0, end);
    const size_t first = item.find(',');
    const size_t second = first == std::string_view::npos ? first : item.find(',', first + 1);
    if (second == std::string_view::npos) return false;
    StrokePoint point;
    if (!ParseInt(item.substr(0, first), -kCoordinateLimit, kCoordinateLimit, point.x) ||
        !ParseInt(item.substr(first + 1, second - first - 1), -kCoordinateLimit, kCoordinateLimit, point.y) ||
        !ParseInt(item.substr(second + 1), 0, 256, point.pressure))
      return false;
    points.push_back(point);
    if (end == std::string_view::npos) return true;
    text.remove_prefix(end + 1);
  }
}

bool ParseWebColour(std::string_view text, ColourRef& colourRef) {
  if (text.size() != 6) return false;
  uint32_t rgb = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    rgb = rgb << 4 | static_cast<uint32_t>(digit);
  }
  colourRef = ToColourRef(RgbColour{rgb});
  return true;
}

int RunStroke(const Invocation& call) {
  try {
    return Stroke(call);
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
}

}  // namespace varnel::cli

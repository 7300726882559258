#include "cli/document_commands.h"

#include <cstring>
#include <memory>
#include <new>
#include <ostream>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "core/canvas.h"
#include "document/document_file.h"
#include "document/file_io.h"
#include "document/layer_commands.h"
#include "settings/app_settings.h"

namespace varnel::cli {
namespace {

using Json = nlohmann::ordered_json;

// An input picture opened as the desktop program opens a document.
struct Document {
  Canvas canvas;
  OpenedPicture::Kind kind = OpenedPicture::Kind::kLayerFile;
  std::optional<GridSettings> grid;
};

// False with message set to what to tell the user. Without compose, the composite is left to
// the caller (a command that never reads it, or composes only what it writes).
bool Open(const std::string& path, Document& document, std::string& message, bool compose = true) {
  OpenedPicture picture;
  if (ReadPicture(path, picture, &message) != 0) {
    if (message.empty()) message = kCannotReadPicture;
    return false;
  }
  document.kind = picture.kind;
  document.grid = picture.grid;
  if (!PlacePicture(document.canvas, picture, compose)) {
    message = kDocumentFailed;
    return false;
  }
  return true;
}

// A one-layer document of layer, the canvas its size.
int SaveLayer(const Invocation& call, const std::string& path, std::unique_ptr<Layer> layer, const GridSettings& grid) {
  Canvas result;
  result.InitWithLayer(std::move(layer));
  ComposeForWriting(result, path);
  return SaveCanvas(call, path, result, grid);
}

void EnableAllMasks(Canvas& canvas) {
  for (int32_t i = 0; i < canvas.LayerCount(); ++i) {
    LayerMaskList& masks = canvas.GetLayer(i)->Masks();
    for (int32_t m = 0; m < masks.Count(); ++m) masks.SetMaskEnabled(m, true);
  }
}

const char* FormatName(OpenedPicture::Kind kind) {
  switch (kind) {
    case OpenedPicture::Kind::kLayerFile:
      return "vlb";
    case OpenedPicture::Kind::kLayerList:
      return "vlb-list";
    case OpenedPicture::Kind::kBitmap:
      return "bitmap";
    case OpenedPicture::Kind::kPlugin:
      return "plugin";
  }
  return "";
}

Json GridJson(const GridSettings& grid) {
  Json axes = Json::array();
  for (const GridAxis& axis : grid.axes)
    axes.push_back({{"colour", ValueOf(axis.colour)}, {"interval", axis.interval}, {"angle", axis.angle}});
  return {{"shown", grid.shown ? 1 : 0}, {"kind", grid.kind},         {"cell_width", grid.cellWidth},
          {"cell_height", grid.cellHeight}, {"origin_x", grid.originX}, {"origin_y", grid.originY},
          {"zoom_gate", grid.zoomGate},   {"zoom_threshold", grid.zoomThreshold}, {"colour", ValueOf(grid.colour)},
          {"snap", grid.snap},            {"axes", axes}};
}

Json LayerJson(const Layer& layer) {
  Json masks = Json::array();
  const LayerMaskList& list = layer.Masks();
  for (int32_t m = 0; m < list.Count(); ++m) {
    Region region;
    if (list.ReadMask(m, region) != 0 || region.IsEmpty()) continue;
    masks.push_back({{"left", region.Left()}, {"top", region.Top()}, {"right", region.Right()}, {"bottom", region.Bottom()}});
  }
  return {{"name", layer.Name()},          {"width", layer.Width()},   {"height", layer.Height()},
          {"x", layer.OffsetX()},          {"y", layer.OffsetY()},     {"opacity", layer.Opacity()},
          {"blend_mode", ModeNumber(layer.BlendMode())}, {"visible", layer.IsVisible() ? 1 : 0}, {"masks", masks}};
}

// IN OUT plus the given flags; false with the status set on wrong usage.
bool InOut(const Invocation& call, const std::set<std::string, std::less<>>& flags, ParsedArguments& args, int& status) {
  if (!ParseArguments(call, flags, {}, args, status)) return false;
  if (args.positional.size() != 2) {
    status = Usage(call, "expects IN OUT");
    return false;
  }
  return true;
}

int Guarded(const Invocation& call, int (*body)(const Invocation&)) {
  try {
    return body(call);
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
}

int Info(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {}, args, status)) return status;
  if (args.positional.size() != 1) return Usage(call, "expects FILE");
  OpenedPicture picture;
  std::string message;
  if (ReadPicture(args.positional[0], picture, &message) != 0)
    return Fail(call, message.empty() ? kCannotReadPicture : message.c_str());
  Size canvas = picture.layers.front()->GetSize();
  if (picture.canvasSize && picture.canvasSize->width > 0 && picture.canvasSize->height > 0) canvas = *picture.canvasSize;
  Json info = {{"format", FormatName(picture.kind)}, {"canvas", {{"width", canvas.width}, {"height", canvas.height}}}};
  if (picture.grid) info["grid"] = GridJson(*picture.grid);
  Json layers = Json::array();
  for (const auto& layer : picture.layers) layers.push_back(LayerJson(*layer));
  info["layers"] = layers;
  call.out << info.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
  return kSuccess;
}

int New(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {}, args, status)) return status;
  const auto& p = args.positional;
  if (p.size() != 1 && p.size() != 3) return Usage(call, "expects OUT [WIDTH HEIGHT]");
  Size size{};
  if (p.size() == 3) {
    if (!ParseInt(p[1], 1, 0xFFFF, size.width) || !ParseInt(p[2], 1, 0xFFFF, size.height))
      return Usage(call, "WIDTH and HEIGHT must be whole numbers from 1 to 65535");
  } else {
    const Profile profile(Profile::DefaultPath());
    PackedSize packed = AppSettings::Load(profile).NewImageSize();
    if (packed.width < 1 || packed.height < 1) packed = UnpackSize(kDefaultNewImageSize);
    size = {packed.width, packed.height};
  }
  auto layer = std::make_unique<Layer>();
  if (layer->Create(size) != 0) return Fail(call, kDocumentFailed);
  return SaveLayer(call, p[0], std::move(layer), GridSettings{});
}

int Convert(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!InOut(call, {}, args, status)) return status;
  try {
    // A layer file into a layer file: the pixels go from file to file, never held in layers.
    if (CopyLayerFile(args.positional[0], args.positional[1])) return kSuccess;
  } catch (const FileError& e) {
    return Fail(call, e.what());
  }
  Document document;
  std::string message;
  if (!Open(args.positional[0], document, message, false)) return Fail(call, message);
  ComposeForWriting(document.canvas, args.positional[1]);
  return SaveCanvas(call, args.positional[1], document.canvas, document.grid.value_or(GridSettings{}));
}

int Flatten(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!InOut(call, {"--enable-masks"}, args, status)) return status;
  Document document;
  std::string message;
  if (!Open(args.positional[0], document, message)) return Fail(call, message);
  if (args.Has("--enable-masks")) {
    EnableAllMasks(document.canvas);
    document.canvas.ComposeAll();
  }
  const Layer& composite = document.canvas.Composite();
  auto flat = std::make_unique<Layer>();
  if (flat->CreateUnfilled(composite.GetSize()) != 0) return Fail(call, kDocumentFailed);
  std::memcpy(flat->Bits(), composite.Bits(), static_cast<size_t>(composite.Stride()) * static_cast<size_t>(composite.Height()));
  return SaveLayer(call, args.positional[1], std::move(flat), document.grid.value_or(GridSettings{}));
}

int MergeAll(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!InOut(call, {"--enable-masks"}, args, status)) return status;
  Document document;
  std::string message;
  if (!Open(args.positional[0], document, message, false)) return Fail(call, message);
  if (args.Has("--enable-masks")) EnableAllMasks(document.canvas);
  // The command's own path: what the menu command would open as a new document.
  std::unique_ptr<Layer> merged = varnel::MergeAll(document.canvas);
  if (!merged) return Fail(call, kDocumentFailed);
  return SaveLayer(call, args.positional[1], std::move(merged), document.grid.value_or(GridSettings{}));
}

}  // namespace

bool OpenCanvas(const Invocation& call, const std::string& path, int32_t layerIndex, OpenedPicture& picture,
                Canvas& canvas, int& status) {
  std::string message;
  if (ReadPicture(path, picture, &message) != 0) {
    status = Fail(call, message.empty() ? kCannotReadPicture : message.c_str());
    return false;
  }
  if (!PlacePicture(canvas, picture)) {
    status = Fail(call, kDocumentFailed);
    return false;
  }
  if (layerIndex >= canvas.LayerCount()) {
    status = Fail(call, "there is no layer " + std::to_string(layerIndex));
    return false;
  }
  canvas.SetActiveLayer(layerIndex);
  return true;
}

int SaveCanvas(const Invocation& call, const std::string& path, const Canvas& canvas, const GridSettings& grid) {
  try {
    switch (WriteCanvas(path, canvas, grid)) {
      case SaveResult::kWritten:
        return kSuccess;
      case SaveResult::kNoWriter:
        return Fail(call, kNoWriterForFormat);
      default:
        return Fail(call, "cannot write " + path);
    }
  } catch (const FileError& e) {
    return Fail(call, e.what());
  }
}


int RunInfo(const Invocation& call) { return Guarded(call, Info); }
int RunNew(const Invocation& call) { return Guarded(call, New); }
int RunConvert(const Invocation& call) { return Guarded(call, Convert); }
int RunFlatten(const Invocation& call) { return Guarded(call, Flatten); }
int RunMergeAll(const Invocation& call) { return Guarded(call, MergeAll); }

}  // namespace varnel::cli

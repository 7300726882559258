#include "document/document_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "document/bitmap_file.h"
#include "document/picture_loader.h"
#include "platform/host.h"
#include "platform/program_folder.h"

namespace varnel {

int32_t ReadPicture(const std::string& path, OpenedPicture& picture, std::string* message) {
  picture = OpenedPicture{};
  if (message) message->clear();
  if (!IsLayerFilePath(path)) {
    Host& host = GetHost();
    host.SetStatusText(kBuildingCanvas);
    host.SetProgress(0);
    // A plug-in that keeps layers gives all of them; any other gives one picture.
    Size canvas{};
    const LayerRead layered = LoadLayers(path, canvas, picture.layers);
    if (layered != LayerRead::kNotLayered) {
      host.SetStatusText("");
      if (layered != LayerRead::kRead) return -1;
      picture.kind = OpenedPicture::Kind::kPlugin;
      picture.canvasSize = canvas;
      return 0;
    }
    auto layer = std::make_unique<Layer>();
    std::string reason;
    const int32_t result = LoadPicture(path, *layer, reason);
    host.SetStatusText("");
    if (message) *message = reason;
    if (result != 0) return -1;
    picture.kind = IsBuiltInBitmapPath(path) ? OpenedPicture::Kind::kBitmap : OpenedPicture::Kind::kPlugin;
    picture.layers.push_back(std::move(layer));
    return 0;
  }
  int32_t result = -1;
  switch (DetectLayerFileKind(path)) {
    case 1:
      picture.kind = OpenedPicture::Kind::kLayerList;
      result = ReadLayerList(path, picture.layers);
      break;
    case 2: {
      picture.kind = OpenedPicture::Kind::kLayerFile;
      GridSettings grid;
      Size canvas{};
      bool hadCanvas = false;
      result = ReadLayerFile(path, picture.layers, canvas, grid, hadCanvas);
      if (hadCanvas) picture.canvasSize = canvas;
      picture.grid = std::move(grid);
      break;
    }
    default:
      break;
  }
  if (result != 0 || picture.layers.empty()) {
    picture.layers.clear();
    return -1;
  }
  return 0;
}

bool PlacePicture(Canvas& canvas, OpenedPicture& picture, bool compose) {
  Host& host = GetHost();
  host.SetStatusText(kBuildingCanvas);
  host.SetProgress(0);
  const bool fresh = canvas.LayerCount() == 0;
  for (auto& layer : picture.layers) canvas.AppendLayer(std::move(layer), false);
  picture.layers.clear();
  // The saved canvas size holds even when the first layer has another size (margins and
  // offsets make that common); a size no canvas can have is left alone.
  bool sized = true;
  if (fresh && picture.canvasSize && picture.canvasSize->width > 0 && picture.canvasSize->height > 0)
    sized = canvas.ResizeCanvas(picture.canvasSize->width, picture.canvasSize->height);
  if (compose) canvas.ComposeAll();
  host.SetStatusText("");
  return sized;
}

void ComposeForWriting(Canvas& canvas, const std::string& path) {
  if (!IsLayerFilePath(path)) {
    canvas.ComposeAll();
    return;
  }
  const Size size = canvas.GetSize();
  for (int32_t y : FilePreviewRows(size)) canvas.Compose({0, y, size.width - 1, y});
}

bool CopyLayerFile(const std::string& in, const std::string& out) {
  if (!IsLayerFilePath(in) || !IsLayerFilePath(out)) return false;
  OpenedPicture picture;
  LayerFilePixels pixels;
  GridSettings grid;
  Size canvasSize{};
  bool hadCanvas = false;
  if (ReadLayerFileLeavingPixels(in, picture.layers, canvasSize, grid, hadCanvas, pixels) != 0 ||
      picture.layers.empty())
    return false;
  if (hadCanvas) picture.canvasSize = canvasSize;
  Canvas canvas;
  if (!PlacePicture(canvas, picture, false)) return false;
  // The composite reads each layer only on the canvas rows the preview takes.
  const std::vector<int32_t> previewRows = FilePreviewRows(canvas.GetSize());
  std::vector<int32_t> layerRows;
  for (int32_t i = 0; i < canvas.LayerCount(); ++i) {
    Layer& layer = *canvas.GetLayer(i);
    layerRows.clear();
    for (const int32_t y : previewRows) layerRows.push_back(y - layer.OffsetY());
    if (pixels.ReadRows(layer, layerRows) != 0) return false;
  }
  ComposeForWriting(canvas, out);
  const Size size = canvas.GetSize();
  return WriteLayerFile(out, CanvasLayers(canvas), size.width, size.height, canvas.Composite(), grid, &pixels) == 0;
}

int32_t OpenPicture(const std::string& path, Canvas& canvas, std::optional<GridSettings>* grid) {
  WaitCursor wait;
  OpenedPicture picture;
  if (ReadPicture(path, picture) != 0) return -1;
  if (grid) *grid = picture.grid;
  return PlacePicture(canvas, picture) ? 0 : -1;
}

LayerRefs CanvasLayers(const Canvas& canvas) {
  LayerRefs layers;
  for (int32_t i = 0; i < canvas.LayerCount(); ++i) layers.push_back(canvas.GetLayer(i));
  return layers;
}

SaveResult WriteCanvas(const std::string& path, const Canvas& canvas, const GridSettings& grid) {
  const LayerRefs layers = CanvasLayers(canvas);
  if (layers.empty()) return SaveResult::kNothingToWrite;
  WaitCursor wait;
  if (IsLayerFilePath(path)) {
    const Size size = canvas.GetSize();
    return WriteLayerFile(path, layers, size.width, size.height, canvas.Composite(), grid) == 0
               ? SaveResult::kWritten
               : SaveResult::kNothingToWrite;
  }
  if (IsBitmapPath(path))
    return WriteBitmap24(path, canvas.Composite()) == 0 ? SaveResult::kWritten : SaveResult::kFailed;
  PictureWriter writer;
  if (!writer.Open(path)) return SaveResult::kNoWriter;
  if (writer.KeepsLayers())
    return writer.WriteLayers(path, layers, canvas.Composite()) == PictureWrite::kWritten ? SaveResult::kWritten
                                                                                          : SaveResult::kFailed;
  // A format that keeps alpha gets the layers merged onto nothing, not the display picture,
  // which stands on white.
  std::unique_ptr<Layer> merged;
  if (writer.KeepsAlpha() && !(merged = canvas.MergeVisibleOntoTransparent())) return SaveResult::kFailed;
  return writer.Write(path, merged ? *merged : canvas.Composite()) == PictureWrite::kWritten ? SaveResult::kWritten
                                                                                               : SaveResult::kFailed;
}

SaveResult SaveActiveLayer(const std::string& path, const Canvas& canvas, const GridSettings& grid) {
  const Layer* layer = canvas.ActiveLayer();
  if (!layer || layer->Width() < 1) return SaveResult::kNothingToWrite;
  WaitCursor wait;
  if (IsLayerFilePath(path)) {
    const Size size = canvas.GetSize();
    return WriteLayerFile(path, {layer}, size.width, size.height, canvas.Composite(), grid) == 0
               ? SaveResult::kWritten
               : SaveResult::kNothingToWrite;
  }
  // The layer the user asked to save, also as a bitmap: the whole picture would be a surprise.
  if (IsBitmapPath(path)) return WriteBitmap24(path, *layer) == 0 ? SaveResult::kWritten : SaveResult::kFailed;
  switch (WritePicture(path, *layer)) {
    case PictureWrite::kWritten:
      return SaveResult::kWritten;
    case PictureWrite::kNoWriter:
      return SaveResult::kNoWriter;
    default:
      return SaveResult::kFailed;
  }
}

namespace {

// A flat format loses the layers; a layered plug-in keeps them but is never given their masks.
bool LosesLayerInformation(const std::string& path, const Canvas& canvas) {
  if (IsLayerFilePath(path)) return false;
  bool masked = false;
  for (int32_t i = 0; i < canvas.LayerCount() && !masked; ++i) masked = canvas.GetLayer(i)->Masks().Count() > 0;
  if (canvas.LayerCount() < 2 && !masked) return false;
  if (!WriterKeepsLayers(path)) return canvas.LayerCount() > 1;
  return masked;
}

}  // namespace

SaveResult SaveDocument(const std::string& path, const Canvas& canvas, const GridSettings& grid, bool backup) {
  if (canvas.LayerCount() == 0) return SaveResult::kNothingToWrite;
  if (LosesLayerInformation(path, canvas) && GetHost().MessageBox(kLayersWillBeLost, "", kMbYesNo) != kIdYes)
    return SaveResult::kDeclined;
  if (backup) {
    // The old file stays as the backup; an existing backup is not replaced (the new file is
    // renamed over path afterwards, so a hard link keeps the old contents).
    const std::string previous = path + ".bak";
    if (::link(path.c_str(), previous.c_str()) != 0 && errno != EEXIST && errno != ENOENT &&
        ::access(previous.c_str(), F_OK) != 0)
      std::rename(path.c_str(), previous.c_str());  // a file system without hard links
  }
  return WriteCanvas(path, canvas, grid);
}

std::string QuickSaveFileName(const std::tm& local) {
  char name[64];
  std::snprintf(name, sizeof name, "Y%4dM%2dD%2dH%2dM%2dS%2d.VLB", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return name;
}

std::string QuickSavePath(const std::tm& local) {
  // A Save folder someone removed is not made again: the quick save then fails with the file
  // error, which says where it meant to write.
  return WritablePath("Save/") + QuickSaveFileName(local);
}

}  // namespace varnel

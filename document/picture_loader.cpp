#include "document/picture_loader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "document/bitmap_file.h"
#include "document/text_file.h"
#include "platform/dynamic_library.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "sdk/varnel_picture_plugin.h"

namespace varnel {
namespace {

constexpr off_t kRetryOffset = 128;

struct Plugin {
  DynamicLibrary library;
  VarnelIsSupported isSupported = nullptr;
  VarnelGetPicture getPicture = nullptr;
  VarnelGetPictureInfo getPictureInfo = nullptr;
  VarnelGetLayers getLayers = nullptr;
};

// The plug-ins that have accepted a file, in the order they did.
std::vector<std::unique_ptr<Plugin>>& Kept() {
  static std::vector<std::unique_ptr<Plugin>> kept;
  return kept;
}

std::string Extension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::unique_ptr<Plugin> OpenPlugin(const std::string& file) {
  auto plugin = std::make_unique<Plugin>();
  if (!plugin->library.Open(file)) return nullptr;
  plugin->isSupported = plugin->library.Function<VarnelIsSupported>("IsSupported");
  plugin->getPicture = plugin->library.Function<VarnelGetPicture>("GetPicture");
  plugin->getPictureInfo = plugin->library.Function<VarnelGetPictureInfo>("GetPictureInfo");
  plugin->getLayers = plugin->library.Function<VarnelGetLayers>("GetLayers");
  if (plugin->isSupported == nullptr) return nullptr;
  return plugin;
}

// Asks a plug-in about the open file at its start, then once more 128 bytes in (pictures with
// a header of their own ahead of them).
bool Accepts(const Plugin& plugin, const std::string& path, int fd) {
  ::lseek(fd, 0, SEEK_SET);
  if (plugin.isSupported(path.c_str(), static_cast<intptr_t>(fd)) != 0) return true;
  ::lseek(fd, kRetryOffset, SEEK_SET);
  return plugin.isSupported(path.c_str(), static_cast<intptr_t>(fd)) != 0;
}

// The plug-in for the file: kept ones first, then every plug-in file in turn.
Plugin* FindReader(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  Plugin* found = nullptr;
  for (auto& plugin : Kept()) {
    if (Accepts(*plugin, path, fd)) {
      found = plugin.get();
      break;
    }
  }
  if (found == nullptr) {
    for (const std::string& file : PluginFiles()) {
      bool kept = false;
      for (auto& plugin : Kept()) kept = kept || plugin->library.Path() == file;
      if (kept) continue;
      std::unique_ptr<Plugin> plugin = OpenPlugin(file);
      if (plugin && Accepts(*plugin, path, fd)) {
        found = plugin.get();
        Kept().push_back(std::move(plugin));
        break;
      }
    }
  }
  ::close(fd);
  return found;
}

struct FreeBlock {
  void operator()(void* p) const { std::free(p); }
};

// A plug-in says its picture has alpha by a colour depth of 32 in its picture information.
bool DeclaresAlpha(const Plugin& plugin, const std::string& path, intptr_t offset) {
  VarnelPictureInfo info{};
  return plugin.getPictureInfo != nullptr &&
         plugin.getPictureInfo(path.c_str(), offset, kVarnelInputFile, &info) == kVarnelPluginSuccess &&
         info.colourDepth == 32;
}

void ShowWarning(intptr_t, const char* text) {
  if (text != nullptr && *text != 0) GetHost().MessageBox(text, "", kMbOk | kMbIconWarning);
}

// Collects the layers GetLayers delivers. No exception may cross into the plug-in: a failure
// answers non-zero, which stops the reading.
struct LayerCollector {
  Size canvas{};
  std::vector<std::unique_ptr<Layer>>* layers = nullptr;

  static int OnCanvas(intptr_t data, int32_t width, int32_t height) {
    auto* self = reinterpret_cast<LayerCollector*>(data);
    if (width < 1 || height < 1 || !self->layers->empty()) return 1;
    self->canvas = {width, height};
    return 0;
  }

  static int OnLayer(intptr_t data, const VarnelLayer* record) {
    try {
      return reinterpret_cast<LayerCollector*>(data)->Place(*record) ? 0 : 1;
    } catch (...) {
      return 1;
    }
  }

  // The layer's pixels where they meet the canvas, on a transparent canvas-sized layer.
  bool Place(const VarnelLayer& record) {
    if (canvas.width < 1 || record.pixels == nullptr || record.width < 1 || record.height < 1) return false;
    auto layer = std::make_unique<Layer>();
    if (layer->CreateUnfilled(canvas) != 0) return false;
    std::memset(layer->Bits(), 0, static_cast<size_t>(layer->Stride()) * static_cast<size_t>(canvas.height));
    const int64_t left = std::max<int64_t>(0, record.x);
    const int64_t top = std::max<int64_t>(0, record.y);
    const int64_t right = std::min<int64_t>(canvas.width, int64_t{record.x} + record.width);
    const int64_t bottom = std::min<int64_t>(canvas.height, int64_t{record.y} + record.height);
    for (int64_t y = top; y < bottom; ++y) {
      // Both sides keep their rows bottom first; Row counts from the top.
      const int64_t sourceRow = record.height - 1 - (y - record.y);
      const uint8_t* from = record.pixels + (static_cast<size_t>(sourceRow) * static_cast<size_t>(record.width) +
                                            static_cast<size_t>(left - record.x)) * 4;
      std::memcpy(layer->Row(static_cast<int32_t>(y)) + left, from, static_cast<size_t>(right - left) * 4);
    }
    layer->SetName(record.name != nullptr ? record.name : "");
    layer->SetOpacity(OpacityFromByte(record.opacity));
    layer->SetVisible(record.visible != 0);
    layer->SetBlendMode(record.blendMode >= 0 && record.blendMode < kBlendModeCount ? static_cast<BlendMode>(record.blendMode)
                                                                                      : BlendMode::kNormal);
    layers->push_back(std::move(layer));
    return true;
  }
};

}  // namespace

uint8_t OpacityToByte(int32_t percent) {
  const int32_t p = std::clamp(percent, 0, 100);
  return static_cast<uint8_t>((p * 255 + 50) / 100);
}

int32_t OpacityFromByte(uint8_t value) { return (value * 100 + 127) / 255; }

LayerRead LoadLayers(const std::string& path, Size& canvas, std::vector<std::unique_ptr<Layer>>& layers) {
  layers.clear();
  if (IsBuiltInBitmapPath(path)) return LayerRead::kNotLayered;
  Plugin* plugin = FindReader(path);
  if (plugin == nullptr || plugin->getLayers == nullptr) return LayerRead::kNotLayered;
  LayerCollector collector;
  collector.layers = &layers;
  VarnelLayerSink sink{};
  sink.size = sizeof sink;
  sink.data = reinterpret_cast<intptr_t>(&collector);
  sink.Canvas = &LayerCollector::OnCanvas;
  sink.Layer = &LayerCollector::OnLayer;
  sink.Warning = &ShowWarning;
  const int result = plugin->getLayers(path.c_str(), &sink);
  if (result == kVarnelPluginNotImplemented && layers.empty()) return LayerRead::kNotLayered;
  if (result != kVarnelPluginSuccess || layers.empty()) {
    layers.clear();
    return LayerRead::kFailed;
  }
  canvas = collector.canvas;
  return LayerRead::kRead;
}

bool IsBuiltInBitmapPath(const std::string& path) {
  const std::string ext = Extension(path);
  return ext == "bmp" || ext == "dib" || ext == "vrb";
}

std::vector<std::string> SpiFiles(const std::string& folder) { return ListFilesWithExtension(folder, ".spi"); }

std::vector<std::string> PluginFiles() {
  std::vector<std::string> files = SpiFiles(ProgramFolder());
  const std::string susie = AppProfile().GetString("Settings", "SusieFolder", "");
  if (!susie.empty()) {
    std::vector<std::string> more = SpiFiles(ToNativePath(susie));
    files.insert(files.end(), more.begin(), more.end());
  }
  return files;
}

void ReleasePictureLoaders() { Kept().clear(); }

namespace {

// A plug-in tells how far it has read; the gauge shows it. Plug-ins may call it without
// checking for null, so one is always given. 0 lets the plug-in go on.
int ShowReadProgress(int done, int total, intptr_t) {
  if (total > 0) GetHost().SetProgress(static_cast<int>(std::clamp<int64_t>(int64_t{done} * 100 / total, 0, 100)));
  return 0;
}

}  // namespace

int32_t LoadPicture(const std::string& path, ImageSurface& surface, std::string& message) {
  if (IsBuiltInBitmapPath(path)) return ReadBitmapFile(path, surface, message);
  message.clear();
  Plugin* plugin = FindReader(path);
  if (plugin == nullptr || plugin->getPicture == nullptr) return -1;
  void* info = nullptr;
  void* bits = nullptr;
  intptr_t offset = 0;
  struct GaugeReset {
    ~GaugeReset() { GetHost().SetProgress(0); }
  } gaugeReset;
  if (plugin->getPicture(path.c_str(), offset, kVarnelInputFile, &info, &bits, ShowReadProgress, 0) != 0) {
    std::free(info);
    std::free(bits);
    info = bits = nullptr;
    offset = kRetryOffset;
    if (plugin->getPicture(path.c_str(), offset, kVarnelInputFile, &info, &bits, ShowReadProgress, 0) != 0) {
      std::free(info);
      std::free(bits);
      return -1;
    }
  }
  const std::unique_ptr<void, FreeBlock> infoBlock(info);
  const std::unique_ptr<void, FreeBlock> bitsBlock(bits);
  if (info == nullptr || bits == nullptr) return -1;
  VarnelBitmapInfoHeader header;
  std::memcpy(&header, info, sizeof header);
  if (header.biHeight < 0) {
    message = kTopDownBitmap;
    return -1;
  }
  // The palette follows the header; a plug-in states how many entries it filled.
  const size_t entries = header.biBitCount <= 8
                             ? (header.biClrUsed != 0 ? std::min<size_t>(header.biClrUsed, size_t{1} << header.biBitCount)
                                                      : size_t{1} << header.biBitCount)
                             : 0;
  std::vector<uint32_t> palette(entries);
  if (entries > 0) std::memcpy(palette.data(), static_cast<const uint8_t*>(info) + 40, entries * 4);
  if (SurfaceFromDib(header, palette.data(), palette.size(), static_cast<const uint8_t*>(bits), surface) != 0) return -1;
  // A fourth byte that nothing says is alpha is read as a bitmap's would be.
  if (header.biBitCount == 32 && !DeclaresAlpha(*plugin, path, offset)) MakeOpaqueWhenAlphaUnused(surface);
  return 0;
}

bool PictureWriter::Open(const std::string& path) {
  m_extension = Extension(path);
  for (const std::string& file : PluginFiles()) {
    DynamicLibrary library;
    if (!library.Open(file)) continue;
    auto isSaveSupported = library.Function<VarnelIsSaveSupported>("IsSaveSupported");
    auto writeImage = library.Function<VarnelWriteImage>("WriteImage");
    if (isSaveSupported == nullptr || writeImage == nullptr || isSaveSupported(m_extension.c_str()) != 0) continue;
    m_writeImage = writeImage;
    m_savesAlpha = library.Function<VarnelSavesAlpha>("SavesAlpha");
    m_savesLayers = library.Function<VarnelSavesLayers>("SavesLayers");
    m_writeLayers = library.Function<VarnelWriteLayers>("WriteLayers");
    m_library = std::move(library);
    return true;
  }
  return false;
}

bool PictureWriter::KeepsAlpha() const { return m_savesAlpha != nullptr && m_savesAlpha(m_extension.c_str()) != 0; }

bool PictureWriter::KeepsLayers() const {
  return m_savesLayers != nullptr && m_writeLayers != nullptr && m_savesLayers(m_extension.c_str()) != 0;
}

PictureWrite PictureWriter::WriteLayers(const std::string& path, const std::vector<const Layer*>& layers,
                                        const ImageSurface& merged) const {
  if (!KeepsLayers()) return PictureWrite::kNoWriter;
  if (merged.Bits() == nullptr) return PictureWrite::kFailed;
  std::vector<VarnelLayer> records;
  for (const Layer* layer : layers) {
    // A layer without pixels has nothing to keep.
    if (layer == nullptr || layer->Bits() == nullptr) continue;
    VarnelLayer record{};
    record.name = layer->Name().c_str();
    record.pixels = layer->Bits();
    record.x = layer->OffsetX();
    record.y = layer->OffsetY();
    record.width = layer->Width();
    record.height = layer->Height();
    record.blendMode = ModeNumber(layer->BlendMode());
    record.opacity = OpacityToByte(layer->Opacity());
    record.visible = layer->IsVisible() ? 1 : 0;
    records.push_back(record);
  }
  if (records.empty()) return PictureWrite::kFailed;
  VarnelLayerPicture picture{};
  picture.size = sizeof picture;
  picture.width = merged.Width();
  picture.height = merged.Height();
  picture.count = static_cast<int32_t>(records.size());
  picture.layers = records.data();
  picture.merged = merged.Bits();
  picture.Warning = &ShowWarning;
  return m_writeLayers(path.c_str(), &picture) == 0 ? PictureWrite::kWritten : PictureWrite::kFailed;
}

bool WriterKeepsLayers(const std::string& path) {
  PictureWriter writer;
  return writer.Open(path) && writer.KeepsLayers();
}

PictureWrite PictureWriter::Write(const std::string& path, const ImageSurface& picture) const {
  if (m_writeImage == nullptr) return PictureWrite::kNoWriter;
  if (picture.Bits() == nullptr) return PictureWrite::kFailed;
  VarnelWriteInfo info{};
  info.header = picture.Descriptor()->header;
  return m_writeImage(path.c_str(), picture.Bits(), &info) == 0 ? PictureWrite::kWritten : PictureWrite::kFailed;
}

PictureWrite WritePicture(const std::string& path, const ImageSurface& picture) {
  PictureWriter writer;
  if (!writer.Open(path)) return PictureWrite::kNoWriter;
  return writer.Write(path, picture);
}

}  // namespace varnel

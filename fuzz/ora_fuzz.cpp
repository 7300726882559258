// Feeds arbitrary bytes to the OpenRaster plug-in, compiled in, as a file. Whatever GetLayers
// accepts must come as readable layers after a sane canvas, GetPicture and GetPictureInfo must
// not harm, and layers that were read must survive being written and read once more.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_files.h"
#include "sdk/varnel_picture_plugin.h"

extern "C" {
int IsSupported(const char* path, intptr_t handleOrBytes);
int GetPictureInfo(const char* buffer, intptr_t offset, unsigned int flag, VarnelPictureInfo* info);
int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
               VarnelProgressCallback progress, intptr_t data);
int GetPreview(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
               VarnelProgressCallback progress, intptr_t data);
int GetLayers(const char* path, const VarnelLayerSink* sink);
int WriteLayers(const char* path, const VarnelLayerPicture* picture);
}

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("ora_fuzz", what); }

struct Copy {
  std::string name;
  VarnelLayer record{};
  std::vector<uint8_t> pixels;
};

struct Read {
  int32_t width = 0;
  int32_t height = 0;
  int canvasCalls = 0;
  std::vector<Copy> layers;
};

int OnCanvas(intptr_t data, int32_t width, int32_t height) {
  auto* read = reinterpret_cast<Read*>(data);
  if (width < 1 || height < 1 || width > 65535 || height > 65535 || read->canvasCalls++ != 0 || !read->layers.empty())
    Fail("a canvas out of order or out of range");
  read->width = width;
  read->height = height;
  return 0;
}

int OnLayer(intptr_t data, const VarnelLayer* layer) {
  auto* read = reinterpret_cast<Read*>(data);
  if (read->canvasCalls != 1 || layer == nullptr || layer->name == nullptr || layer->pixels == nullptr ||
      layer->width < 1 || layer->height < 1 || layer->visible > 1 || layer->blendMode < 0 ||
      layer->blendMode >= kVarnelBlendModeCount)
    Fail("a layer out of range");
  Copy copy;
  copy.name = layer->name;
  copy.record = *layer;
  const size_t bytes = static_cast<size_t>(layer->width) * static_cast<size_t>(layer->height) * 4;
  copy.pixels.assign(layer->pixels, layer->pixels + bytes);
  read->layers.push_back(std::move(copy));
  return 0;
}

void OnWarning(intptr_t, const char* text) {
  if (text == nullptr || std::strlen(text) == 0) Fail("an empty warning");
}

Read ReadLayers(const std::string& path, int& result) {
  Read read;
  VarnelLayerSink sink{};
  sink.size = sizeof sink;
  sink.data = reinterpret_cast<intptr_t>(&read);
  sink.Canvas = OnCanvas;
  sink.Layer = OnLayer;
  sink.Warning = OnWarning;
  result = GetLayers(path.c_str(), &sink);
  return read;
}

void FreeBoth(void* info, void* bits) {
  std::free(info);
  std::free(bits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("ora_fuzz");
  const fuzz::RemoveAfterInput cleanup{files};
  files.WriteInput(data, size);

  uint8_t head[2048] = {};
  std::memcpy(head, data, size < sizeof head ? size : sizeof head);
  (void)IsSupported("fuzz.ora", reinterpret_cast<intptr_t>(head));

  const char* bytes = reinterpret_cast<const char*>(data);
  void* info = nullptr;
  void* bits = nullptr;
  if (size > 0 && GetPicture(bytes, static_cast<intptr_t>(size), kVarnelInputMemory, &info, &bits, nullptr, 0) == 0) {
    if (info == nullptr || bits == nullptr) Fail("a picture without its blocks");
  }
  FreeBoth(info, bits);
  info = bits = nullptr;
  (void)GetPreview(files.input.c_str(), 0, kVarnelInputFile, &info, &bits, nullptr, 0);
  FreeBoth(info, bits);
  VarnelPictureInfo pictureInfo;
  (void)GetPictureInfo(files.input.c_str(), 0, kVarnelInputFile, &pictureInfo);

  int result = -1;
  const Read read = ReadLayers(files.input, result);
  if (result != 0) return 0;
  if (read.layers.empty()) Fail("success without layers");
  // Canvases too large for a merged picture here are left at reading.
  if (static_cast<int64_t>(read.width) * read.height > (1 << 20)) return 0;

  std::vector<VarnelLayer> records;
  for (const Copy& copy : read.layers) {
    VarnelLayer record = copy.record;
    record.name = copy.name.c_str();
    record.pixels = copy.pixels.data();
    records.push_back(record);
  }
  const std::vector<uint8_t> merged(static_cast<size_t>(read.width) * static_cast<size_t>(read.height) * 4, 0x80);
  VarnelLayerPicture picture{};
  picture.size = sizeof picture;
  picture.width = read.width;
  picture.height = read.height;
  picture.count = static_cast<int32_t>(records.size());
  picture.layers = records.data();
  picture.merged = merged.data();
  if (WriteLayers(files.saved.c_str(), &picture) != 0) Fail("cannot write layers that were read");
  int again = -1;
  const Read back = ReadLayers(files.saved, again);
  if (again != 0 || back.layers.size() != read.layers.size() || back.width != read.width || back.height != read.height)
    Fail("written layers did not read back");
  for (size_t i = 0; i < back.layers.size(); ++i) {
    const VarnelLayer& a = read.layers[i].record;
    const VarnelLayer& b = back.layers[i].record;
    if (a.x != b.x || a.y != b.y || a.width != b.width || a.height != b.height || a.opacity != b.opacity ||
        a.visible != b.visible || a.blendMode != b.blendMode || back.layers[i].pixels != read.layers[i].pixels)
      Fail("a layer came back different");
  }
  return 0;
}

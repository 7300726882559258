#pragma once
// What the OpenRaster tests share: layers with known pixels, archives put together entry by
// entry with libzip (stack.xml as the test spells it), and Oraport's layered exports called as a
// host calls them.

#include <zip.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plugins/ora/ora_png.h"
#include "tests/plugins/libpng_encode.h"
#include "sdk/varnel_picture_plugin.h"
#include "tests/plugins/plugin_loader.h"

namespace varnel::test {

// A layer as the sdk record carries it, owning its name and pixels (bottom row first).
struct OraLayer {
  std::string name;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 1;
  int32_t height = 1;
  int32_t blendMode = kVarnelBlendNormal;
  uint8_t opacity = 255;
  uint8_t visible = 1;
  std::vector<uint8_t> pixels;
};

// Pixels that differ in every byte from layer to layer and place to place, alpha included.
inline std::vector<uint8_t> Pattern(int32_t width, int32_t height, uint32_t seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& byte : pixels) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return pixels;
}

inline OraLayer MakeLayer(std::string name, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t seed) {
  OraLayer layer;
  layer.name = std::move(name);
  layer.x = x;
  layer.y = y;
  layer.width = width;
  layer.height = height;
  layer.pixels = Pattern(width, height, seed);
  return layer;
}

// What GetLayers delivered.
struct OraRead {
  int result = -1;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<OraLayer> layers;
  std::vector<std::string> warnings;
};

class Oraport {
 public:
  Oraport() : plugin("Oraport.spi") {
    getLayers = plugin.Get<VarnelGetLayers>("GetLayers");
    writeLayers = plugin.Get<VarnelWriteLayers>("WriteLayers");
    savesLayers = plugin.Get<VarnelSavesLayers>("SavesLayers");
  }

  OraRead Read(const std::string& path) const {
    OraRead read;
    VarnelLayerSink sink{};
    sink.size = sizeof sink;
    sink.data = reinterpret_cast<intptr_t>(&read);
    sink.Canvas = [](intptr_t data, int32_t width, int32_t height) {
      auto* r = reinterpret_cast<OraRead*>(data);
      r->width = width;
      r->height = height;
      return 0;
    };
    sink.Layer = [](intptr_t data, const VarnelLayer* layer) {
      OraLayer copy;
      copy.name = layer->name;
      copy.x = layer->x;
      copy.y = layer->y;
      copy.width = layer->width;
      copy.height = layer->height;
      copy.blendMode = layer->blendMode;
      copy.opacity = layer->opacity;
      copy.visible = layer->visible;
      copy.pixels.assign(layer->pixels, layer->pixels + static_cast<size_t>(layer->width) * layer->height * 4);
      reinterpret_cast<OraRead*>(data)->layers.push_back(std::move(copy));
      return 0;
    };
    sink.Warning = [](intptr_t data, const char* text) { reinterpret_cast<OraRead*>(data)->warnings.emplace_back(text); };
    read.result = getLayers(path.c_str(), &sink);
    return read;
  }

  // Writes layers on a canvas whose merged picture is merged (width x height); answers the
  // result, warnings into *warnings.
  int Write(const std::string& path, int32_t width, int32_t height, const std::vector<OraLayer>& layers,
            const std::vector<uint8_t>& merged, std::vector<std::string>* warnings = nullptr) const {
    std::vector<VarnelLayer> records;
    for (const OraLayer& layer : layers) {
      VarnelLayer record{};
      record.name = layer.name.c_str();
      record.pixels = layer.pixels.data();
      record.x = layer.x;
      record.y = layer.y;
      record.width = layer.width;
      record.height = layer.height;
      record.blendMode = layer.blendMode;
      record.opacity = layer.opacity;
      record.visible = layer.visible;
      records.push_back(record);
    }
    VarnelLayerPicture picture{};
    picture.size = sizeof picture;
    picture.width = width;
    picture.height = height;
    picture.count = static_cast<int32_t>(records.size());
    picture.layers = records.data();
    picture.merged = merged.data();
    picture.data = reinterpret_cast<intptr_t>(warnings);
    picture.Warning = [](intptr_t data, const char* text) {
      if (data != 0) reinterpret_cast<std::vector<std::string>*>(data)->emplace_back(text);
    };
    return writeLayers(path.c_str(), &picture);
  }

  PicturePlugin plugin;
  VarnelGetLayers getLayers = nullptr;
  VarnelWriteLayers writeLayers = nullptr;
  VarnelSavesLayers savesLayers = nullptr;
};

// One entry of an archive the test puts together.
struct Entry {
  std::string name;
  std::string bytes;
  bool store = false;
};

inline std::string PngBytes(int32_t width, int32_t height, const std::vector<uint8_t>& pixels) {
  OraBuffer png{};
  if (LibpngEncode(pixels.data(), static_cast<uint32_t>(width), static_cast<uint32_t>(height), 6, 0, 0xF8, &png) != 0) return "";
  std::string bytes(reinterpret_cast<const char*>(png.data), png.size);
  OraBufferFree(&png);
  return bytes;
}

// Writes the entries in order into a new archive at path; false when libzip refused.
inline bool WriteArchive(const std::string& path, const std::vector<Entry>& entries) {
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (zip == nullptr) return false;
  for (const Entry& entry : entries) {
    zip_source_t* source = zip_source_buffer(zip, entry.bytes.data(), entry.bytes.size(), 0);
    const zip_int64_t index = source != nullptr ? zip_file_add(zip, entry.name.c_str(), source, 0) : -1;
    if (index < 0) {
      zip_source_free(source);
      zip_discard(zip);
      return false;
    }
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), entry.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
    zip_file_extra_field_delete(zip, static_cast<zip_uint64_t>(index), ZIP_EXTRA_FIELD_ALL, ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
  }
  return zip_close(zip) == 0;
}

// An entry of an archive as bytes; empty when it is not there.
inline std::string ReadEntry(const std::string& path, const std::string& name) {
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (zip == nullptr) return "";
  std::string bytes;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat(zip, name.c_str(), 0, &stat) == 0) {
    bytes.resize(stat.size);
    zip_file_t* file = zip_fopen(zip, name.c_str(), 0);
    if (file == nullptr || zip_fread(file, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) bytes.clear();
    if (file != nullptr) zip_fclose(file);
  }
  zip_discard(zip);
  return bytes;
}

// The names of an archive's entries in directory order.
inline std::vector<std::string> EntryNames(const std::string& path) {
  int error = 0;
  std::vector<std::string> names;
  zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (zip == nullptr) return names;
  for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) names.emplace_back(zip_get_name(zip, static_cast<zip_uint64_t>(i), 0));
  zip_discard(zip);
  return names;
}

}  // namespace varnel::test

// Writes the test picture of the end-to-end benchmark (bench/end_to_end.py): a layer file of
// ten 2048 x 2048 layers (normal, multiply, screen, overlay in turn, opacity 50 to 100), and
// for libvips the same stack as raw RGBA files, a white base first, each layer's opacity taken
// into its alpha (vips composite knows no layer opacity).
//   make_layer_stack OUT.vlb [RAW_FOLDER]

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/layer_file.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"

namespace {

using varnel::BlendMode;
using varnel::Layer;

constexpr int32_t kSide = 2048;
constexpr int32_t kLayers = 10;
constexpr BlendMode kModes[] = {BlendMode::kNormal, BlendMode::kMultiply, BlendMode::kScreen, BlendMode::kOverlay};

// A painting-like layer: soft colour ramps, an opaque blob with a feathered edge and clear
// ground around it; the first layer is opaque all over.
std::unique_ptr<Layer> MakeLayer(int32_t index) {
  auto layer = std::make_unique<Layer>();
  if (layer->CreateWithAlpha({kSide, kSide}, 0) != 0) return nullptr;
  const int32_t cx = 400 + 137 * index, cy = 600 + 91 * index, radius = 500 + 40 * index;
  for (int32_t y = 0; y < kSide; ++y) {
    uint32_t* row = layer->Row(y);
    for (int32_t x = 0; x < kSide; ++x) {
      const uint32_t blue = static_cast<uint32_t>((x * (index + 1) / 8) & 0xFF);
      const uint32_t green = static_cast<uint32_t>((y * (index + 2) / 8) & 0xFF);
      const uint32_t red = static_cast<uint32_t>(((x + y) * (index + 3) / 16) & 0xFF);
      uint32_t alpha = 255;
      if (index > 0) {
        const int64_t dx = x - cx, dy = y - cy;
        const int64_t d2 = dx * dx + dy * dy, r2 = int64_t{radius} * radius, edge = int64_t{radius + 64} * (radius + 64);
        alpha = d2 <= r2 ? 255 : d2 >= edge ? 0 : static_cast<uint32_t>(255 * (edge - d2) / (edge - r2));
      }
      row[x] = alpha << 24 | red << 16 | green << 8 | blue;
    }
  }
  layer->DiscardBackups();
  layer->SetBlendMode(kModes[index % 4]);
  layer->SetOpacity(index == 0 ? 100 : 50 + 50 * index / (kLayers - 1));
  layer->SetName("layer" + std::to_string(index));
  return layer;
}

bool WriteRaw(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// RGBA bytes of a layer, its opacity multiplied into the alpha.
std::vector<uint8_t> RawOf(const Layer& layer) {
  std::vector<uint8_t> bytes(size_t{kSide} * kSide * 4);
  uint8_t* out = bytes.data();
  for (int32_t y = 0; y < kSide; ++y) {
    const uint32_t* row = layer.Row(y);
    for (int32_t x = 0; x < kSide; ++x, out += 4) {
      out[0] = static_cast<uint8_t>(row[x] >> 16);
      out[1] = static_cast<uint8_t>(row[x] >> 8);
      out[2] = static_cast<uint8_t>(row[x]);
      out[3] = static_cast<uint8_t>((row[x] >> 24) * static_cast<uint32_t>(layer.Opacity()) / 100);
    }
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_layer_stack OUT.vlb [RAW_FOLDER]\n");
    return 2;
  }
  varnel::TuneAllocatorForPainting();
  FXCreateMemBlock(1032);
  std::vector<std::unique_ptr<Layer>> layers;
  varnel::LayerRefs refs;
  for (int32_t i = 0; i < kLayers; ++i) {
    layers.push_back(MakeLayer(i));
    if (!layers.back()) return 1;
    refs.push_back(layers.back().get());
  }
  varnel::ImageSurface preview;
  if (preview.Create({kSide, kSide}) != 0) return 1;
  try {
    if (varnel::WriteLayerFile(argv[1], refs, kSide, kSide, preview, varnel::GridSettings{}) != 0) return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  if (argc == 3) {
    const std::string folder = argv[2];
    if (!WriteRaw(folder + "/base.raw", std::vector<uint8_t>(size_t{kSide} * kSide * 4, 0xFF))) return 1;
    for (int32_t i = 0; i < kLayers; ++i)
      if (!WriteRaw(folder + "/layer" + std::to_string(i) + ".raw", RawOf(*layers[static_cast<size_t>(i)]))) return 1;
  }
  return 0;
}

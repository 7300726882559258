#include "document/picture_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/blend.h"
#include "document/file_io.h"
#include "document/region_file.h"
#include "document/layer_file.h"
#include "platform/host.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

constexpr const char* kCannotReadPictureText = "画像が読み込めません";

constexpr int kChannelShift[4] = {16, 8, 0, 24};  // red, green, blue, alpha in 0xAARRGGBB

int32_t ChannelOf(uint32_t pixel, int shift) { return static_cast<int32_t>((pixel >> shift) & 0xFFu); }

uint32_t WithChannel(uint32_t pixel, int shift, int32_t value) {
  return (pixel & ~(0xFFu << shift)) | (static_cast<uint32_t>(value) & 0xFFu) << shift;
}

// What a stroke through the selection writes: t where fully covered, else v moved toward t by
// the coverage (>> floors negative differences, as the selection facade does).
int32_t Covered(int32_t v, int32_t t, int32_t m) { return m == 255 ? t : v + (((t - v) * m) >> 8); }

// The selected part's alpha: the coverage as the compositor applies a mask.
uint32_t ScaleAlpha(uint32_t pixel, int32_t m) {
  return WithChannel(pixel, 24, ((m + 1) * ChannelOf(pixel, 24)) >> 8);
}

// Recomposes what a change of the layer's pixels touched and forgets the dirty rectangle.
void RecomposeLayer(Canvas& canvas, Layer& layer) {
  if (!layer.IsDirtyEmpty()) {
    const Rect dirty = layer.DirtyRect();
    canvas.Compose({dirty.left + layer.OffsetX(), dirty.top + layer.OffsetY(), dirty.right + layer.OffsetX(),
                    dirty.bottom + layer.OffsetY()});
  }
  layer.ClearDirty();
}

void ComposeLayerArea(Canvas& canvas, const Layer& layer) {
  if (layer.Width() < 1) return;
  canvas.Compose(layer.Bounds());
}

// The rows and columns of a layer (layer coordinates, inclusive) that a selection can touch;
// the whole layer without one. False when nothing is left.
bool SelectedLayerRect(const Layer& layer, const Region* selection, Rect& out) {
  if (layer.Width() < 1 || layer.Height() < 1) return false;
  int64_t left = 0, top = 0, right = layer.Width() - 1, bottom = layer.Height() - 1;
  if (selection) {
    left = std::max<int64_t>(left, int64_t{selection->Left()} - layer.OffsetX());
    top = std::max<int64_t>(top, int64_t{selection->Top()} - layer.OffsetY());
    right = std::min<int64_t>(right, int64_t{selection->Right()} - layer.OffsetX());
    bottom = std::min<int64_t>(bottom, int64_t{selection->Bottom()} - layer.OffsetY());
  }
  if (left > right || top > bottom) return false;
  out = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
         static_cast<int32_t>(bottom)};
  return true;
}

// The coverage of a run of layer row y, columns left…left + n − 1, into coverage: the selection's
// bytes (0 outside it), or 255 everywhere without a selection.
void RunCoverage(const Layer& layer, const Region* selection, int32_t left, int32_t y, size_t n, uint8_t* coverage) {
  if (!selection) {
    std::fill_n(coverage, n, uint8_t{255});
    return;
  }
  std::fill_n(coverage, n, uint8_t{0});
  const int64_t canvasX = int64_t{left} + layer.OffsetX(), canvasY = int64_t{y} + layer.OffsetY();
  if (canvasY < INT32_MIN || canvasY > INT32_MAX || canvasX < INT32_MIN || canvasX + int64_t(n) - 1 > INT32_MAX) return;
  selection->ReadSpan(static_cast<int32_t>(canvasX), static_cast<int32_t>(canvasY),
                      static_cast<int32_t>(canvasX + static_cast<int64_t>(n) - 1), coverage);
}

// Rewrites the active layer's pixels through change(pixel, coverage) over the rows and columns
// the selection touches (all of the layer with wholeLayer, or without a selection), backing up
// only the rows that really change; then one undo step and the recomposition. -1 when nothing
// could be visited.
template <typename Change>
int32_t ChangeActiveLayer(Canvas& canvas, bool wholeLayer, Change change) {
  Layer* layer = canvas.ActiveLayer();
  if (!layer) return -1;
  const Region* selection = canvas.Selection();
  Rect area;
  if (!SelectedLayerRect(*layer, wholeLayer ? nullptr : selection, area)) return -1;
  const size_t n = static_cast<size_t>(area.Width());
  std::vector<uint32_t> row(n);
  std::vector<uint8_t> coverage(n);
  for (int32_t y = area.top; y <= area.bottom; ++y) {
    const uint32_t* pixels = layer->Row(y) + area.left;
    RunCoverage(*layer, selection, area.left, y, n, coverage.data());
    bool changed = false;
    for (size_t i = 0; i < n; ++i) {
      row[i] = change(pixels[i], coverage[i]);
      changed |= row[i] != pixels[i];
    }
    if (changed) layer->SetRect({area.left, y, area.right, y}, row.data());
  }
  layer->Undo().PushUndoStep(*layer, false);
  RecomposeLayer(canvas, *layer);
  return 0;
}

// A new layer from AddLayer (its name and place in the stack) holding the pixels of part, at
// part's offset with its blend mode and opacity; made the active layer and composed.
Layer* AddAsNewLayer(Canvas& canvas, const Layer& part) {
  Layer* added = canvas.AddLayer(part.GetSize());
  if (!added) return nullptr;
  added->CopyFrom(part, {0, 0, part.Width() - 1, part.Height() - 1});
  added->DiscardBackups();
  added->ClearDirty();
  added->SetOffset(part.OffsetX(), part.OffsetY());
  added->SetBlendMode(part.BlendMode());
  added->SetOpacity(part.Opacity());
  canvas.SetActiveLayer(canvas.LayerCount() - 1);
  ComposeLayerArea(canvas, *added);
  return added;
}

std::string FormatRect(const Rect& r) {
  char text[96];
  std::snprintf(text, sizeof text, "(%d, %d) - (%d, %d)", r.left, r.top, r.right, r.bottom);
  return text;
}

bool EndsWithVlb(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.c_str() + name.size() - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'v' && (tail[2] | 0x20) == 'l' && (tail[3] | 0x20) == 'b';
}

}  // namespace

// ---- selection ----------------------------------------------------------------------------

int32_t SelectAll(Canvas& canvas) {
  const Size size = canvas.GetSize();
  if (!canvas.ActiveLayer() || size.width < 1 || size.height < 1) return -1;
  auto region = std::make_unique<Region>();
  if (region->Create({0, 0, size.width - 1, size.height - 1}, 255) != 0) return -1;
  canvas.ReplaceSelection(std::move(region), true);
  return 0;
}

int32_t Deselect(Canvas& canvas) {
  if (!canvas.Selection()) return -1;
  canvas.ReplaceSelection(nullptr, true);
  return 0;
}

int32_t InvertSelection(Canvas& canvas) {
  const Region* selection = canvas.Selection();
  const Size size = canvas.GetSize();
  if (!selection || !canvas.ActiveLayer()) return -1;
  auto inverted = std::make_unique<Region>();
  if (Region::Invert(*selection, size.width, size.height, *inverted) != 0) return -1;
  canvas.ReplaceSelection(std::move(inverted), true);
  return 0;
}

int32_t AlphaToSelection(Canvas& canvas) {
  const Layer* layer = canvas.ActiveLayer();
  if (!layer || layer->Width() < 1 || layer->Height() < 1) return -1;
  auto region = std::make_unique<Region>();
  const int64_t right = int64_t{layer->OffsetX()} + layer->Width() - 1;
  const int64_t bottom = int64_t{layer->OffsetY()} + layer->Height() - 1;
  if (right > INT32_MAX || bottom > INT32_MAX) return -1;
  if (region->Create({layer->OffsetX(), layer->OffsetY(), static_cast<int32_t>(right), static_cast<int32_t>(bottom)},
                     0) != 0)
    return -1;
  for (int32_t y = 0; y < layer->Height(); ++y) {
    const uint32_t* pixels = layer->Row(y);
    uint8_t* bytes = region->Row(y);
    for (int32_t x = 0; x < layer->Width(); ++x) bytes[x] = static_cast<uint8_t>(pixels[x] >> 24);
  }
  region->TrimToContent();
  canvas.ReplaceSelection(std::move(region), true);
  return 0;
}

int32_t GrowSelection(Canvas& canvas) {
  const Region* selection = canvas.Selection();
  if (!selection || !canvas.ActiveLayer()) return -1;
  auto grown = std::make_unique<Region>();
  Region::Grow(*selection, *grown);
  grown->TrimToContent();
  if (grown->IsEmpty()) return -1;  // the selection touched the 65536 limit and could not grow
  canvas.ReplaceSelection(std::move(grown), true);
  return 0;
}

int32_t ShrinkSelection(Canvas& canvas) {
  const Region* selection = canvas.Selection();
  if (!selection || !canvas.ActiveLayer()) return -1;
  auto shrunk = std::make_unique<Region>();
  Region::Shrink(*selection, *shrunk);
  canvas.ReplaceSelection(std::move(shrunk), true);
  return 0;
}

int32_t FeatherSelection(Canvas& canvas, int32_t diameter) {
  const Region* selection = canvas.Selection();
  if (!selection || !canvas.ActiveLayer() || diameter < 2) return -1;
  auto feathered = std::make_unique<Region>();
  Region::Feather(*selection, diameter, *feathered);
  if (feathered->IsEmpty()) return -1;  // too large a rectangle to soften
  feathered->TrimToContent();
  canvas.ReplaceSelection(std::move(feathered), true);
  return 0;
}

int32_t SaveSelection(const Canvas& canvas, const std::string& path) {
  const Region* selection = canvas.Selection();
  if (!selection) return -1;
  if (SaveRegionFile(path, *selection) != 0) {
    GetHost().MessageBox(kCannotWriteRegionFile, "", kMbOk | kMbIconWarning);
    return -1;
  }
  return 0;
}

int32_t LoadSelection(Canvas& canvas, const std::string& path) {
  if (!canvas.ActiveLayer()) return -1;
  auto region = std::make_unique<Region>();
  if (LoadRegionFile(path, *region) != 0) {
    GetHost().MessageBox(kCannotReadRegionFile, "", kMbOk | kMbIconWarning);
    return -1;
  }
  const Size size = canvas.GetSize();
  if (!region->IsEmpty()) {
    const int32_t dx = region->Left() >= size.width ? -region->Left() : 0;
    const int32_t dy = region->Top() >= size.height ? -region->Top() : 0;
    region->Offset(dx, dy);
  }
  region->TrimToContent();
  canvas.ReplaceSelection(std::move(region), true);
  return 0;
}

int32_t AddSelectionToMaskList(Canvas& canvas) {
  Layer* layer = canvas.ActiveLayer();
  const Region* selection = canvas.Selection();
  if (!layer || !selection) return -1;
  return layer->Masks().AddMask(*selection);
}

// ---- pixels of the active layer -----------------------------------------------------------

int32_t SelectionToAlpha(Canvas& canvas) {
  if (!canvas.Selection()) return -1;
  return ChangeActiveLayer(canvas, true, [](uint32_t p, uint8_t m) { return WithChannel(p, 24, m); });
}

int32_t FillSelection(Canvas& canvas, uint32_t colour) {
  if (!canvas.Selection()) return -1;
  return ChangeActiveLayer(canvas, false, [colour](uint32_t p, uint8_t m) {
    if (m == 0) return p;
    return m == 255 ? colour : RegionClippedImage::BlendCovered(p, colour, m);
  });
}

int32_t ClearChannel(Canvas& canvas, Channel channel) {
  const int shift = kChannelShift[static_cast<int32_t>(channel) & 3];
  return ChangeActiveLayer(canvas, false, [shift](uint32_t p, uint8_t m) {
    return m == 0 ? p : WithChannel(p, shift, Covered(ChannelOf(p, shift), 0, m));
  });
}

int32_t InvertChannel(Canvas& canvas, Channel channel) {
  const int shift = kChannelShift[static_cast<int32_t>(channel) & 3];
  return ChangeActiveLayer(canvas, false, [shift](uint32_t p, uint8_t m) {
    const int32_t v = ChannelOf(p, shift);
    return m == 0 ? p : WithChannel(p, shift, Covered(v, 255 - v, m));
  });
}

int32_t UnifyAlpha(Canvas& canvas, int32_t value) {
  if (value < 0 || value > 255) return -1;
  return ChangeActiveLayer(canvas, false, [value](uint32_t p, uint8_t m) {
    return m == 0 ? p : WithChannel(p, 24, Covered(ChannelOf(p, 24), value, m));
  });
}

// ---- new layers ----------------------------------------------------------------------------

std::unique_ptr<Layer> ExtractSelectedPart(const Canvas& canvas) {
  const Layer* layer = canvas.ActiveLayer();
  if (!layer) return nullptr;
  const Region* selection = canvas.Selection();
  Rect area;
  if (!SelectedLayerRect(*layer, selection, area)) return nullptr;
  auto part = std::make_unique<Layer>();
  const Size size = area.Dimensions();
  if (part->CreateUnfilled(size) != 0) return nullptr;
  const size_t n = static_cast<size_t>(size.width);
  std::vector<uint8_t> coverage(n);
  for (int32_t y = area.top; y <= area.bottom; ++y) {
    const uint32_t* pixels = layer->Row(y) + area.left;
    uint32_t* out = part->Row(y - area.top);
    RunCoverage(*layer, selection, area.left, y, n, coverage.data());
    for (size_t i = 0; i < n; ++i) out[i] = coverage[i] == 255 ? pixels[i] : ScaleAlpha(pixels[i], coverage[i]);
  }
  part->SetOffset(layer->OffsetX() + area.left, layer->OffsetY() + area.top);
  part->TakeNameOf(*layer);
  part->SetBlendMode(layer->BlendMode());
  part->SetOpacity(layer->Opacity());
  return part;
}

Layer* SelectionToLayer(Canvas& canvas) {
  std::unique_ptr<Layer> part = ExtractSelectedPart(canvas);
  return part ? AddAsNewLayer(canvas, *part) : nullptr;
}

Layer* ChannelToLayer(Canvas& canvas, Channel channel) {
  const Layer* layer = canvas.ActiveLayer();
  if (!layer || layer->Width() < 1) return nullptr;
  const int shift = kChannelShift[static_cast<int32_t>(channel) & 3];
  const bool alpha = channel == Channel::kAlpha;
  Layer grey;
  if (grey.CreateUnfilled(layer->GetSize()) != 0) return nullptr;
  for (int32_t y = 0; y < layer->Height(); ++y) {
    const uint32_t* pixels = layer->Row(y);
    uint32_t* out = grey.Row(y);
    for (int32_t x = 0; x < layer->Width(); ++x) {
      const uint32_t v = static_cast<uint32_t>(ChannelOf(pixels[x], shift));
      const uint32_t a = alpha ? 0xFFu : pixels[x] >> 24;
      out[x] = a << 24 | v << 16 | v << 8 | v;
    }
  }
  grey.SetOffset(layer->OffsetX(), layer->OffsetY());
  return AddAsNewLayer(canvas, grey);
}

Layer* PasteImageAsLayer(Canvas& canvas, const ImageSurface& picture) {
  if (picture.Width() < 1 || picture.Height() < 1) return nullptr;
  Layer* added = canvas.AddLayer(picture.GetSize());
  if (!added) return nullptr;
  added->CopyFrom(picture, {0, 0, picture.Width() - 1, picture.Height() - 1});
  added->DiscardBackups();
  added->ClearDirty();
  canvas.SetActiveLayer(canvas.LayerCount() - 1);
  ComposeLayerArea(canvas, *added);
  return added;
}

int32_t PasteLayerFile(Canvas& canvas, const std::string& path) {
  LayerList layers;
  int32_t result = -1;
  try {
    result = ReadLayerList(path, layers);
  } catch (const FileError&) {
    result = -1;
  }
  // A list that breaks off half way is not pasted in part.
  if (result != 0 || layers.empty()) {
    GetHost().MessageBox(kCannotReadPictureText, "", kMbOk);
    return -1;
  }
  const int32_t count = static_cast<int32_t>(layers.size());
  for (auto& layer : layers) canvas.AppendLayer(std::move(layer), false);
  canvas.SetActiveLayer(canvas.LayerCount() - 1);
  canvas.ComposeAll();
  return count;
}

// ---- clipboard -----------------------------------------------------------------------------

std::vector<uint8_t> MakeLayerDataBlock(const std::string& path) {
  if (path.size() + 1 > kMaxLayerDataPath || path.find('\0') != std::string::npos) return {};
  const uint32_t length = static_cast<uint32_t>(path.size() + 1);
  std::vector<uint8_t> block(4 + length);
  for (int i = 0; i < 4; ++i) block[static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
  std::memcpy(block.data() + 4, path.data(), path.size());
  block.back() = 0;
  return block;
}

std::optional<std::string> ParseLayerDataBlock(std::span<const uint8_t> block) {
  if (block.size() < 4) return std::nullopt;
  const uint32_t length = static_cast<uint32_t>(block[0]) | static_cast<uint32_t>(block[1]) << 8 |
                          static_cast<uint32_t>(block[2]) << 16 | static_cast<uint32_t>(block[3]) << 24;
  if (length < 2 || length > kMaxLayerDataPath || length != block.size() - 4) return std::nullopt;
  const std::span<const uint8_t> text = block.subspan(4, length - 1);
  if (block.back() != 0 || std::find(text.begin(), text.end(), uint8_t{0}) != text.end()) return std::nullopt;
  if (text.front() != '/') return std::nullopt;
  return std::string(text.begin(), text.end());
}

int32_t PasteLayerData(Canvas& canvas, std::span<const uint8_t> block) {
  const std::optional<std::string> path = ParseLayerDataBlock(block);
  if (!path) {
    GetHost().MessageBox(kCannotReadPictureText, "", kMbOk);
    return -1;
  }
  return PasteLayerFile(canvas, *path);
}

std::optional<std::vector<uint8_t>> CopyLayerData(const Canvas& canvas) {
  std::unique_ptr<Layer> part = ExtractSelectedPart(canvas);
  if (!part) return std::nullopt;
  const std::string path = WritablePath(kLayerDataFile);
  std::vector<uint8_t> block = MakeLayerDataBlock(path);
  if (block.empty()) return std::nullopt;
  WriteLayerList(path, {part.get()});
  return block;
}

std::optional<std::vector<uint8_t>> CutLayerData(Canvas& canvas) {
  std::optional<std::vector<uint8_t>> block = CopyLayerData(canvas);
  if (!block) return std::nullopt;
  ChangeActiveLayer(canvas, false, [](uint32_t p, uint8_t m) {
    if (m == 0) return p;
    return m == 255 ? 0u : RegionClippedImage::BlendCovered(p, 0u, m);
  });
  return block;
}

std::unique_ptr<ImageSurface> SelectionBitmap(const Canvas& canvas) { return ExtractSelectedPart(canvas); }

std::unique_ptr<ImageSurface> CompositeCopy(const Canvas& canvas) {
  const Layer& composite = canvas.Composite();
  if (composite.Width() < 1 || composite.Height() < 1) return nullptr;
  auto copy = std::make_unique<ImageSurface>();
  if (copy->CreateUnfilled(composite.GetSize()) != 0) return nullptr;
  copy->CopyFrom(composite, {0, 0, composite.Width() - 1, composite.Height() - 1});
  return copy;
}

// ---- files of the program folder -----------------------------------------------------------

int32_t EmptyQuickSaveFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator it(WritablePath("Save"), error);
  if (error) return -1;
  int32_t deleted = 0;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    // symlink_status: a link is not a quick save, even when it points at one.
    const fs::file_status status = it->symlink_status(error);
    if (error || !fs::is_regular_file(status) || !EndsWithVlb(it->path().filename().string())) continue;
    if (fs::remove(it->path(), error) && !error) ++deleted;
  }
  return deleted;
}

int32_t WriteCloneSource(const Canvas& canvas) {
  const Layer* layer = canvas.ActiveLayer();
  if (!layer) return -1;
  return WriteLayerList(WritablePath(kCloneSourceLayerFile), {layer});
}

// ---- information ---------------------------------------------------------------------------

PictureInfo GetPictureInfo(const Canvas& canvas, const std::string& path) {
  PictureInfo info;
  info.canvasSize = canvas.GetSize();
  info.layerCount = canvas.LayerCount();
  info.path = path;
  if (const Layer* layer = canvas.ActiveLayer()) {
    info.activeIndex = canvas.ActiveIndex();
    info.activeName = layer->Name();
    info.activeSize = layer->GetSize();
    info.offsetX = layer->OffsetX();
    info.offsetY = layer->OffsetY();
    info.blendMode = layer->BlendMode();
    info.opacity = layer->Opacity();
    info.visible = layer->IsVisible();
    info.maskCount = layer->Masks().Count();
  }
  if (const Region* selection = canvas.Selection()) info.selection = selection->Bounds();
  return info;
}

std::string PictureInfoText(const PictureInfo& info) {
  char line[256];
  std::string text;
  auto add = [&](const std::string& s) {
    if (!text.empty()) text += '\n';
    text += s;
  };
  std::snprintf(line, sizeof line, "キャンバスサイズ: %d × %d", info.canvasSize.width, info.canvasSize.height);
  add(line);
  std::snprintf(line, sizeof line, "レイヤ数: %d", info.layerCount);
  add(line);
  if (info.activeIndex >= 0) {
    std::snprintf(line, sizeof line, " (レイヤ番号 %d)", info.activeIndex);
    add("アクティブレイヤ: " + info.activeName + line);
    std::snprintf(line, sizeof line, "  サイズ: %d × %d", info.activeSize.width, info.activeSize.height);
    add(line);
    std::snprintf(line, sizeof line, "  位置: (%d, %d)", info.offsetX, info.offsetY);
    add(line);
    const std::string_view mode = BlendModeName(info.blendMode);
    add("  合成モード: " + (mode.empty() ? std::to_string(ModeNumber(info.blendMode)) : std::string(mode)));
    std::snprintf(line, sizeof line, "  不透明度: %d", info.opacity);
    add(line);
    add(std::string("  表示: ") + (info.visible ? "する" : "しない"));
    std::snprintf(line, sizeof line, "  レイヤマスク: %d", info.maskCount);
    add(line);
  }
  if (info.selection) {
    const Rect& r = *info.selection;
    std::snprintf(line, sizeof line, " (%d × %d)", r.Width(), r.Height());
    add("選択範囲: " + FormatRect(r) + line);
  } else {
    add("選択範囲: なし");
  }
  add("ファイル: " + (info.path.empty() ? std::string("(未保存)") : info.path));
  return text;
}

std::optional<PictureStatistics> ComputeStatistics(const Canvas& canvas) {
  const Layer* layer = canvas.ActiveLayer();
  if (!layer) return std::nullopt;
  const Region* selection = canvas.Selection();
  Rect area;
  if (!SelectedLayerRect(*layer, selection, area)) return std::nullopt;
  // Histograms give every figure exactly, whatever the number of pixels.
  std::array<std::array<uint64_t, 256>, 4> histogram{};
  const size_t n = static_cast<size_t>(area.Width());
  std::vector<uint8_t> coverage(n);
  uint64_t count = 0;
  for (int32_t y = area.top; y <= area.bottom; ++y) {
    const uint32_t* pixels = layer->Row(y) + area.left;
    RunCoverage(*layer, selection, area.left, y, n, coverage.data());
    for (size_t i = 0; i < n; ++i) {
      if (coverage[i] == 0) continue;
      ++count;
      for (int c = 0; c < 4; ++c) ++histogram[static_cast<size_t>(c)][static_cast<size_t>(ChannelOf(pixels[i], kChannelShift[c]))];
    }
  }
  if (count == 0) return std::nullopt;
  PictureStatistics statistics;
  statistics.pixelCount = count;
  statistics.withinSelection = selection != nullptr;
  for (size_t c = 0; c < 4; ++c) {
    const auto& h = histogram[c];
    ChannelStatistics& s = statistics.channels[c];
    uint64_t sum = 0;
    s.minimum = 256;
    s.maximum = -1;
    for (int32_t v = 0; v < 256; ++v) {
      const uint64_t k = h[static_cast<size_t>(v)];
      if (k == 0) continue;
      sum += k * static_cast<uint64_t>(v);
      s.minimum = std::min(s.minimum, v);
      s.maximum = v;
      if (k > h[static_cast<size_t>(s.mode)]) s.mode = v;
    }
    s.average = static_cast<double>(sum) / static_cast<double>(count);
    double squares = 0;
    for (int32_t v = 0; v < 256; ++v) {
      const double d = v - s.average;
      squares += static_cast<double>(h[static_cast<size_t>(v)]) * d * d;
    }
    s.standardDeviation = std::sqrt(squares / static_cast<double>(count));
  }
  return statistics;
}

std::string StatisticsText(const PictureStatistics& statistics) {
  static constexpr const char* kNames[4] = {"赤", "緑", "青", "アルファ"};
  char line[256];
  std::snprintf(line, sizeof line, "%s (%llu ピクセル)", statistics.withinSelection ? "選択範囲内" : "レイヤ全体",
                static_cast<unsigned long long>(statistics.pixelCount));
  std::string text = line;
  for (size_t c = 0; c < 4; ++c) {
    const ChannelStatistics& s = statistics.channels[c];
    std::snprintf(line, sizeof line, "\n%s: 平均 %.2f  最頻値 %d  標準偏差 %.2f  範囲 %d - %d", kNames[c], s.average,
                  s.mode, s.standardDeviation, s.minimum, s.maximum);
    text += line;
  }
  return text;
}

// ---- the area outside the selection on screen ----------------------------------------------

namespace {

// (s × (255 − m) + v × m) ÷ 255 rounded, for each colour channel; alpha from v.
inline uint32_t BlendShown(uint32_t v, uint32_t s, uint32_t m) {
  uint32_t out = v & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t x = ((s >> shift) & 0xFFu) * (255 - m) + ((v >> shift) & 0xFFu) * m + 128;
    out |= (((x + (x >> 8)) >> 8) & 0xFFu) << shift;
  }
  return out;
}

inline uint32_t Grey(uint8_t g) { return uint32_t{g} * 0x010101u; }

// The shown colour of one pixel at canvas (x, y) for a mode (not none), alpha left as it was.
inline uint32_t Shown(int32_t mode, uint32_t v, int32_t x, int32_t y) {
  const uint32_t alpha = v & 0xFF000000u;
  switch (mode) {
    case kRegionViewInverted:
      return v ^ 0x00FFFFFFu;
    case kRegionViewBlack:
      return alpha;
    case kRegionViewWhite:
      return alpha | 0x00FFFFFFu;
    case kRegionViewChecker:
      return alpha | Grey((((x >> 3) + (y >> 3)) & 1) == 0 ? kCheckerLight : kCheckerDark);
    case kRegionViewDarker:
      return alpha | ((v >> 1) & 0x007F7F7Fu);
    default: {  // brighter: v + (255 − v) / 2 per channel
      const uint32_t inverse = ~v & 0x00FFFFFFu;
      return (v & 0x00FFFFFFu) + ((inverse >> 1) & 0x007F7F7Fu) + alpha;
    }
  }
}

// A run of pixels wholly outside the selection.
template <int32_t kMode>
void ShadeRun(uint32_t* pixels, int32_t x0, int32_t y, size_t n) {
  for (size_t i = 0; i < n; ++i) pixels[i] = Shown(kMode, pixels[i], x0 + static_cast<int32_t>(i), y);
}

template <int32_t kMode>
void ShadeArea(const Region* selection, const Rect& area, uint32_t* firstRow, ptrdiff_t rowStride) {
  const size_t width = static_cast<size_t>(area.Width());
  for (int32_t y = area.top; y <= area.bottom; ++y) {
    uint32_t* row = firstRow + static_cast<ptrdiff_t>(y - area.top) * rowStride;
    // The part of the row the selection's rectangle covers; all else is outside.
    const int32_t from = std::max(area.left, selection->Left()), to = std::min(area.right, selection->Right());
    if (y < selection->Top() || y > selection->Bottom() || from > to) {
      ShadeRun<kMode>(row, area.left, y, width);
      continue;
    }
    ShadeRun<kMode>(row, area.left, y, static_cast<size_t>(from - area.left));
    ShadeRun<kMode>(row + (to + 1 - area.left), to + 1, y, static_cast<size_t>(area.right - to));
    const uint8_t* bytes = selection->Row(y - selection->Top()) + (from - selection->Left());
    uint32_t* pixels = row + (from - area.left);
    for (int32_t i = 0; i <= to - from; ++i) {
      const uint32_t m = bytes[i];
      if (m == 255) continue;
      const uint32_t s = Shown(kMode, pixels[i], from + i, y);
      pixels[i] = m == 0 ? s : BlendShown(pixels[i], s, m);
    }
  }
}

}  // namespace

void ShowOutsideSelection(int32_t mode, const Region* selection, const Rect& requested, uint32_t* firstRow,
                          ptrdiff_t rowStride) {
  if (!selection || selection->IsEmpty() || firstRow == nullptr) return;
  const Rect area = requested.Normalized();
  switch (mode) {
    case kRegionViewInverted: return ShadeArea<kRegionViewInverted>(selection, area, firstRow, rowStride);
    case kRegionViewBlack: return ShadeArea<kRegionViewBlack>(selection, area, firstRow, rowStride);
    case kRegionViewChecker: return ShadeArea<kRegionViewChecker>(selection, area, firstRow, rowStride);
    case kRegionViewWhite: return ShadeArea<kRegionViewWhite>(selection, area, firstRow, rowStride);
    case kRegionViewDarker: return ShadeArea<kRegionViewDarker>(selection, area, firstRow, rowStride);
    case kRegionViewBrighter: return ShadeArea<kRegionViewBrighter>(selection, area, firstRow, rowStride);
    default: return;
  }
}

}  // namespace varnel

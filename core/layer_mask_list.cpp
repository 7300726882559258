#include "core/layer_mask_list.h"

#include <algorithm>
#include <utility>

#include "core/surface.h"

namespace varnel {
namespace {

MaskStore* g_store = nullptr;

std::string Keep(const Region& region) { return g_store != nullptr ? g_store->Keep(region) : std::string(); }

}  // namespace

MaskStore* SetMaskStore(MaskStore* store) { return std::exchange(g_store, store); }

MaskStore* GetMaskStore() { return g_store; }

void RenderMaskThumbnail(const Region& mask, bool enabled, uint32_t* pixels) {
  constexpr int32_t n = kMaskThumbnailSize;
  std::fill(pixels, pixels + n * n, 0xFFFFFFFFu);
  if (!mask.IsEmpty()) {
    const int32_t width = mask.Width(), height = mask.Height();
    const int32_t longest = std::max(width, height);
    const int32_t tw = (n * width) / longest, th = (n * height) / longest;
    for (int32_t j = 0; j < th; ++j) {
      const uint8_t* row = mask.Row(static_cast<int32_t>((int64_t{j} * height) / th));
      for (int32_t i = 0; i < tw; ++i) {
        const uint32_t grey = 255u - row[(int64_t{i} * width) / tw];
        pixels[j * n + i] = 0xFF000000u | grey << 16 | grey << 8 | grey;
      }
    }
  }
  if (!enabled) {
    for (int32_t k = 0; k < n; ++k) {
      pixels[k * n + k] = 0xFFFF0000u;
      pixels[k * n + (n - 1 - k)] = 0xFFFF0000u;
    }
  }
}

LayerMaskList::~LayerMaskList() {
  for (int32_t i = Count() - 1; i >= 0; --i) {
    RemoveMask(i);
  }
}

int32_t LayerMaskList::AddMask(const Region& region) {
  std::string path = Keep(region);
  if (path.empty()) {
    return -1;
  }
  Mask mask;
  mask.path = std::move(path);
  // The region is not kept while the mask is off, so both looks of the thumbnail are drawn now.
  RenderMaskThumbnail(region, true, mask.thumbnail.data());
  RenderMaskThumbnail(region, false, mask.crossedThumbnail.data());
  m_masks.push_back(std::move(mask));
  return Count() - 1;
}

int32_t LayerMaskList::ReplaceMask(int32_t index, const Region& region) {
  if (index < 0 || index >= Count()) return -1;
  // The new contents get a copy of their own first, so a failed write keeps the old mask.
  std::string path = Keep(region);
  if (path.empty()) return -1;
  Mask& mask = m_masks[static_cast<size_t>(index)];
  if (g_store != nullptr) g_store->Discard(mask.path);
  mask.path = std::move(path);
  RenderMaskThumbnail(region, true, mask.thumbnail.data());
  RenderMaskThumbnail(region, false, mask.crossedThumbnail.data());
  if (mask.enabled) SetMaskEnabled(index, true);
  return 0;
}

void LayerMaskList::SetMaskEnabled(int32_t index, bool on) {
  if (index < 0 || index >= Count()) {
    return;
  }
  Mask& mask = m_masks[static_cast<size_t>(index)];
  mask.region.reset();
  mask.enabled = on;
  if (!on) {
    return;
  }
  // Always from the store: it holds the mask's only lasting copy.
  auto loaded = std::make_unique<Region>();
  if (g_store != nullptr && g_store->Fetch(mask.path, *loaded) == 0 && !loaded->IsEmpty()) {
    mask.region = std::move(loaded);
  }
}

void LayerMaskList::RemoveMask(int32_t index) {
  if (index < 0 || index >= Count()) {
    return;
  }
  const auto it = m_masks.begin() + index;
  if (!it->path.empty() && g_store != nullptr) {
    g_store->Discard(it->path);
  }
  m_masks.erase(it);
}

bool LayerMaskList::HasEnabledMask() const {
  for (const Mask& mask : m_masks) {
    if (mask.enabled) {
      return true;
    }
  }
  return false;
}

bool LayerMaskList::IsEnabled(int32_t index) const {
  return index >= 0 && index < Count() && m_masks[static_cast<size_t>(index)].enabled;
}

const Region* LayerMaskList::EnabledRegion(int32_t index) const {
  if (index < 0 || index >= Count()) {
    return nullptr;
  }
  const Mask& mask = m_masks[static_cast<size_t>(index)];
  return mask.enabled ? mask.region.get() : nullptr;
}

const std::string& LayerMaskList::FilePath(int32_t index) const {
  static const std::string kNone;
  if (index < 0 || index >= Count()) {
    return kNone;
  }
  return m_masks[static_cast<size_t>(index)].path;
}

std::array<uint32_t, 32 * 32> LayerMaskList::Thumbnail(int32_t index) const {
  if (index < 0 || index >= Count()) {
    return {};
  }
  const Mask& mask = m_masks[static_cast<size_t>(index)];
  return mask.enabled ? mask.thumbnail : mask.crossedThumbnail;
}

int32_t LayerMaskList::ReadMask(int32_t index, Region& region) const {
  if (index < 0 || index >= Count()) {
    return -1;
  }
  if (g_store == nullptr) return -1;
  return g_store->Fetch(m_masks[static_cast<size_t>(index)].path, region);
}

}  // namespace varnel

namespace varnel {

void LayerMaskList::DrawThumbnail(DrawContext& dc, int32_t index, int32_t x, int32_t y) const {
  if (index < 0 || index >= Count()) return;
  const std::array<uint32_t, 32 * 32> pixels = Thumbnail(index);
  ImageSurface square;
  if (square.Create({32, 32}) != 0) return;
  for (int32_t row = 0; row < 32; ++row) std::copy_n(pixels.begin() + row * 32, 32, square.Row(row));
  square.Draw(dc, {x, y, x + 32, y + 32}, {0, 0, 32, 32});
}

}  // namespace varnel

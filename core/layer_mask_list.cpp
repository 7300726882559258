#include "core/layer_mask_list.h"

#include <unistd.h>

#include <algorithm>

#include "core/surface.h"
#include "document/layer_mask_file.h"

namespace varnel {

LayerMaskList::~LayerMaskList() {
  for (int32_t i = Count() - 1; i >= 0; --i) {
    RemoveMask(i);
  }
}

int32_t LayerMaskList::AddMask(const Region& region) {
  std::string path = WriteMaskFile(region);
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
  // The new contents go to a file of their own first, so a failed write keeps the old mask.
  std::string path = WriteMaskFile(region);
  if (path.empty()) return -1;
  Mask& mask = m_masks[static_cast<size_t>(index)];
  unlink(mask.path.c_str());
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
  // Always from the file: it is the mask's only lasting copy.
  auto loaded = std::make_unique<Region>();
  if (LoadRegionFile(mask.path, *loaded) == 0 && !loaded->IsEmpty()) {
    mask.region = std::move(loaded);
  }
}

void LayerMaskList::RemoveMask(int32_t index) {
  if (index < 0 || index >= Count()) {
    return;
  }
  const auto it = m_masks.begin() + index;
  if (!it->path.empty()) {
    unlink(it->path.c_str());
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
  return LoadRegionFile(m_masks[static_cast<size_t>(index)].path, region);
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

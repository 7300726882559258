#pragma once
// A layer's masks. Each mask lives in its own temporary region file ("lm" prefix); its region
// is held in memory only while the mask is enabled. Every mask has a 32 × 32 thumbnail.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/draw_context.h"
#include "document/region.h"

namespace varnel {

class LayerMaskList {
 public:
  LayerMaskList() = default;
  LayerMaskList(const LayerMaskList&) = delete;
  LayerMaskList& operator=(const LayerMaskList&) = delete;
  // Removes every mask, last first (their files go too).
  ~LayerMaskList();

  // Writes the region to a new "lm" file and appends a disabled mask with its thumbnail.
  // Answers the mask's index, or -1 when the file cannot be written.
  int32_t AddMask(const Region& region);
  // Gives mask index new contents (a new file, a new thumbnail), keeping its place and its
  // enabled state. -1 when the index is bad or the file cannot be written; the mask is then kept.
  int32_t ReplaceMask(int32_t index, const Region& region);
  // On: loads a fresh region from the mask's file (kept when the load gave data). Off: drops it.
  void SetMaskEnabled(int32_t index, bool on);
  void RemoveMask(int32_t index);
  bool HasEnabledMask() const;

  int32_t Count() const { return static_cast<int32_t>(m_masks.size()); }
  bool IsEnabled(int32_t index) const;
  // The region of an enabled mask; null when disabled (or the load gave nothing).
  const Region* EnabledRegion(int32_t index) const;
  const std::string& FilePath(int32_t index) const;
  // 32 × 32 pixels, 0xAARRGGBB, rows top first; the red cross is added when disabled.
  std::array<uint32_t, 32 * 32> Thumbnail(int32_t index) const;
  // Draws the thumbnail (with the cross while disabled) at (x, y) of a device.
  void DrawThumbnail(DrawContext& dc, int32_t index, int32_t x, int32_t y) const;
  // Reads a mask back from its file (as the layer file writes masks).
  int32_t ReadMask(int32_t index, Region& region) const;

 private:
  struct Mask {
    std::string path;
    bool enabled = false;
    std::unique_ptr<Region> region;
    std::array<uint32_t, 32 * 32> thumbnail{};  // without the cross
    std::array<uint32_t, 32 * 32> crossedThumbnail{};  // as shown while disabled
  };
  std::vector<Mask> m_masks;
};

}  // namespace varnel

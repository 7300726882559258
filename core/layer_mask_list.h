#pragma once
// A layer's masks. Each mask's lasting copy is kept by the mask store (the program keeps it in a
// temporary region file with the "lm" prefix); its region is held in memory only while the mask
// is enabled. Every mask has a 32 × 32 thumbnail.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/draw_context.h"
#include "core/region.h"

namespace varnel {

inline constexpr int32_t kMaskThumbnailSize = 32;
// The image list's transparent colour, 0x00BBGGRR: magenta.
inline constexpr uint32_t kMaskThumbnailTransparent = 0x00FF00FF;

// Where masks are kept while they are off. The list never knows the file format: the program
// installs a store at start-up (the document library keeps masks as region files).
class MaskStore {
 public:
  virtual ~MaskStore() = default;
  // Keeps a copy of mask; answers its key (a file path), or an empty text when it cannot.
  virtual std::string Keep(const Region& mask) = 0;
  // Reads a copy back into mask (cleared first): 0, or -1 when it cannot be read.
  virtual int32_t Fetch(const std::string& key, Region& mask) const = 0;
  virtual void Discard(const std::string& key) = 0;
};

// The store of this process (not owned); none until one is installed, and then no mask can be
// added. Answers the previous one.
MaskStore* SetMaskStore(MaskStore* store);
MaskStore* GetMaskStore();

// Draws a thumbnail into 32 × 32 pixels (0xAARRGGBB, rows top first): white, the mask scaled
// into the top-left tw × th corner as grey 255 − v (selected pixels dark), and for a disabled
// mask a one-pixel pure red cross from corner to corner both ways.
void RenderMaskThumbnail(const Region& mask, bool enabled, uint32_t* pixels);

class LayerMaskList {
 public:
  LayerMaskList() = default;
  LayerMaskList(const LayerMaskList&) = delete;
  LayerMaskList& operator=(const LayerMaskList&) = delete;
  // Removes every mask, last first (their files go too).
  ~LayerMaskList();

  // Keeps the region in the mask store and appends a disabled mask with its thumbnail.
  // Answers the mask's index, or -1 when the store cannot keep it.
  int32_t AddMask(const Region& region);
  // Gives mask index new contents (a new copy, a new thumbnail), keeping its place and its
  // enabled state. -1 when the index is bad or the store cannot keep it; the mask is then kept.
  int32_t ReplaceMask(int32_t index, const Region& region);
  // On: loads a fresh region from the mask's copy (kept when the load gave data). Off: drops it.
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
  // Reads a mask back from its copy (as the layer file writes masks).
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

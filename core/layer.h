#pragma once
// Layer: an ImageSurface with a place on the canvas, a name, a blend mode, visibility, an
// opacity (with its precomputed table) and a list of masks.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "core/blend.h"
#include "core/layer_mask_list.h"
#include "core/surface.h"

namespace varnel {

// State a tool keeps with a layer from one stroke to the next (the brush's wet paint). The
// layer owns it and destroys it with itself; the core never looks inside.
class LayerAttachment {
 public:
  virtual ~LayerAttachment() = default;
};

class Layer : public ImageSurface {
 public:
  Layer();
  bool IsType(const char* tag) const override;  // "LAYER" only

  int32_t OffsetX() const { return m_offsetX; }
  int32_t OffsetY() const { return m_offsetY; }
  // A file may hold any offset. Held to ±kMaxOffset, a layer stays as far off every canvas, and
  // offsets plus sizes, or one offset less another, stay within 32 bits.
  static constexpr int32_t kMaxOffset = (1 << 30) - 1;
  void SetOffset(int32_t x, int32_t y) {
    m_offsetX = std::clamp(x, -kMaxOffset, kMaxOffset);
    m_offsetY = std::clamp(y, -kMaxOffset, kMaxOffset);
  }
  // What the layer covers on the canvas (inclusive); empty (right < left) without pixels.
  Rect Bounds() const { return {m_offsetX, m_offsetY, m_offsetX + Width() - 1, m_offsetY + Height() - 1}; }
  const std::string& Name() const { return m_name; }  // UTF-8
  void SetName(std::string name) { m_name = std::move(name); }
  // The name's bytes as a layer file held them. A name that comes back unchanged is written as
  // these bytes: the text shown is a conversion that need not convert back to the same bytes
  // (bytes outside the code page, characters with two codes).
  const std::string& NameAsStored() const { return m_nameAsStored; }
  void SetNameAsStored(std::string bytes) { m_nameAsStored = std::move(bytes); }
  // The name of a layer this one is made from, with its stored bytes.
  void TakeNameOf(const Layer& other) {
    m_name = other.m_name;
    m_nameAsStored = other.m_nameAsStored;
  }
  varnel::BlendMode BlendMode() const { return m_blendMode; }
  void SetBlendMode(varnel::BlendMode mode) { m_blendMode = mode; }
  bool IsVisible() const { return m_visible != 0; }
  void SetVisible(bool visible) { m_visible = visible ? 1 : 0; }
  int32_t Opacity() const { return m_opacity; }
  // Clamps to 0…100 and rebuilds the opacity table.
  void SetOpacity(int32_t opacity);
  const int32_t* OpacityTable() const { return m_opacityTable; }
  int32_t Reserved(int i) const { return m_reserved[i & 1]; }
  void SetReserved(int i, int32_t value) { m_reserved[i & 1] = value; }
  LayerMaskList& Masks() { return m_masks; }
  const LayerMaskList& Masks() const { return m_masks; }
  LayerAttachment* Attachment() const { return m_attachment.get(); }
  void SetAttachment(std::unique_ptr<LayerAttachment> attachment) { m_attachment = std::move(attachment); }

 private:
  int32_t m_offsetX = 0;
  int32_t m_offsetY = 0;
  std::string m_name = "noname";
  std::string m_nameAsStored;
  int32_t m_opacityTable[256];
  varnel::BlendMode m_blendMode = varnel::BlendMode::kNormal;
  uint8_t m_visible = 1;
  uint8_t m_opacity = 100;
  int32_t m_reserved[2] = {0, 0};
  LayerMaskList m_masks;
  std::unique_ptr<LayerAttachment> m_attachment;
};

}  // namespace varnel

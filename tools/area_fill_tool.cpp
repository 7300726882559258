#include "tools/area_fill_tool.h"

#include <algorithm>
#include <vector>

#include "brush/brush_stroke.h"
#include "core/region_clipped_image.h"
#include "platform/host.h"

namespace varnel {
namespace {

using Settings = AreaFillSettings;

const ToolStateKey<Settings> kKeys[] = {
    {"FillRange", &Settings::range},
    {"FillMode", &Settings::mode},
    {"Tolerance", &Settings::tolerance},
    {"EdgeBlur", &Settings::feather},
};

constexpr Rect kNothing{0, 0, -1, -1};

// The coverage of the fill: the whole target at 255, or a region in target coordinates.
class Coverage {
 public:
  Coverage(Size target, const Region* region) : m_region(region) {
    const Rect all{0, 0, target.width - 1, target.height - 1};
    m_bounds = region != nullptr ? region->Bounds().Intersected(all) : all;
  }
  // The part of the target that can change.
  const Rect& Bounds() const { return m_bounds; }
  uint8_t At(int32_t x, int32_t y) const { return m_region != nullptr ? m_region->At(x, y) : 255; }

 private:
  const Region* m_region;
  Rect m_bounds;
};

// Rewrites the covered pixels of the bounds through the target: pixel = rule(old, coverage) for
// coverage 1…255, the rest written back as they were.
template <class Rule>
Rect RewritePixels(ImageSurface& target, const Coverage& coverage, Rule rule) {
  const Rect& rect = coverage.Bounds();
  const size_t width = static_cast<size_t>(rect.Width());
  std::vector<uint32_t> pixels(width * static_cast<size_t>(rect.Height()));
  target.GetRect(rect, pixels.data());
  for (int32_t y = rect.top; y <= rect.bottom; ++y) {
    uint32_t* row = pixels.data() + static_cast<size_t>(y - rect.top) * width;
    for (int32_t x = rect.left; x <= rect.right; ++x) {
      const uint8_t c = coverage.At(x, y);
      if (c != 0) row[x - rect.left] = rule(row[x - rect.left], c);
    }
  }
  target.SetRect(rect, pixels.data());
  target.SetModified();
  return rect;
}

Rect PaintDabs(ImageSurface& target, const Coverage& coverage, bool whole, BrushEngine& brush) {
  const Rect& rect = coverage.Bounds();
  const Size dab = brush.GetSize();
  // The fill composes once at its end, not after every dab.
  auto onDabWritten = std::move(brush.onDabWritten);
  brush.onDabWritten = nullptr;
  for (int32_t y = rect.top; y <= rect.bottom; ++y) {
    for (int32_t x = rect.left; x <= rect.right; ++x) {
      const uint8_t c = coverage.At(x, y);
      if (c == 0) continue;
      // As the brush's pen-down dab takes its opacity from the pressure.
      const int32_t pressure = whole ? 256 : c;
      const int32_t opacity = brush.PressureOpacity() ? (brush.BaseOpacity() * pressure) >> 8 : brush.BaseOpacity();
      brush.DrawDab(target, x, y, opacity);
    }
  }
  brush.onDabWritten = std::move(onDabWritten);
  target.SetModified();
  // Dabs are centred as BrushEngine::DabRect places them.
  const Size size = target.GetSize();
  const Rect reached{rect.left - dab.width / 2, rect.top - dab.height / 2, rect.right + (dab.width - 1 - dab.width / 2),
                     rect.bottom + (dab.height - 1 - dab.height / 2)};
  return reached.Intersected({0, 0, size.width - 1, size.height - 1});
}

}  // namespace

void AreaFillSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<Settings>(writer, kKeys, *this);
}

void AreaFillSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<Settings>(reader, kKeys, *this);
  range = std::clamp(range, kFillRangeRgb, kFillRangeWhole);
  mode = std::clamp(mode, kFillModeForeground, kFillModeClear);
  tolerance = std::clamp(tolerance, kFillToleranceMinimum, kFillToleranceMaximum);
}

AreaFillSettings& ProgramAreaFillSettings() {
  static AreaFillSettings settings;
  return settings;
}

ColourMatch AreaFillMatch(int32_t tolerance) {
  return {ColourComponent::kRgb, std::clamp(tolerance, kFillToleranceMinimum, kFillToleranceMaximum) - 1};
}

Rect FillArea(ImageSurface& target, int32_t x, int32_t y, const AreaFillSettings& settings, ColourRef foreground,
              BrushEngine* brush) {
  const Size size = target.GetSize();
  if (size.width <= 0 || size.height <= 0) return kNothing;
  if (settings.mode == kFillModeBrush && brush == nullptr) return kNothing;
  if (settings.mode < kFillModeForeground || settings.mode > kFillModeClear) return kNothing;
  const bool whole = settings.range == kFillRangeWhole;

  Region region;
  if (!whole) {
    if (x < 0 || y < 0 || x >= size.width || y >= size.height) return kNothing;
    // The facade keeps no pixels of its own; the surface behind it has the same ones.
    const std::vector<uint8_t> mask = FillSelectMask(BackedSurface(target), x, y, AreaFillMatch(settings.tolerance));
    MaskToRegion(mask, size.width, size.height, 0, 0, region);
    if (region.IsEmpty()) return kNothing;
    // Transparency goes exactly where the area is; only the paint modes soften its edge.
    if (settings.feather && settings.mode != kFillModeClear) {
      Region soft;
      Region::Feather(region, kFillFeatherDiameter, soft);
      if (!soft.IsEmpty()) region.TakeFrom(soft);
    }
  }
  const Coverage coverage(size, whole ? nullptr : &region);
  if (coverage.Bounds().IsEmpty()) return kNothing;

  switch (settings.mode) {
    case kFillModeForeground: {
      const uint32_t paint = ToPixel(foreground, 255);
      return RewritePixels(target, coverage, [paint](uint32_t old, uint8_t c) {
        return c == 255 ? paint : RegionClippedImage::BlendCovered(old, paint, c);
      });
    }
    case kFillModeBrush:
      return PaintDabs(target, coverage, whole, *brush);
    default:
      return RewritePixels(target, coverage, [](uint32_t old, uint8_t) { return old & 0x00FFFFFFu; });
  }
}

AreaFillTool::AreaFillTool(Canvas& canvas, AreaFillSettings& settings, std::function<BrushEngine*()> brush,
                           std::function<int64_t()> clock)
    : m_canvas(canvas), m_settings(settings), m_brush(std::move(brush)), m_clock(std::move(clock)) {}

bool AreaFillTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  if (!m_clicks.Accept(m_clock ? m_clock() : TickCountMs())) return false;
  WaitCursor waiting;
  BrushEngine* brush = m_settings.mode == kFillModeBrush && m_brush ? m_brush() : nullptr;
  const Rect changed = FillArea(*event.surface, event.x, event.y, m_settings, m_foreground, brush);
  if (changed.IsEmpty()) return false;
  // The mask image under edit lies at the canvas origin, a layer at its offset.
  int32_t offsetX = 0, offsetY = 0;
  if (m_canvas.MaskImage() == nullptr && m_canvas.ActiveLayer() != nullptr) {
    offsetX = m_canvas.ActiveLayer()->OffsetX();
    offsetY = m_canvas.ActiveLayer()->OffsetY();
  }
  m_canvas.Compose(changed.Offset(offsetX, offsetY));
  BackedSurface(*event.surface).ClearDirty();
  return true;
}

void AreaFillTool::SetColours(ColourRef foreground, ColourRef /*background*/) { m_foreground = foreground; }

}  // namespace varnel

#include "brush/brush_factory.h"

#include <algorithm>

#include "brush/brush_kinds.h"
#include "platform/host.h"

namespace varnel {

int32_t ClampStrokeCount(int32_t count) { return std::clamp(count, 1, 8); }

std::unique_ptr<BrushEngine> BuildBrush(const BrushToolSettings& settings, int32_t dryMode) {
  if (settings.busy) return nullptr;
  if (settings.kind == kBrushCustom) {
    // The custom brush is built from the custom brush panel's parameters; without a panel that
    // can build it there is no brush.
    GetHost().MessageBox(kBrushFactoryError, "", kMbOk);
    return nullptr;
  }
  // Sizes read from a tool state bypass the setters' clamp.
  const Size size{std::clamp(settings.width, 1, kMaxBrushSide), std::clamp(settings.height, 1, kMaxBrushSide)};
  std::unique_ptr<BrushEngine> brush = CreateBrushKind(settings.kind, size);
  if (!brush) return nullptr;
  brush->SetColourMask(ColourMask::Create(settings.colourMaskMode, settings.colourMaskMinimum,
                                          settings.colourMaskMaximum, settings.colourMaskTolerance));
  brush->SetSpacing(settings.spacing * 0.01);
  brush->SetBaseOpacity(std::clamp(settings.baseOpacity, 0, 256));
  brush->SetMinimumSize(settings.minimumSize);
  brush->SetAffectAlpha(settings.affectAlpha);
  brush->SetAntiAlias(settings.antiAlias);
  brush->SetPressureSizing(settings.pressureSizing);
  brush->SetPressureOpacity(settings.pressureOpacity);
  brush->SetCloneColour(settings.cloneColour, settings.cloneSource);
  brush->SetWatercolour(settings.watercolour);
  brush->SetWatercolourLevel(std::clamp(settings.watercolourLevel, 0, 256));
  brush->SetDryMode(dryMode == kDryOnCommand ? kDryOnCommand : kDryAtStrokeEnd);
  return brush;
}

}  // namespace varnel

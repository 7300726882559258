#include "brush/brush_factory.h"

#include <algorithm>
#include <set>

#include "brush/brush_kinds.h"
#include "brush/custom_brush.h"
#include "platform/host.h"

namespace varnel {
namespace {

// Each missing shape or texture is told once a run, not at every rebuild of the brush. Brushes
// are built on the user-interface thread only.
void TellOnce(const std::string& message) {
  static std::set<std::string> told;
  if (told.insert(message).second) GetHost().MessageBox(message, "", kMbOk | kMbIconInformation);
}

}  // namespace

int32_t ClampStrokeCount(int32_t count) { return std::clamp(count, 1, 8); }

std::unique_ptr<BrushEngine> BuildBrush(const BrushToolSettings& settings, int32_t dryMode) {
  if (settings.busy) return nullptr;
  // Sizes read from a tool state bypass the setters' clamp.
  const Size size{std::clamp(settings.width, 1, kMaxBrushSide), std::clamp(settings.height, 1, kMaxBrushSide)};
  std::unique_ptr<BrushEngine> brush;
  if (settings.kind == kBrushCustom) {
    // The custom brush is built from the custom brush panel's parameters; without the panel
    // there is no brush.
    if (!settings.customPanel) {
      GetHost().MessageBox(kBrushFactoryError, "", kMbOk);
      return nullptr;
    }
    CustomBrushParams params = *settings.customPanel;
    params.strokeCount = ClampStrokeCount(params.strokeCount);
    const CustomBrushFiles files = LoadCustomBrushFiles(params, settings.brushFolder);
    for (const std::string& message : files.messages) TellOnce(message);
    brush = std::make_unique<CustomBrush>(size, params, files);
  } else {
    brush = CreateBrushKind(settings.kind, size);
  }
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

#pragma once
// Building the brush object from the brush tool's settings, whenever the kind, the size or a
// setting changes.

#include <cstdint>
#include <memory>

#include "brush/brush_engine.h"
#include "brush/brush_settings.h"

namespace varnel {

inline constexpr const char* kBrushFactoryError = "Brush Factory Internal Error";

// The custom brush's stroke count limited to 1…8.
int32_t ClampStrokeCount(int32_t count);

// The kind's brush at the settings' size with every setting applied: the colour mask (mode 0
// none), spacing StrokeLength × 0.01, base opacity (0…256), minimum size, affect alpha,
// anti-alias, pressure sizing and opacity, clone colour with its source, watercolour and its
// level (0…256), and the dry mode of the brush option panel. Null while the settings are busy
// or for a kind outside 0…22. The custom kind shows "Brush Factory Internal Error" through the
// host and builds nothing while no custom brush panel can give it its parameters.
std::unique_ptr<BrushEngine> BuildBrush(const BrushToolSettings& settings, int32_t dryMode);

}  // namespace varnel

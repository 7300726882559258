// ComposeDab and FinishDab: the scalar reference written from the rules, and the dispatch to
// the vector path.

#include "brush/dab_compose.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "brush/colour_mask.h"
#include "brush/dab_compose_p.h"
#include "core/blend.h"
#include "core/colour_convert.h"
#include "platform/fast_paths.h"

namespace varnel {
namespace {

int32_t ClampOpacity(int32_t opacity) { return std::clamp(opacity, 0, 256); }

int32_t Channel(uint32_t pixel, int shift) { return static_cast<int32_t>((pixel >> shift) & 0xFF); }

// The rounded 8-bit product (a × b + 127) / 255.
int32_t Mul(int32_t a, int32_t b) { return (a * b + 127) / 255; }

// One colour channel of the per-channel rules; layer value o, paint value s.
int32_t ChannelTarget(int32_t rule, int32_t o, int32_t s) {
  switch (rule) {
    case kComposeMultiply:
      return Mul(o, s);
    case kComposeScreen:
      return 255 - Mul(255 - o, 255 - s);
    case kComposeAdd:
      return std::min(255, o + s);
    case kComposeSubtract:
      return std::max(0, o - s);
    case kComposeLighter:
      return std::max(o, s);
    case kComposeDarker:
      return std::min(o, s);
    case kComposeOverlay: {
      // scr − floor((scr − mul) × o / 256); scr >= mul, so the shift is a plain floor.
      const int32_t screen = 255 - Mul(255 - o, 255 - s);
      return screen - (((screen - Mul(o, s)) * o) >> 8);
    }
    default:
      return s;
  }
}

// The layer blend mode with the same formula as a compose rule, for the vector targets.
int32_t LayerModeOfRule(int32_t rule) {
  static constexpr BlendMode kModes[kComposeRuleCount] = {
      BlendMode::kNormal,  BlendMode::kMultiply, BlendMode::kScreen, BlendMode::kAdd,
      BlendMode::kSubtract, BlendMode::kLighten, BlendMode::kDarken, BlendMode::kOverlay,
      BlendMode::kColour,  BlendMode::kHue,      BlendMode::kSaturation, BlendMode::kLightness};
  return ModeNumber(kModes[rule]);
}

int32_t NormalisedRule(int32_t rule) { return rule >= 0 && rule < kComposeRuleCount ? rule : kComposeNormal; }

void ApplyColourMask(size_t count, const uint32_t* old, uint8_t* mask, const ColourMask* colourMask) {
  if (colourMask == nullptr) return;
  for (size_t i = 0; i < count; ++i)
    if (mask[i] != 0 && !colourMask->Accepts(old[i])) mask[i] = 0;
}

}  // namespace

int32_t ComposeRuleFromBlendMode(int32_t blendMode) {
  return blendMode >= 0 && blendMode < kComposeRuleCount ? blendMode : kComposeNormal;
}

bool UsingVectorDabPath() { return UseAvx2Paths(); }

namespace dab_reference {

uint32_t RuleTarget(int32_t rule, uint32_t old, uint32_t paint) {
  rule = NormalisedRule(rule);
  uint32_t out = old;
  if (rule >= kComposeColour) {
    const HlsColour layer = RgbToHls(old);
    const HlsColour colour = RgbToHls(paint);
    HlsColour mixed = layer;
    switch (rule) {
      case kComposeColour:
        mixed = {colour.hue, layer.lightness, colour.saturation};
        break;
      case kComposeHue:
        mixed = {colour.hue, layer.lightness, layer.saturation};
        break;
      case kComposeSaturation:
        mixed = {layer.hue, layer.lightness, colour.saturation};
        break;
      default:  // lightness
        mixed = {layer.hue, colour.lightness, layer.saturation};
        break;
    }
    uint8_t bytes[4];
    std::memcpy(bytes, &out, 4);
    HlsToRgb(mixed, bytes);
    std::memcpy(&out, bytes, 4);
    return out;
  }
  out &= 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8)
    out |= static_cast<uint32_t>(ChannelTarget(rule, Channel(old, shift), Channel(paint, shift))) << shift;
  return out;
}

void ComposeDab(size_t count, uint32_t* result, const uint32_t* old, const uint32_t* colour, uint8_t* mask,
                int32_t opacity, int32_t rule, const ColourMask* colourMask, bool affectAlpha) {
  opacity = ClampOpacity(opacity);
  ApplyColourMask(count, old, mask, colourMask);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t o = old[i];
    if (mask[i] == 0) {
      result[i] = o;
      continue;
    }
    const int32_t m = (mask[i] * opacity) / 256 + 1;
    const int32_t a = Channel(o, 24);
    const int32_t newAlpha = a + (((255 - a) * m + 127) >> 8);
    const int32_t k = std::min(256, (255 * m) / newAlpha);
    const uint32_t t = RuleTarget(rule, o, colour[i]);
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const int32_t c = Channel(o, shift);
      // An arithmetic shift: a negative product rounds toward minus infinity.
      out |= static_cast<uint32_t>(c + (((Channel(t, shift) - c) * k) >> 8)) << shift;
    }
    if (affectAlpha) {
      out |= static_cast<uint32_t>(newAlpha) << 24;
    } else if (a == 0) {
      out = o;
    } else {
      out |= o & 0xFF000000u;
    }
    result[i] = out;
  }
}

void FinishDab(size_t count, const uint32_t* old, uint32_t* result, int32_t opacity, const ColourMask* colourMask,
               bool affectAlpha) {
  opacity = ClampOpacity(opacity);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t o = old[i];
    const uint32_t r = result[i];
    if (colourMask != nullptr && !colourMask->Accepts(o)) {
      result[i] = o;
      continue;
    }
    const int32_t a = Channel(o, 24);
    if (affectAlpha && opacity == 256) continue;
    if (!affectAlpha && a == 0) {
      result[i] = o;
      continue;
    }
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const int32_t c = Channel(o, shift);
      out |= static_cast<uint32_t>(c + (((Channel(r, shift) - c) * opacity) >> 8)) << shift;
    }
    if (affectAlpha) {
      out |= static_cast<uint32_t>(a + (((Channel(r, 24) - a) * opacity) >> 8)) << 24;
      if (a == 0) out = (out & 0xFF000000u) | (r & 0x00FFFFFFu);
    } else {
      out |= o & 0xFF000000u;
    }
    result[i] = out;
  }
}

}  // namespace dab_reference

void ComposeDab(size_t count, uint32_t* result, const uint32_t* old, const uint32_t* colour, uint8_t* mask,
                int32_t opacity, int32_t rule, const ColourMask* colourMask, bool affectAlpha) {
  if (!UseAvx2Paths()) {
    dab_reference::ComposeDab(count, result, old, colour, mask, opacity, rule, colourMask, affectAlpha);
    return;
  }
  opacity = ClampOpacity(opacity);
  rule = NormalisedRule(rule);
  ApplyColourMask(count, old, mask, colourMask);
  const uint32_t* targets = colour;
  if (rule != kComposeNormal) {
    // The layer modes of the same formulas give the targets; the result buffer holds them
    // until the mix overwrites each one.
    BlendColours(LayerModeOfRule(rule), old, colour, result, count);
    targets = result;
  }
  dab_avx2::MixTowardTargets(count, result, old, targets, mask, opacity, affectAlpha, WeightTable());
}

void FinishDab(size_t count, const uint32_t* old, uint32_t* result, int32_t opacity, const ColourMask* colourMask,
               bool affectAlpha) {
  if (!UseAvx2Paths() || colourMask != nullptr) {
    dab_reference::FinishDab(count, old, result, opacity, colourMask, affectAlpha);
    return;
  }
  dab_avx2::FinishDab(count, old, result, ClampOpacity(opacity), affectAlpha);
}

}  // namespace varnel

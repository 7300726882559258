#pragma once
// Mixing a dab into the old pixels under it. ComposeDab lays a colour through a mask with one
// of the brush's 12 compose rules (the kinds that paint a colour); FinishDab mixes a kernel's
// result with the old pixels by the dab opacity (the kinds that filter). Both honour the
// colour mask and the affect-alpha flag. Pixels are 0xAARRGGBB, not premultiplied.
//
// The normal rule and FinishDab have a vector path; the tests hold it to the scalar
// reference, which stays in the tree. VARNEL_FORCE_REFERENCE=1 selects the reference.

#include <cstddef>
#include <cstdint>

namespace varnel {

class ColourMask;

// The compose rules, in the order of the custom brush's "合成モード" list.
enum ComposeRule : int32_t {
  kComposeNormal = 0,
  kComposeMultiply = 1,
  kComposeScreen = 2,
  kComposeAdd = 3,
  kComposeSubtract = 4,
  kComposeLighter = 5,
  kComposeDarker = 6,
  kComposeOverlay = 7,
  kComposeColour = 8,
  kComposeHue = 9,
  kComposeSaturation = 10,
  kComposeLightness = 11,
};
inline constexpr int32_t kComposeRuleCount = 12;

// The custom brush's blend mode (0…11) as a compose rule; anything else composes normally.
int32_t ComposeRuleFromBlendMode(int32_t blendMode);

// For count pixels: result = old, except where the mask (after the colour mask cleared the
// bytes of pixels it rejects) is not 0: m = mask × opacity / 256 + 1, the new alpha
// A' = A + ((255 − A) × m + 127) >> 8, the weight k = min(256, 255 × m / A'), and each colour
// channel c moves to c + floor((t − c) × k / 256) toward the rule's target t; alpha becomes A'.
// Without affect alpha, pixels whose old alpha is 0 stay whole and the others keep their alpha.
// opacity is taken in 0…256; a rule outside 0…11 composes normally. mask is modified.
void ComposeDab(size_t count, uint32_t* result, const uint32_t* old, const uint32_t* colour, uint8_t* mask,
                int32_t opacity, int32_t rule, const ColourMask* colourMask, bool affectAlpha);

// For count pixels, mixes the kernel's result with the old pixels in place by opacity (0…256):
// pixels the colour mask rejects become the old pixel; without affect alpha a pixel whose old
// alpha is 0 becomes the old pixel, the others keep the old alpha and move each colour
// channel o + floor((r − o) × opacity / 256); with affect alpha nothing changes at opacity 256,
// otherwise alpha moves the same way and the colour only where the old alpha was not 0.
void FinishDab(size_t count, const uint32_t* old, uint32_t* result, int32_t opacity, const ColourMask* colourMask,
               bool affectAlpha);

// True when the vector path is in use.
bool UsingVectorDabPath();

namespace dab_reference {
// The target t of a rule for one pixel pair (blue, green, red of the result; alpha of old).
uint32_t RuleTarget(int32_t rule, uint32_t old, uint32_t paint);
void ComposeDab(size_t count, uint32_t* result, const uint32_t* old, const uint32_t* colour, uint8_t* mask,
                int32_t opacity, int32_t rule, const ColourMask* colourMask, bool affectAlpha);
void FinishDab(size_t count, const uint32_t* old, uint32_t* result, int32_t opacity, const ColourMask* colourMask,
               bool affectAlpha);
}  // namespace dab_reference

}  // namespace varnel

#pragma once
// The 27 blend modes and the per-pixel arithmetic that puts an upper layer's pixels onto
// lower ones: the merge frame (alpha-aware, used by merging and by layers with masks) and the
// display frame (onto the opaque composite). Every result is defined to the bit; the fast
// paths are proven equal to the scalar reference by the tests.
//
// Pixels are 0xAARRGGBB words (bytes blue, green, red, alpha), not premultiplied. All entry
// points take runs of pixels.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varnel {

inline constexpr int32_t kBlendModeCount = 27;

// A layer's blend mode. The number is what files, the network and scripts carry; a stored
// number outside 0…26 is kept as it is (and blends nothing).
enum class BlendMode : int32_t {
  kNormal, kMultiply, kScreen, kAdd, kSubtract, kLighten, kDarken, kDarkerColour, kLighterColour,
  kAnd, kOr, kXor, kDivide, kOverlay, kColour, kHue, kSaturation, kLightness, kLightnessAdd,
  kLightnessSubtract, kSaturationAdd, kSaturationSubtract, kOverlay2, kDodge, kBurn, kHardLight, kSoftLight,
};

// The mode's number, as the kernels index their tables with it.
constexpr int32_t ModeNumber(BlendMode mode) { return static_cast<int32_t>(mode); }

struct BlendModeEntry {
  BlendMode mode;
  std::string_view name;
  bool wholePixel;  // the result depends on all three channels (sums or HLS), not per channel
};

inline constexpr std::array<BlendModeEntry, kBlendModeCount> kBlendModes{{
    {BlendMode::kNormal, "合成", false},
    {BlendMode::kMultiply, "乗算", false},
    {BlendMode::kScreen, "スクリーン", false},
    {BlendMode::kAdd, "加算", false},
    {BlendMode::kSubtract, "減算", false},
    {BlendMode::kLighten, "明るく", false},
    {BlendMode::kDarken, "暗く", false},
    {BlendMode::kDarkerColour, "濃度(濃)", true},
    {BlendMode::kLighterColour, "濃度(薄)", true},
    {BlendMode::kAnd, "論理積", false},
    {BlendMode::kOr, "論理和", false},
    {BlendMode::kXor, "排他的論理和", false},
    {BlendMode::kDivide, "除算", false},
    {BlendMode::kOverlay, "オーバーレイ", false},
    {BlendMode::kColour, "カラー", true},
    {BlendMode::kHue, "色相", true},
    {BlendMode::kSaturation, "彩度", true},
    {BlendMode::kLightness, "明度", true},
    {BlendMode::kLightnessAdd, "明度加算", true},
    {BlendMode::kLightnessSubtract, "明度減算", true},
    {BlendMode::kSaturationAdd, "彩度加算", true},
    {BlendMode::kSaturationSubtract, "彩度減算", true},
    {BlendMode::kOverlay2, "オーバーレイ2", false},
    {BlendMode::kDodge, "覆い焼き", false},
    {BlendMode::kBurn, "焼きこみ", false},
    {BlendMode::kHardLight, "ハードライト", false},
    {BlendMode::kSoftLight, "ソフトライト", false},
}};
static_assert(std::size(kBlendModes) == 27);
// A mode's row is its number.
static_assert([] {
  for (int32_t i = 0; i < kBlendModeCount; ++i)
    if (ModeNumber(kBlendModes[static_cast<size_t>(i)].mode) != i) return false;
  return true;
}());

// Exact comparison against the names in table order; an unknown name is mode 0.
BlendMode BlendModeFromName(std::string_view name);
// The name of a mode 0…26; empty for any other number.
std::string_view BlendModeName(BlendMode mode);
bool IsWholePixelMode(BlendMode mode);

// The process-wide tables. MUL (256 x 256, MUL[b][s] = (b × s + 127) / 255) and CLAMP (1024)
// are built by InitBlendTables at start-up (and on first use if nobody did); WEIGHT (257 x 256
// signed 16-bit, WEIGHT[j][k] = min(256, 255 × j / k)) is built by the first merge call and
// released by ReleaseBlendTables at exit.
void InitBlendTables();
void ReleaseBlendTables();
const uint8_t* MulTable();     // index b * 256 + s
const uint8_t* ClampTable();   // 1024 entries
const int16_t* WeightTable();  // index j * 256 + k

// The merge frame's opacity weight O = opacity × 256 / 100 (100 → 256, 50 → 128, 1 → 2).
int32_t OpacityWeight(int32_t opacity);
// A layer's opacity table: entry i = i × opacity / 100, entry 255 raised to 256 when it is 255.
void BuildOpacityTable(int32_t opacity, int32_t table[256]);
// The opacity 0…100 whose BuildOpacityTable gives exactly this table; -1 for any other table.
int32_t OpacityOfTable(const int32_t table[256]);

// Coverage of a row of an upper layer: its alpha bytes, then each enabled mask row in turn
// (c becomes ((m + 1) × c) >> 8).
void CoverageFromAlpha(const uint32_t* upper, uint8_t* coverage, size_t n);
void ApplyMaskCoverage(const uint8_t* maskRow, uint8_t* coverage, size_t n);

// The blended colour F of every pixel pair (blue, green, red); the alpha byte is the lower
// pixel's. A mode outside 0…26 gives the lower pixel.
void BlendColours(int32_t mode, const uint32_t* lower, const uint32_t* upper, uint32_t* out, size_t n);

// Merge frame over a run: out may alias lower. A mode outside 0…26 copies lower unchanged.
void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n);
// Display frame over a run, in place on the composite; its alpha bytes are not written. A mode
// outside 0…26 changes nothing.
void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n);

// DisplayRun with a table that OpacityOfTable found to be opacity's: the same result, with the
// weights computed instead of looked up pixel by pixel.
void DisplayRunAtOpacity(int32_t mode, uint32_t* destination, const uint32_t* upper,
                         const int32_t opacityTable[256], int32_t opacity, size_t n);

// One layer of a DisplayStack: its mode, its pixels over the run, its opacity table, and the
// opacity OpacityOfTable found for that table (-1 when it found none: the table is read).
struct DisplayLayer {
  int32_t mode;
  const uint32_t* upper;
  const int32_t* opacityTable;
  int32_t opacity;
};
// The display frame of several layers in turn over one run, the first one lowest: the same as
// DisplayRun (DisplayRunAtOpacity) of each in order, in a single pass over destination.
void DisplayStack(uint32_t* destination, const DisplayLayer* layers, size_t count, size_t n);

// True when VARNEL_FORCE_REFERENCE=1 made the reference the path in use.
bool UsingReferenceBlend();

// The scalar reference, written straight from the rules. It stays for the tests and the
// benchmarks to hold the fast paths against.
namespace blend_reference {
uint8_t Channel(int32_t mode, uint8_t b, uint8_t s);  // per-channel modes only
void BlendColours(int32_t mode, const uint32_t* lower, const uint32_t* upper, uint32_t* out, size_t n);
void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n);
void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n);
}  // namespace blend_reference

}  // namespace varnel

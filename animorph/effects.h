#pragma once
// Animorph's twelve transition effects, Qt-free. Animorph.so wraps them in the exports of
// sdk/varnel_effect.h; the tests and the benchmarks call them here.
//
// Pictures are the effect contract's: 32-bit BGRA pixels, rows bottom-up, width × 4 bytes apart.
// Rows are counted from the top below. W and H are the smaller of the two widths and heights.

#include <array>
#include <cstdint>
#include <string_view>

#include "sdk/varnel_effect.h"

namespace varnel::animorph {

inline constexpr int32_t kEffectCount = 12;

enum EffectType : int32_t {
  kFadeIn = 0,
  kFadeOut = 1,
  kWipeIn = 2,
  kWipeOut = 3,
  kEnlarge = 4,
  kRotate = 5,
  kSineWave = 6,
  kMosaic = 7,
  kBlinds = 8,
  kLineSlide = 9,
  kBlur = 10,
  kSnow = 11,
};

// The effect's name (UTF-8), or empty outside 0 … 11.
std::string_view EffectName(int32_t type);

inline constexpr int32_t kEnlargeDefaultPercent = 200;

// The snow's state: 50 flakes falling one step per frame, and a round mask per flake size.
struct SnowFlake {
  double base = 0;   // horizontal position the flake sways about
  double y = 0;      // vertical position, rows from the top
  int32_t size = 4;  // 4 … 15: the mask it is drawn with
  double phase = 0;  // of the sway
};

struct SnowObject {
  static constexpr int32_t kFlakes = 50;
  static constexpr int32_t kMinSize = 4;
  static constexpr int32_t kMaxSize = 15;
  std::array<SnowFlake, kFlakes> flakes;
  // masks[size − kMinSize]: size × size BGRA pixels, top row first.
  std::array<uint32_t*, kMaxSize - kMinSize + 1> masks{};
};

// A new object for types 4 and 11 (drawing the flakes with the program's rand()), null for the
// others and when memory runs out. Free it with DeleteEffectObject.
void* CreateEffectObject(int32_t type);
void DeleteEffectObject(int32_t type, void* object);

// One picture as the effect contract hands it over.
struct EffectPicture {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* bits = nullptr;  // the bottom row first
};

// Renders frame k of n of effect type. Answers -1 and writes nothing for a width or height
// below 1, a picture over 2 GiB, null pixels, n < 1, k outside 0 … n or an unknown type; the
// enlargement also without an object or with a percent of 99 or less. opacity may be null.
int32_t ExecEffect(int32_t type, void* object, EffectPicture destination, EffectPicture source, int32_t k, int32_t n,
                   int32_t* opacity);

// The same from the contract's headers: null headers are bad sizes.
int32_t ExecEffect(int32_t type, void* object, const VarnelBitmapInfoHeader* destinationHeader, void* destinationPixels,
                   const VarnelBitmapInfoHeader* sourceHeader, const void* sourcePixels, int32_t k, int32_t n,
                   int32_t* opacity);

// ExecEffect on pictures through the scalar reference of every effect, written straight from
// the rules. ExecEffect takes it too when VARNEL_FORCE_REFERENCE=1; otherwise the enlargement,
// the rotation and the blur take fast paths (SSE2, the rows split over two threads for large
// pictures) that give the same bytes.
int32_t ExecReferenceEffect(int32_t type, void* object, EffectPicture destination, EffectPicture source, int32_t k,
                            int32_t n, int32_t* opacity);

}  // namespace varnel::animorph

// Chooses the kernels once: the fast ones, or the reference when VARNEL_FORCE_REFERENCE=1.

#include <algorithm>

#include "core/blend.h"
#include "core/blend/blend_p.h"
#include "platform/fast_paths.h"

namespace varnel {
namespace {

struct Kernels {
  decltype(&blend_reference::MergeRun) merge;
  decltype(&blend_reference::DisplayRun) display;
  decltype(&blend_avx2::DisplayRunAtOpacity) displayAtOpacity;
  decltype(&blend_avx2::DisplayStack) displayStack;
};

// Kernels without a computed-weight path read the table, which holds the same weights.
template <decltype(&blend_reference::DisplayRun) kDisplay>
void ThroughTable(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256], int32_t,
                  size_t n) {
  kDisplay(mode, destination, upper, opacityTable, n);
}

// Kernels without a stack path run the layers one after the other.
template <decltype(&blend_reference::DisplayRun) kDisplay>
void LayerByLayer(uint32_t* destination, const DisplayLayer* layers, size_t count, size_t n) {
  for (size_t i = 0; i < count; ++i) kDisplay(layers[i].mode, destination, layers[i].upper, layers[i].opacityTable, n);
}

Kernels Choose() {
  if (ForceReferencePaths())
    return {&blend_reference::MergeRun, &blend_reference::DisplayRun, &ThroughTable<&blend_reference::DisplayRun>,
            &LayerByLayer<&blend_reference::DisplayRun>};
  if (UseAvx2Paths())
    return {&blend_avx2::MergeRun, &blend_avx2::DisplayRun, &blend_avx2::DisplayRunAtOpacity, &blend_avx2::DisplayStack};
  return {&blend_fast::MergeRun, &blend_fast::DisplayRun, &ThroughTable<&blend_fast::DisplayRun>,
          &LayerByLayer<&blend_fast::DisplayRun>};
}

const Kernels& Active() {
  static const Kernels kernels = Choose();
  return kernels;
}

// The weight indexes WEIGHT's rows: keep it to what an opacity of 0…100 can give, so a bad
// opacity from a file or a script cannot read outside the table.
int32_t SafeWeight(int32_t opacityWeight) { return std::clamp(opacityWeight, 0, 256); }

}  // namespace

bool UsingReferenceBlend() { return Active().merge == &blend_reference::MergeRun; }

void BlendColours(int32_t mode, const uint32_t* lower, const uint32_t* upper, uint32_t* out, size_t n) {
  blend_reference::BlendColours(mode, lower, upper, out, n);
}

void MergeRun(int32_t mode, const uint32_t* lower, const uint32_t* upper, const uint8_t* coverage,
              int32_t opacityWeight, uint32_t* out, size_t n) {
  Active().merge(mode, lower, upper, coverage, SafeWeight(opacityWeight), out, n);
}

void DisplayRun(int32_t mode, uint32_t* destination, const uint32_t* upper, const int32_t opacityTable[256],
                size_t n) {
  Active().display(mode, destination, upper, opacityTable, n);
}

void DisplayRunAtOpacity(int32_t mode, uint32_t* destination, const uint32_t* upper,
                         const int32_t opacityTable[256], int32_t opacity, size_t n) {
  if (opacity < 0 || opacity > 100) return Active().display(mode, destination, upper, opacityTable, n);
  Active().displayAtOpacity(mode, destination, upper, opacityTable, opacity, n);
}

void DisplayStack(uint32_t* destination, const DisplayLayer* layers, size_t count, size_t n) {
  if (count == 0) return;
  // An opacity the table was not found to have would be trusted by the computed weights.
  for (size_t i = 0; i < count; ++i)
    if (layers[i].opacity > 100) return LayerByLayer<&varnel::DisplayRun>(destination, layers, count, n);
  Active().displayStack(destination, layers, count, n);
}

}  // namespace varnel

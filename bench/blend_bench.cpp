// Blend kernels over a 4096 x 4096 picture with random alpha, in pixels per second: every
// mode in the display frame and the merge frame, our reference and fast paths, pixman's
// nearest operator in the same run, and a plain read-read-write pass as the memory ceiling.
// Compare items_per_second of BM_Display/<mode> or BM_Merge/<mode> with BM_Pixman/<op>.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <random>
#include <vector>

#include "core/blend.h"

namespace {

constexpr int kSide = 4096;
constexpr size_t kPixels = size_t{kSide} * kSide;

struct Picture {
  std::vector<uint32_t> lower, upper;
  std::vector<uint8_t> coverage;
  Picture() : lower(kPixels), upper(kPixels), coverage(kSide) {
    std::mt19937 random(4096);
    for (size_t i = 0; i < kPixels; ++i) {
      lower[i] = random() | 0xFF000000u;  // the composite is opaque
      upper[i] = random();                // random alpha
    }
  }
};

Picture& Shared() {
  static Picture picture;
  return picture;
}

void Display(benchmark::State& state, bool reference) {
  const int mode = static_cast<int>(state.range(0));
  Picture& p = Shared();
  varnel::InitBlendTables();
  int32_t table[256];
  varnel::BuildOpacityTable(80, table);
  for (auto _ : state) {
    for (size_t row = 0; row < kPixels; row += kSide) {
      if (reference)
        varnel::blend_reference::DisplayRun(mode, &p.lower[row], &p.upper[row], table, kSide);
      else
        varnel::DisplayRun(mode, &p.lower[row], &p.upper[row], table, kSide);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kPixels));
  state.SetLabel(std::string(varnel::BlendModeName(varnel::BlendMode{mode})));
}

void Merge(benchmark::State& state, bool reference) {
  const int mode = static_cast<int>(state.range(0));
  Picture& p = Shared();
  varnel::InitBlendTables();
  std::vector<uint32_t> out(kSide);
  for (auto _ : state) {
    for (size_t row = 0; row < kPixels; row += kSide) {
      varnel::CoverageFromAlpha(&p.upper[row], p.coverage.data(), kSide);
      if (reference)
        varnel::blend_reference::MergeRun(mode, &p.lower[row], &p.upper[row], p.coverage.data(), 205, out.data(), kSide);
      else
        varnel::MergeRun(mode, &p.lower[row], &p.upper[row], p.coverage.data(), 205, out.data(), kSide);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kPixels));
  state.SetLabel(std::string(varnel::BlendModeName(varnel::BlendMode{mode})));
}

// One row of 4096 pixels over and over, in the cache: what the arithmetic of a mode costs
// when memory does not hold it back, as for a composite row going through a stack of layers.
void BM_DisplayInCache(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  Picture& p = Shared();
  varnel::InitBlendTables();
  int32_t table[256];
  varnel::BuildOpacityTable(80, table);
  std::vector<uint32_t> row(p.lower.begin(), p.lower.begin() + kSide);
  for (auto _ : state) {
    varnel::DisplayRunAtOpacity(mode, row.data(), p.upper.data(), table, 80, kSide);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSide);
  state.SetLabel(std::string(varnel::BlendModeName(varnel::BlendMode{mode})));
}

void BM_Display(benchmark::State& state) { Display(state, false); }
void BM_Merge(benchmark::State& state) { Merge(state, false); }
void BM_DisplayReference(benchmark::State& state) { Display(state, true); }
void BM_MergeReference(benchmark::State& state) { Merge(state, true); }

struct PixmanOp {
  pixman_op_t op;
  const char* name;
};
constexpr PixmanOp kPixmanOps[] = {
    {PIXMAN_OP_OVER, "OVER"},           {PIXMAN_OP_ADD, "ADD"},
    {PIXMAN_OP_MULTIPLY, "MULTIPLY"},   {PIXMAN_OP_SCREEN, "SCREEN"},
    {PIXMAN_OP_OVERLAY, "OVERLAY"},     {PIXMAN_OP_DARKEN, "DARKEN"},
    {PIXMAN_OP_LIGHTEN, "LIGHTEN"},     {PIXMAN_OP_COLOR_DODGE, "COLOR_DODGE"},
    {PIXMAN_OP_COLOR_BURN, "COLOR_BURN"}, {PIXMAN_OP_HARD_LIGHT, "HARD_LIGHT"},
    {PIXMAN_OP_SOFT_LIGHT, "SOFT_LIGHT"}, {PIXMAN_OP_HSL_HUE, "HSL_HUE"},
    {PIXMAN_OP_HSL_SATURATION, "HSL_SATURATION"}, {PIXMAN_OP_HSL_COLOR, "HSL_COLOR"},
    {PIXMAN_OP_HSL_LUMINOSITY, "HSL_LUMINOSITY"},
};

void BM_Pixman(benchmark::State& state) {
  const PixmanOp& op = kPixmanOps[state.range(0)];
  Picture& p = Shared();
  std::vector<uint32_t> destination = p.lower;
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, p.upper.data(), kSide * 4);
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, destination.data(), kSide * 4);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(op.op, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kSide, kSide);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kPixels));
  state.SetLabel(op.name);
}

// Reads two pictures and writes one: what memory allows a blend pass at most.
void BM_PlainReadReadWrite(benchmark::State& state) {
  Picture& p = Shared();
  std::vector<uint32_t> destination = p.lower;
  for (auto _ : state) {
    const uint32_t* s = p.upper.data();
    uint32_t* d = destination.data();
    for (size_t i = 0; i < kPixels; ++i) d[i] = d[i] | s[i];
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kPixels));
}

BENCHMARK(BM_PlainReadReadWrite)->Unit(benchmark::kMillisecond)->MinTime(0.3);
BENCHMARK(BM_Pixman)->DenseRange(0, static_cast<int>(std::size(kPixmanOps)) - 1)->Unit(benchmark::kMillisecond)->MinTime(0.3);
BENCHMARK(BM_Display)->DenseRange(0, 26)->Unit(benchmark::kMillisecond)->MinTime(0.3);
BENCHMARK(BM_DisplayInCache)->DenseRange(0, 26)->Unit(benchmark::kMicrosecond)->MinTime(0.1);
BENCHMARK(BM_Merge)->DenseRange(0, 26)->Unit(benchmark::kMillisecond)->MinTime(0.3);
BENCHMARK(BM_DisplayReference)->Arg(0)->Arg(1)->Arg(14)->Arg(26)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MergeReference)->Arg(0)->Arg(1)->Arg(14)->Arg(26)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

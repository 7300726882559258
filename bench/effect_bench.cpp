// Animorph's effects on a 1920 × 1080 frame at the middle frame of 32 (the blur's 16 × 16
// window, the enlargement at 200 %). Goal: under 8 ms a frame each, two effects per 60 Hz frame.
// BM_Effect takes the fast paths (unless VARNEL_FORCE_REFERENCE=1), BM_ReferenceEffect the
// scalar reference of the effects that have them.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "animorph/effects.h"

namespace {

using namespace varnel::animorph;

constexpr int32_t kWidth = 1920, kHeight = 1080;

using Exec = int32_t (*)(int32_t, void*, EffectPicture, EffectPicture, int32_t, int32_t, int32_t*);

void RunEffect(benchmark::State& state, Exec exec) {
  const int32_t type = static_cast<int32_t>(state.range(0));
  std::mt19937 random(7);  // fixed seed
  std::vector<uint32_t> src(static_cast<size_t>(kWidth) * kHeight), dst(src.size());
  for (uint32_t& p : src) p = random();
  void* object = CreateEffectObject(type);
  if (type == kEnlarge) static_cast<VarnelEnlargeObject*>(object)->percent = 200;
  const EffectPicture d{kWidth, kHeight, reinterpret_cast<uint8_t*>(dst.data())};
  const EffectPicture s{kWidth, kHeight, reinterpret_cast<uint8_t*>(src.data())};
  int32_t opacity = 0;
  for (auto _ : state) {
    exec(type, object, d, s, 16, 32, &opacity);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetLabel(std::string(EffectName(type)));
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  DeleteEffectObject(type, object);
}

void BM_Effect(benchmark::State& state) { RunEffect(state, ExecEffect); }
BENCHMARK(BM_Effect)->DenseRange(0, kEffectCount - 1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReferenceEffect(benchmark::State& state) { RunEffect(state, ExecReferenceEffect); }
BENCHMARK(BM_ReferenceEffect)->Arg(kEnlarge)->Arg(kRotate)->Arg(kBlur)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

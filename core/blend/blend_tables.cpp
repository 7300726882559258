// Blend mode names, the process-wide lookup tables, opacity and coverage.

#include <atomic>
#include <cstring>
#include <mutex>

#include "core/blend.h"
#include "core/blend/blend_p.h"

namespace varnel {
namespace {

std::once_flag g_tablesOnce;
uint8_t g_mul[256 * 256];
uint8_t g_clamp[1024];

std::mutex g_weightMutex;
std::atomic<int16_t*> g_weight{nullptr};

void BuildTables() {
  for (int b = 0; b < 256; ++b)
    for (int s = 0; s < 256; ++s) g_mul[b * 256 + s] = static_cast<uint8_t>((b * s + 127) / 255);
  // 0…255: 0; 256 + i: i + 1 (1…255, then 0); 512…767: 0…255; 768…1023: 255.
  for (int i = 0; i < 256; ++i) {
    g_clamp[i] = 0;
    g_clamp[256 + i] = static_cast<uint8_t>(i + 1);
    g_clamp[512 + i] = static_cast<uint8_t>(i);
    g_clamp[768 + i] = 255;
  }
}

}  // namespace

BlendMode BlendModeFromName(std::string_view name) {
  for (const BlendModeEntry& entry : kBlendModes)
    if (entry.name == name) return entry.mode;
  return BlendMode::kNormal;
}

std::string_view BlendModeName(BlendMode mode) {
  const int32_t n = ModeNumber(mode);
  return n >= 0 && n < kBlendModeCount ? kBlendModes[static_cast<size_t>(n)].name : std::string_view();
}

bool IsWholePixelMode(BlendMode mode) {
  const int32_t n = ModeNumber(mode);
  return n >= 0 && n < kBlendModeCount && kBlendModes[static_cast<size_t>(n)].wholePixel;
}

void InitBlendTables() { std::call_once(g_tablesOnce, BuildTables); }

const uint8_t* MulTable() {
  InitBlendTables();
  return g_mul;
}

const uint8_t* ClampTable() {
  InitBlendTables();
  return g_clamp;
}

const int16_t* WeightTable() {
  if (int16_t* table = g_weight.load(std::memory_order_acquire)) return table;
  std::lock_guard lock(g_weightMutex);
  if (int16_t* table = g_weight.load(std::memory_order_relaxed)) return table;
  // Row 0 and column 0 are never read; one entry of padding lets vector code read the last
  // entry as 32 bits.
  auto* table = new int16_t[257 * 256 + 2];
  std::memset(table, 0, sizeof(int16_t) * (257 * 256 + 2));
  for (int j = 1; j <= 256; ++j)
    for (int k = 1; k < 256; ++k) {
      const int w = (255 * j) / k;
      table[j * 256 + k] = static_cast<int16_t>(w < 256 ? w : 256);
    }
  g_weight.store(table, std::memory_order_release);
  return table;
}

void ReleaseBlendTables() {
  {
    std::lock_guard lock(g_weightMutex);
    delete[] g_weight.exchange(nullptr);
  }
  blend_fast::ReleaseTables();
}

int32_t OpacityWeight(int32_t opacity) { return (opacity * 256) / 100; }

void BuildOpacityTable(int32_t opacity, int32_t table[256]) {
  for (int32_t i = 0; i < 256; ++i) table[i] = (i * opacity) / 100;
  if (table[255] == 255) table[255] = 256;
}

int32_t OpacityOfTable(const int32_t table[256]) {
  // Entry 100 is the opacity itself in every table BuildOpacityTable makes.
  const int32_t opacity = table[100];
  if (opacity < 0 || opacity > 100) return -1;
  // Compared without a branch per entry: this runs for every layer of every composition.
  bool same = true;
  for (int32_t i = 0; i < 255; ++i) same &= table[i] == (i * opacity) / 100;
  const int32_t last = (255 * opacity) / 100;
  same &= table[255] == (last == 255 ? 256 : last);
  return same ? opacity : -1;
}

void CoverageFromAlpha(const uint32_t* upper, uint8_t* coverage, size_t n) {
  for (size_t i = 0; i < n; ++i) coverage[i] = static_cast<uint8_t>(upper[i] >> 24);
}

void ApplyMaskCoverage(const uint8_t* maskRow, uint8_t* coverage, size_t n) {
  for (size_t i = 0; i < n; ++i)
    coverage[i] = static_cast<uint8_t>(((maskRow[i] + 1u) * coverage[i]) >> 8);
}

}  // namespace varnel

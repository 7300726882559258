// Saving and opening a 10-layer 4096 × 4096 document as a layer file, with the status-bar
// progress on, against plain write() and read() of the same bytes in the same run.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "document/layer_file.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "platform/host.h"

namespace {

using varnel::Layer;

constexpr int32_t kSide = 4096;
constexpr int32_t kLayers = 10;
constexpr size_t kLayerBytes = size_t{kSide} * kSide * 4;

// A host that formats every progress text, as the status bar would receive it.
class CountingHost : public varnel::ConsoleHost {
 public:
  void SetStatusText(std::string_view text) override {
    last.assign(text);
    ++texts;
  }
  void SetProgress(int percent) override { gauge = percent; }
  std::string last;
  int64_t texts = 0;
  int gauge = 0;
};

CountingHost& Host() {
  static CountingHost* host = [] {
    auto* h = new CountingHost;
    varnel::SetHost(h);
    return h;
  }();
  return *host;
}

std::string Folder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnel-layer-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  return folder;
}

struct Document {
  varnel::LayerList layers;
  varnel::LayerRefs refs;
  varnel::ImageSurface composite;
};

Document& SharedDocument() {
  static Document* document = [] {
    varnel::TuneAllocatorForPainting();
    FXCreateMemBlock(1032);
    auto* d = new Document;
    std::mt19937 random(7);
    for (int32_t i = 0; i < kLayers; ++i) {
      auto layer = std::make_unique<Layer>();
      layer->Create({kSide, kSide});
      auto* words = reinterpret_cast<uint32_t*>(layer->Bits());
      for (size_t p = 0; p < size_t{kSide} * kSide; ++p) words[p] = random();
      layer->SetName("レイヤ" + std::to_string(i + 1));
      d->refs.push_back(layer.get());
      d->layers.push_back(std::move(layer));
    }
    d->composite.Create({kSide, kSide});
    return d;
  }();
  return *document;
}

const std::string& SavedFile() {
  static const std::string path = [] {
    Document& d = SharedDocument();
    const std::string p = Folder() + "/saved.vlb";
    varnel::WriteLayerFile(p, d.refs, kSide, kSide, d.composite, varnel::GridSettings{});
    return p;
  }();
  return path;
}

void BM_SaveLayerFile(benchmark::State& state) {
  Document& d = SharedDocument();
  Host();
  const std::string path = Folder() + "/save.vlb";
  for (auto _ : state) {
    varnel::WriteLayerFile(path, d.refs, kSide, kSide, d.composite, varnel::GridSettings{});
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kLayerBytes);
  unlink(path.c_str());
}

// The same bytes written with write() to a new file, one call per layer.
void BM_PlainWrite(benchmark::State& state) {
  Document& d = SharedDocument();
  const std::string path = Folder() + "/plain.bin";
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    for (const auto& layer : d.layers) {
      const uint8_t* bytes = layer->Bits();
      size_t left = kLayerBytes;
      while (left > 0) {
        const ssize_t n = write(fd, bytes, left);
        if (n <= 0) std::abort();
        bytes += n;
        left -= static_cast<size_t>(n);
      }
    }
    close(fd);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kLayerBytes);
  unlink(path.c_str());
}

// The same bytes written to a new file beside the target and renamed over it: what replacing a
// file without ever leaving it half-written costs by itself.
void BM_PlainWriteAndRename(benchmark::State& state) {
  Document& d = SharedDocument();
  const std::string path = Folder() + "/plain-renamed.bin";
  const std::string temporary = path + ".new";
  for (auto _ : state) {
    const int fd = open(temporary.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    for (const auto& layer : d.layers) {
      const uint8_t* bytes = layer->Bits();
      size_t left = kLayerBytes;
      while (left > 0) {
        const ssize_t n = write(fd, bytes, left);
        if (n <= 0) std::abort();
        bytes += n;
        left -= static_cast<size_t>(n);
      }
    }
    close(fd);
    if (rename(temporary.c_str(), path.c_str()) != 0) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kLayerBytes);
  unlink(path.c_str());
}

void BM_OpenLayerFile(benchmark::State& state) {
  const std::string& path = SavedFile();
  Host();
  for (auto _ : state) {
    varnel::LayerList layers;
    varnel::Size canvas{};
    varnel::GridSettings grid;
    if (varnel::ReadLayerFile(path, layers, canvas, grid) != 0 || layers.size() != kLayers) std::abort();
    benchmark::DoNotOptimize(layers.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kLayerBytes);
}

// The same file read with read() into memory that is already in use (the most favourable case).
void BM_PlainRead(benchmark::State& state) {
  const std::string& path = SavedFile();
  std::vector<std::unique_ptr<uint8_t[]>> buffers;
  for (int32_t i = 0; i < kLayers; ++i) {
    buffers.emplace_back(new uint8_t[kLayerBytes]);
    std::memset(buffers.back().get(), 0, kLayerBytes);
  }
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    for (auto& buffer : buffers) {
      size_t got = 0;
      while (got < kLayerBytes) {
        const ssize_t n = read(fd, buffer.get() + got, kLayerBytes - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
    }
    close(fd);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kLayers} * kLayerBytes);
}

BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWriteAndRename)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveLayerFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenLayerFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

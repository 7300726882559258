#pragma once
// The main of the benchmarks that drive the real view: Qt on the offscreen platform (unless
// QT_QPA_PLATFORM names another), the blend tables and the undo spill writer running.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "core/blend.h"
#include "core/undo.h"
#include "shell/varnel_doc.h"

namespace varnel {

// A new picture of the size, or null with the benchmark marked as failed.
inline std::unique_ptr<CVarnelDoc> NewBenchDocument(benchmark::State& state, Size size) {
  auto doc = std::make_unique<CVarnelDoc>();
  if (doc->OnNewDocument(size)) return doc;
  state.SkipWithError("no memory for the picture");
  return nullptr;
}

inline int RunViewBenchmarks(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  InitBlendTables();
  StartSpillWriter();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  StopSpillWriter();
  ReleaseBlendTables();
  return 0;
}

}  // namespace varnel

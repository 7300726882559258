#pragma once
// The main of the benchmarks that drive the real view: Qt on the offscreen platform (unless
// QT_QPA_PLATFORM names another), the blend tables and the undo spill writer running.

#include <benchmark/benchmark.h>

#include <QApplication>

#include "core/blend.h"
#include "core/undo.h"

namespace varnel {

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

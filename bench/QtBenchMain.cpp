// The main of the benchmarks that draw widgets: Qt's application exists before the first
// benchmark runs and outlives the last.
#include <benchmark/benchmark.h>

#include "gui/QtApp.h"

int main(int argc, char** argv) {
  kestrio::testing::qtApp();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

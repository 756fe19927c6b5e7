// Pass-2 planning speed: a pass-2 start on a 10,000-entry log of a shaky
// clip (log read, four smoothed channels, adaptive zoom, transforms).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "planning/log_reader.h"
#include "platform/file_io.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/log_files.h"

namespace {

void BM_PlanTenThousandEntries(benchmark::State& state) {
  const std::string path = "/tmp/quiventa_plan_bench.log";
  testing_support::writeTextFile(path, testing_support::shakyLogText(10000, 8, 0.8));

  testing_support::CFilterInstance instance;
  instance.setSourceSize(1280, 720);
  InstanceData& data = instance.data();
  data.pass = 2;
  *data.logFilePath = path;
  for (auto _ : state) {
    data.logFileTime = 0;  // plan again, as after a confirmed settings change
    startProc(&instance.fa(), nullptr);
    benchmark::DoNotOptimize(data.plannedFrameCount);
    endProc(&instance.fa(), nullptr);
  }
}
BENCHMARK(BM_PlanTenThousandEntries)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading a log whose labels descend (each line lies before entry 0): must
// take about as long as reading the same lines in ascending order.
void BM_ReadLogLabels(benchmark::State& state) {
  const bool descending = state.range(0) != 0;
  const int lines = 300000;
  std::string text;
  char line[96];
  for (int i = 1; i <= lines; ++i) {
    const int label = descending ? lines + 1 - i : i;
    std::snprintf(line, sizeof line, "%7d\t%7.2f\t%7.2f\t%7.3f\t%7.5f\r\n", label, 0.5, -0.25, 0.01,
                  1.0);
    text += line;
  }
  testing_support::CFilterInstance instance;
  for (auto _ : state) {
    RMotionSeries series;
    parseLogText(instance.data(), text.data(), text.size(), series);
    benchmark::DoNotOptimize(series.panX.data());
  }
}
BENCHMARK(BM_ReadLogLabels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

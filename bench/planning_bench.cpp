// Pass-2 planning speed: a pass-2 start on a 10,000-entry log of a shaky
// clip (log read, four smoothed channels, adaptive zoom, transforms).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "platform/file_io.h"
#include "plugin/end_callback.h"
#include "plugin/start_callback.h"
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

}  // namespace

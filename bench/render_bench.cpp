// Pass-2 speed: whole frames through the host callbacks, per resampling
// mode, with and without previous/future frames, on one and on all threads.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "bench/bench_frames.h"
#include "platform/device_context.h"
#include "platform/file_io.h"
#include "plugin/common/module_state.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/log_files.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CFilterInstance;

// Args: width, height, resampling, neighbour frames (0/1), threads.
void BM_Pass2Frame(benchmark::State& state) {
  const long width = state.range(0), height = state.range(1);
  const int threads = static_cast<int>(state.range(4));
  const int frames = 400;
  const std::string log = "/tmp/quiventa_render_bench.log";
  testing_support::writeTextFile(log, testing_support::shakyLogText(frames, 3, 1.0));
  CFilterInstance instance;
  module_state::processorCount = threads;
  InstanceData& data = instance.data();
  data.pass = 2;
  *data.logFilePath = log;
  data.resampling = static_cast<int>(state.range(2));
  data.usePreviousFrames = data.useFutureFrames = static_cast<int>(state.range(3));
  data.previousFrames = data.futureFrames = 10;
  instance.setSourceSize(width, height);
  const testing_support::CSmoothTexture texture(4, 9.0);
  renderFrame(instance.src(), [&](double x, double y) { return texture.sample(x, y); });
  paramProc(&instance.fa(), nullptr);
  instance.useDrawableDestination();
  startProc(&instance.fa(), nullptr);
  long frame = 0;
  // Past the first output frames, which only announce the delay.
  for (; frame < 12; ++frame) {
    instance.state().lCurrentSourceFrame = frame;
    runProc(&instance.fa(), nullptr);
  }
  for (auto _ : state) {
    instance.state().lCurrentSourceFrame = frame;
    frame = (frame + 1) % frames;
    runProc(&instance.fa(), nullptr);
  }
  endProc(&instance.fa(), nullptr);
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void pass2Arguments(benchmark::internal::Benchmark* b) {
  for (auto size : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
    for (int resampling : {0, 1, 2}) {
      for (int neighbours : {0, 1}) {
        for (int threads : {1, 2})
          b->Args({size.first, size.second, resampling, neighbours, threads});
      }
    }
  }
}
BENCHMARK(BM_Pass2Frame)
    ->Apply(pass2Arguments)
    ->ArgNames({"w", "h", "resampling", "neighbours", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

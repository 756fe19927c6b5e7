// Pass-1 speed: one block match, and whole frames through the host callbacks.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "analysis/analysed_image.h"
#include "analysis/block_matching.h"
#include "bench/bench_frames.h"
#include "plugin/common/module_state.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CFilterInstance;
using testing_support::COwnedBitmap;
using testing_support::CSmoothTexture;

void loadShifted(CVideoImage& image, const CSmoothTexture& texture, double shiftX, int rgb) {
  COwnedBitmap bitmap;
  bitmap.allocate(image.width, image.height);
  renderFrame(bitmap.bitmap,
              [&](double x, double y) { return texture.sample(x + shiftX, y + 0.25); });
  image.rgb = rgb;
  loadAnalysedImage(image, bitmap.bitmap);
}

// One refined-level block with the default settings: 30 x 30, every 4th
// pixel, search range 4.
void BM_MatchBlock(benchmark::State& state) {
  const int rgb = static_cast<int>(state.range(0));
  const CSmoothTexture texture(5);
  CVideoImage current, previous;
  current.create(320, 240, rgb);
  previous.create(320, 240, rgb);
  loadShifted(current, texture, 0.0, rgb);
  loadShifted(previous, texture, 1.3, rgb);
  RMatchRequest request;
  request.bx = 120, request.by = 90, request.bw = 30, request.bh = 30;
  request.px = 121, request.py = 90, request.rx = 4, request.ry = 4;
  request.mMin = 0.3, request.mSep = 0.004, request.step = 2, request.darkPercent = 15.0;
  for (auto _ : state) {
    double ox = 0, oy = 0;
    benchmark::DoNotOptimize(matchBlock(current, previous, request, &ox, &oy));
  }
}
BENCHMARK(BM_MatchBlock)->Arg(1)->Arg(0)->ArgName("rgb");

// Whole pass-1 frames (default settings, no video output), frames per second.
void BM_Pass1Frame(benchmark::State& state) {
  const long width = state.range(0), height = state.range(1);
  module_state::processorCount = static_cast<int>(state.range(2));
  CFilterInstance instance;
  module_state::processorCount = static_cast<int>(state.range(2));
  instance.setSourceSize(width, height);
  InstanceData& data = instance.data();
  data.videoOutput = 0;
  *data.logFilePath = "/dev/null";
  const CSmoothTexture texture(9, 9.0);
  COwnedBitmap frames[2];
  for (int i = 0; i < 2; ++i) {
    frames[i].allocate(width, height);
    renderFrame(frames[i].bitmap,
                [&](double x, double y) { return texture.sample(x + 2.5 * i, y - 1.25 * i); });
  }
  startProc(&instance.fa(), nullptr);
  long frame = 0;
  // The first frame has nothing to match; time only frames that do.
  for (; frame < 2; ++frame) {
    instance.src() = frames[frame % 2].bitmap;
    instance.state().lCurrentSourceFrame = frame;
    runProc(&instance.fa(), nullptr);
  }
  for (auto _ : state) {
    instance.src() = frames[frame % 2].bitmap;
    instance.state().lCurrentSourceFrame = frame++;
    runProc(&instance.fa(), nullptr);
  }
  endProc(&instance.fa(), nullptr);
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Pass1Frame)
    ->Args({1280, 720, 1})
    ->Args({1280, 720, 2})
    ->Args({1920, 1080, 1})
    ->Args({1920, 1080, 2})
    ->ArgNames({"w", "h", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

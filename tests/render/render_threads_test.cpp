// Rendering one output frame on several worker threads: every destination
// pixel is the source seen through the transform, and the result does not
// depend on the number of threads. Small frames, so that the suite stays
// quick under ThreadSanitizer (CI runs the suites named *Thread* there).
#include "render/render_threads.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/row_tables.h"
#include "render/samplers.h"
#include "tests/support/kernel_sets.h"
#include "tests/support/render_fixtures.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CBorderTableScope;
using testing_support::CPlanEntries;
using testing_support::RRenderTarget;

const testing_support::CSmoothTexture kTexture(21, 5.0);

// Entry i shows the texture moved by (1.7 i, -0.9 i) pixels; its maps to the
// neighbours undo the difference.
double offsetX(int i) { return 1.7 * i; }
double offsetY(int i) { return -0.9 * i; }

testing_support::PixelFunction frameOf(int i) {
  return [i](int x, int row) { return kTexture.sample(x + offsetX(i), row + offsetY(i)); };
}

// Entries around `output`, each holding its frame; the output entry's
// transform rotates by 3 degrees, zooms by 1.04 and shifts, so that borders
// appear on every side.
struct RScene {
  RScene(int w, int h, int count = 5, int output = 2)
      : target(w, h, w, h), plans(count), output(output) {
    for (int i = 0; i < count; ++i) {
      plans.holdFrame(i, w, h, frameOf(i));
      testing_support::setShift(plans[i].toPrevious, offsetX(i) - offsetX(i - 1),
                                offsetY(i) - offsetY(i - 1));
      testing_support::setShift(plans[i].toNext, offsetX(i) - offsetX(i + 1),
                                offsetY(i) - offsetY(i + 1));
    }
    target.source.fill(frameOf(output));
    const double angle = 3.0 * 0.017453292519943295, zoom = 1.04;
    const double c = zoom * std::cos(angle), s = zoom * std::sin(angle);
    const double cx = w / 2.0, cy = h / 2.0;
    testing_support::setAffineMap(plans[output].transform, cx - c * cx + s * cy + 3.3,
                                  cy - s * cx - c * cy - 2.6, c, s, -s, c);
  }

  // A rolling-shutter clip: per-row maps for the output frame and between
  // the neighbours.
  void addRowTables() {
    const int h = static_cast<int>(target.source.bitmap().h),
              w = static_cast<int>(target.source.bitmap().w);
    const REdgeSet top{0.8, -0.4, 0.2, 1.01}, bottom{-0.6, 0.3, -0.1, 0.995};
    // Entries free their tables with delete[].
    auto newTable = [h] { return std::make_unique<RRowTableItem[]>(3 * std::size_t(h)).release(); };
    plans[output].currentRowTable = newTable();
    buildRowTable(w, h, top, bottom, 1.0, 0, 0, plans[output].currentRowTable);
    for (int i = 0; i < plans.size(); ++i) {
      const REdgeSet previousTop{offsetX(i) - offsetX(i - 1) + 0.3, -0.9, 0.1, 1.0};
      const REdgeSet previousBottom{offsetX(i) - offsetX(i - 1) - 0.3, -0.9, -0.1, 1.0};
      plans[i].previousRowTable = newTable();
      buildRowTable(w, h, previousTop, previousBottom, 1.0, 0, 0, plans[i].previousRowTable);
      plans[i].nextRowTable = newTable();
      buildRowTableInverse(w, h, previousTop, previousBottom, 1.0, 0, 1, plans[i].nextRowTable);
    }
  }

  RRenderTarget target;
  CPlanEntries plans;
  int output;
};

struct RCase {
  int resampling;
  bool frameSearch, soft, extrapolate, rowTables;
  int entries = 5;  // held frames, the output in the middle
};

std::vector<std::uint32_t> render(RScene& scene, const RCase& c, int threads) {
  scene.target.destination.fill([](int, int) { return 0x77777777u; });
  renderFrame(&scene.target.activation, scene.plans.data(),
              {.outputEntry = scene.output,
               .lastEntry = static_cast<int>(scene.plans.size()) - 1,
               .resampling = c.resampling,
               .noFrameSearch = !c.frameSearch,
               .extrapolate = c.extrapolate,
               .soft = c.soft,
               .widthX = 3,
               .widthY = 3,
               .threadCount = threads});
  EXPECT_TRUE(scene.target.destination.guardsIntact());
  return scene.target.destination.pixels();
}

// The destination a single pass over the pixels would give when no pixel
// looks at other frames: the source at the transform of each pixel.
std::vector<std::uint32_t> expectedWithoutEdgeWork(RScene& scene, int resampling) {
  const RFramePlan& entry = scene.plans[scene.output];
  const RFrameView source = RFrameView::of(scene.target.source.bitmap());
  const VFBitmap& destination = scene.target.destination.bitmap();
  const std::int64_t* a = entry.transform;
  std::vector<std::uint32_t> result;
  for (int y = 0; y < destination.h; ++y) {
    for (int x = 0; x < destination.w; ++x) {
      std::int64_t X = a[0] + x * a[2] + y * a[4], Y = a[1] + x * a[3] + y * a[5];
      if (entry.currentRowTable != nullptr)
        applyRowTable(entry.currentRowTable, source.height, X, Y, &X, &Y);
      result.push_back(sampleFrame(source, resampling, X, Y));
    }
  }
  return result;
}

class RenderThreadCountTest : public ::testing::TestWithParam<RCase> {
 protected:
  void SetUp() override { buildBicubicWeights(-0.6); }
};

// The plain kernels on 1, 2, 4 and 7 threads and every vector set on 1, 2
// and 4 give one destination. Without frame search and border work it is
// the source at each pixel's transform (97 x 63 = 6111 pixels: the last run
// is 111 pixels long and runs cross rows); with them, some pixels differ.
TEST_P(RenderThreadCountTest, DestinationIsIdenticalForAnyThreadCount) {
  const RCase& c = GetParam();
  RScene scene(97, 63, c.entries, c.entries / 2);
  if (c.rowTables) scene.addRowTables();
  const CBorderTableScope borders(97, 63);
  std::vector<std::uint32_t> single;
  {
    testing_support::CKernelSetScope plain(platform::KernelSet::kPlain);
    single = render(scene, c, 1);
    for (int threads : {2, 4, 7})
      EXPECT_EQ(render(scene, c, threads), single) << threads << " threads";
  }
  for (platform::KernelSet set : testing_support::vectorKernelSets()) {
    testing_support::CKernelSetScope scope(set);
    for (int threads : {1, 2, 4})
      EXPECT_EQ(render(scene, c, threads), single)
          << platform::kernelSetName(set) << ", " << threads << " threads";
  }
  if (c.frameSearch || c.soft || c.extrapolate) {
    EXPECT_NE(single, expectedWithoutEdgeWork(scene, c.resampling));
  } else {
    EXPECT_EQ(single, expectedWithoutEdgeWork(scene, c.resampling));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RenderThreadCountTest,
    ::testing::Values(RCase{0, false, false, false, false}, RCase{1, false, false, false, false},
                      RCase{2, false, false, false, false}, RCase{0, false, false, false, true},
                      RCase{1, false, false, false, true}, RCase{2, false, false, false, true},
                      RCase{0, true, false, false, false}, RCase{1, true, false, true, false},
                      RCase{2, true, false, true, false}, RCase{2, true, true, false, false},
                      RCase{1, true, true, true, false}, RCase{2, false, false, true, false},
                      RCase{2, false, true, true, false}, RCase{2, true, true, true, true},
                      RCase{0, true, false, true, true},
                      // Enough frames for the soft blend's stop.
                      RCase{1, true, true, false, false, 45}),
    [](const auto& info) {
      const RCase& c = info.param;
      return "Resampling" + std::to_string(c.resampling) +
             (c.frameSearch ? "Neighbours" : "Alone") + (c.soft ? "Soft" : "Hard") +
             (c.extrapolate ? "Extrapolated" : "") + (c.rowTables ? "RowTables" : "") +
             (c.entries != 5 ? std::to_string(c.entries) + "Frames" : "");
    });

}  // namespace

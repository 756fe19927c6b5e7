// The pass-2 frame callback through the host callbacks: which entry is shown,
// the message frames while future frames are collected or when a frame lies
// outside the log, the window of held frame copies, and interlaced fields.
#include "render/pass2_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "plugin/common/frame_plan.h"
#include "plugin/filter/filter_callbacks.h"
#include "tests/support/pass2_runner.h"
#include "tests/support/planning_fixtures.h"

namespace {

using testing_support::COwnedBitmap;
using testing_support::CPass2Run;
using testing_support::stillLog;

struct RLine {
  std::string text;
  platform::COLORREF colour;
  int top, bottomFromEnd;
};

// A black picture with the lines drawn as the filter is meant to draw them:
// 9-point Verdana, black background, centred in rectangles across the whole
// width, bottoms measured from the frame height.
std::vector<std::uint32_t> expectedMessage(int width, int height, std::ptrdiff_t pitch,
                                           const std::vector<RLine>& lines) {
  COwnedBitmap picture;
  picture.allocate(width, height, pitch);
  platform::CDeviceContext dc(picture.bitmap.data, width, height, pitch);
  platform::CFont font;
  EXPECT_TRUE(font.createPointFont(90, "Verdana")) << "no font to draw the message with";
  dc.setBkColor(0);
  dc.selectFont(&font);
  for (const RLine& line : lines) {
    dc.setTextColor(line.colour);
    dc.drawText(line.text, platform::RRect{0, line.top, width, height - line.bottomFromEnd},
                platform::DT_CENTER | platform::DT_VCENTER | platform::DT_SINGLELINE);
  }
  return testing_support::pixelsOf(picture.bitmap);
}

std::vector<RLine> waitingLines(int frames, int milliseconds) {
  return {{"Quiventa:", 0xFFFFFF, 0, 70},
          {"Output is delayed " + std::to_string(frames) + " frames", 0xD0D0D0, 20, 50},
          {"to collect \"future\" frames", 0xD0D0D0, 35, 35},
          {"Audio should be delayed " + std::to_string(milliseconds) + " ms", 0xD0D0D0, 55, 15},
          {"to maintain audio/video sync", 0xD0D0D0, 70, 0}};
}

const std::vector<RLine> kNotProcessedLines = {
    {"Quiventa:", 0xFFFFFF, 0, 20}, {"This frame was not processed in pass 1", 0xD0D0D0, 20, 0}};

TEST(Pass2DriverTest, ThirtyFutureFramesDelayTheOutputBehindMessageFrames) {
  const int w = 200, h = 150;
  CPass2Run run(w, h, stillLog(40, false), [](InstanceData& d) {
    d.edgeCompensation = 0;  // a still log then gives identity transforms
    d.useFutureFrames = 1;
    d.futureFrames = 30;
  });
  const std::vector<std::uint32_t> message =
      expectedMessage(w, h, run.output().pitch, waitingLines(30, 1200));
  const std::vector<std::uint32_t> otherCount =
      expectedMessage(w, h, run.output().pitch, waitingLines(31, 1200));
  const std::vector<std::uint32_t> otherDelay =
      expectedMessage(w, h, run.output().pitch, waitingLines(30, 1240));
  ASSERT_NE(otherCount, message);
  ASSERT_NE(otherDelay, message);

  for (long n = 0; n < 30; ++n) {
    std::fill_n(run.output().data, w * h, 0x12345678);  // rows without padding
    run.frame(n);
    EXPECT_EQ(run.outputPixels(), message) << "frame " << n;
  }
  // Then frame i of the input, for every logged frame.
  for (long n = 30; n <= 70; ++n) {
    run.frame(n);
    EXPECT_EQ(run.outputPixels(), run.sourcePixels(n - 30)) << "frame " << n;
  }
  // Frame 71 would show entry 41, which the log does not have.
  run.frame(71);
  EXPECT_EQ(run.outputPixels(), expectedMessage(w, h, run.output().pitch, kNotProcessedLines));
  EXPECT_EQ(run.data().framesProcessed, 72);
}

TEST(Pass2DriverTest, HeldFramesFollowTheWindowAndASeekFreesTheRest) {
  CPass2Run run(48, 32, stillLog(30, false), [](InstanceData& d) {
    d.edgeCompensation = 0;  // a still log then gives identity transforms
    d.usePreviousFrames = d.useFutureFrames = 1;
    d.previousFrames = 3;
    d.futureFrames = 2;
  });
  const auto window = [](int first, int last) {
    std::set<int> s;
    for (int i = first; i <= last; ++i) s.insert(i);
    return s;
  };
  for (int n = 0; n < 10; ++n) {
    run.frame(n);
    EXPECT_EQ(run.heldEntries(), window(std::max(0, n - 2 - 3), n)) << "frame " << n;
  }
  // Each copy is the frame that arrived with it.
  const RFrameCopy& copy = *run.data().framePlans[7].frameBitmap;
  EXPECT_EQ(testing_support::pixelsOf(copy.bitmap), run.sourcePixels(7));
  EXPECT_EQ(copy.bitmap.hdc, nullptr);
  EXPECT_NE(copy.bitmap.data, run.instance().src().data);

  // Jump back: everything outside the new window goes; entry 0 was freed
  // long ago, so the output waits for it in vain.
  run.frame(2);
  EXPECT_EQ(run.heldEntries(), window(2, 2));
  EXPECT_EQ(run.outputPixels(), expectedMessage(48, 32, run.output().pitch, waitingLines(2, 80)));
  run.frame(3);
  EXPECT_EQ(run.heldEntries(), window(2, 3));
  run.frame(4);
  EXPECT_EQ(run.outputPixels(), run.sourcePixels(2));
  // A jump forward frees the old frames too.
  run.frame(20);
  EXPECT_EQ(run.heldEntries(), window(20, 20));
}

TEST(Pass2DriverTest, InterlacedProgressiveOutputInterleavesFullHeightFields) {
  const int w = 64, h = 48;
  CPass2Run run(w, h, stillLog(21, true), [](InstanceData& d) {
    d.edgeCompensation = 0;  // a still log then gives identity transforms
    d.interlaced = 1;
    d.interlacedProgressive = 1;
    d.usePreviousFrames = 1;  // so that the fields are copied
    d.previousFrames = 1;
  });
  ASSERT_EQ(run.output().w, w);
  ASSERT_EQ(run.output().h, 2 * h);

  // A source whose two fields are flat but different: even stored rows red,
  // odd stored rows blue.
  VFBitmap& source = run.instance().src();
  const auto colourOf = [](int row) { return row % 2 == 0 ? 0x00C83232u : 0x003232C8u; };
  for (int row = 0; row < h; ++row) {
    for (int x = 0; x < w; ++x) testing_support::pixelAt(source, x, row) = colourOf(row);
  }
  run.instance().state().lCurrentSourceFrame = 1;
  runProc(&run.instance().fa(), nullptr);

  // Every output row shows the field of its parity, stretched to the full
  // frame height: output row r lies near field row r / 4, so rows within 8
  // of the edges see the field's edge.
  const std::vector<std::uint32_t> out = run.outputPixels();
  for (int row = 10; row < 2 * h - 10; ++row) {
    const auto first = out.begin() + static_cast<std::ptrdiff_t>(row) * w;
    EXPECT_EQ(std::vector<std::uint32_t>(first + 2, first + w - 2),
              std::vector<std::uint32_t>(w - 4, colourOf(row)))
        << "row " << row;
  }

  // The copies are compact images of one field each: the first field of a
  // frame with upperFieldFirst off is the field of stored rows 0, 2, 4, ...
  for (int field = 0; field < 2; ++field) {
    const RFrameCopy* copy = run.data().framePlans[2 + field].frameBitmap;
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->bitmap.h, h / 2);
    EXPECT_EQ(copy->bitmap.pitch, source.pitch);
    EXPECT_EQ(testing_support::pixelsOf(copy->bitmap),
              std::vector<std::uint32_t>(w * h / 2, colourOf(field)))
        << "field " << field;
  }
}

}  // namespace

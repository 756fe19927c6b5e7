// The border settings on a generated shaky clip after a real pass 1: what
// fills the area that the correction uncovers. Leaves PNGs of every variant
// in the test output folder for a person to look at.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "plugin/module_state.h"
#include "tests/support/pass1_runner.h"
#include "tests/support/pass2_runner.h"
#include "tests/support/planning_fixtures.h"
#include "tests/support/png_writer.h"
#include "tools/clipgen/command_line.h"

namespace {

using qvclip::RFrame;
using testing_support::RPass2Output;

constexpr int kFrames = 30;
constexpr int kNeighbours = 10;

bool isBlack(std::uint32_t pixel) { return (pixel & 0xFFFFFF) == 0; }

int blackCount(const RFrame& frame) {
  int count = 0;
  for (std::uint32_t p : frame.pixels) count += isBlack(p);
  return count;
}

int channelDifference(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  }
  return sum;
}

// Pixels at least `margin` away from the frame's edges and from every black
// pixel of `bordered`: there the current frame alone decides.
std::vector<bool> farFromBorder(const RFrame& bordered, int margin) {
  const int w = bordered.width, h = bordered.height;
  std::vector<bool> far(bordered.pixels.size(), false);
  for (int y = margin; y < h - margin; ++y) {
    for (int x = margin; x < w - margin; ++x) {
      bool clear = true;
      for (int dy = -margin; dy <= margin && clear; ++dy) {
        for (int dx = -margin; dx <= margin && clear; ++dx)
          clear = !isBlack(bordered.at(x + dx, y + dy));
      }
      far[static_cast<std::size_t>(y) * w + x] = clear;
    }
  }
  return far;
}

// One generated clip, analysed once by pass 1; pass 2 then runs with any
// settings, its output aligned with the input (frame i shows input frame i).
class CAnalysedClip {
 public:
  explicit CAnalysedClip(const std::string& variant) : variant_(variant) {
    qvclip::RClipSettings settings;
    EXPECT_TRUE(qvclip::variantSettings(variant, 320, 240, kFrames, &settings));
    generator_ = std::make_unique<qvclip::CClipGenerator>(settings);
    log_ = testing_support::runPass1(*generator_);
    logPath_ = std::string(QV_TEST_OUTPUT_DIR) + "/border_variants_" + variant + ".log";
    writeLog();
  }

  const std::string& log() const { return log_; }

  // Makes `frame` a scene start the way pass 1 logs one (neutral motion and
  // the mark), for a cut that pass 1 did not recognise.
  void markSceneStart(int frame) {
    std::string rewritten;
    for (std::size_t at = 0; at < log_.size();) {
      std::size_t end = log_.find('\n', at);
      end = end == std::string::npos ? log_.size() : end + 1;
      const std::string line = log_.substr(at, end - at);
      rewritten += std::atoi(line.c_str()) == frame
                       ? testing_support::logLine(frame, 0, 0, 0, 1, true)
                       : line;
      at = end;
    }
    log_ = rewritten;
    writeLog();
  }

  std::vector<RFrame> render(const std::function<void(InstanceData&)>& configure, int delay) const {
    RPass2Output output = testing_support::runPass2(*generator_, logPath_, configure, delay);
    std::vector<RFrame> frames(output.frames.begin() + delay, output.frames.end());
    EXPECT_EQ(frames.size(), static_cast<std::size_t>(kFrames));
    return frames;
  }

  void save(const std::string& name, const RFrame& frame) const {
    const std::string path =
        std::string(QV_TEST_OUTPUT_DIR) + "/border_" + variant_ + "_" + name + ".png";
    std::string error;
    EXPECT_TRUE(qvtest::writePng(path, frame.pixels.data(), frame.width, frame.height,
                                 frame.width * 4, 1, &error))
        << error;
  }

 private:
  void writeLog() const {
    platform::FileHandle file = platform::createFileTruncate(logPath_.c_str());
    platform::writeFile(file, log_.data(), log_.size());
    platform::closeFile(file);
  }

  std::string variant_;
  std::unique_ptr<qvclip::CClipGenerator> generator_;
  std::string log_;
  std::string logPath_;
};

void noCompensation(InstanceData& d) { d.edgeCompensation = 0; }
void fillFromNeighbours(InstanceData& d) {
  noCompensation(d);
  d.usePreviousFrames = d.useFutureFrames = 1;
  d.previousFrames = d.futureFrames = kNeighbours;
}

// Side by side, with a grey gap: 3 across, as many rows as needed.
RFrame montage(const std::vector<const RFrame*>& frames) {
  const int gap = 4, w = frames[0]->width, h = frames[0]->height;
  const int columns = 3, rows = (static_cast<int>(frames.size()) + columns - 1) / columns;
  RFrame result;
  result.width = columns * w + (columns - 1) * gap;
  result.height = rows * h + (rows - 1) * gap;
  result.pixels.assign(static_cast<std::size_t>(result.width) * result.height, 0x808080);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const int left = static_cast<int>(i % columns) * (w + gap),
              top = static_cast<int>(i / columns) * (h + gap);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        result.pixels[static_cast<std::size_t>(top + y) * result.width + left + x] =
            frames[i]->at(x, y);
      }
    }
  }
  return result;
}

// Both passes on every processor of the machine's two, to keep the suite
// quick; the output does not depend on it.
class BorderVariantsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedProcessorCount_ = module_state::processorCount;
    module_state::processorCount = 2;
  }
  void TearDown() override { module_state::processorCount = savedProcessorCount_; }

 private:
  int savedProcessorCount_ = 1;
};

TEST_F(BorderVariantsTest, ShakyClip) {
  const CAnalysedClip clip("shaky");
  const std::vector<RFrame> adaptive = clip.render({}, 0);
  const std::vector<RFrame> none = clip.render(noCompensation, 0);
  const std::vector<RFrame> filled = clip.render(fillFromNeighbours, kNeighbours);
  const std::vector<RFrame> soft = clip.render(
      [](InstanceData& d) {
        fillFromNeighbours(d);
        d.softBorders = 1;
      },
      kNeighbours);
  const std::vector<RFrame> extrapolated = clip.render(
      [](InstanceData& d) {
        noCompensation(d);
        d.extrapolateColors = 1;
      },
      0);
  const std::vector<RFrame> fixedZoom =
      clip.render([](InstanceData& d) { d.edgeCompensation = 3; }, 0);

  // The frame with the largest border without compensation is the one shown.
  int shown = 0, noneBlack = 0, filledBlack = 0, softBlack = 0;
  for (int i = 0; i < kFrames; ++i) {
    if (blackCount(none[i]) > blackCount(none[shown])) shown = i;
    noneBlack += blackCount(none[i]);
    filledBlack += blackCount(filled[i]);
    softBlack += blackCount(soft[i]);
  }
  std::printf("black pixels over %d frames: none %d, filled %d, soft %d; shown frame %d (%d)\n",
              kFrames, noneBlack, filledBlack, softBlack, shown, blackCount(none[shown]));
  const char* names[] = {"a_adaptive", "b_none",         "c_filled",
                         "d_soft",     "e_extrapolated", "f_fixed_zoom"};
  const std::vector<RFrame>* variants[] = {&adaptive, &none,         &filled,
                                           &soft,     &extrapolated, &fixedZoom};
  std::vector<const RFrame*> row;
  for (int v = 0; v < 6; ++v) {
    clip.save(names[v], (*variants[v])[shown]);
    row.push_back(&(*variants[v])[shown]);
  }
  clip.save("montage", montage(row));

  // Without compensation the shake uncovers borders.
  ASSERT_GT(blackCount(none[shown]), 500);

  for (int i = 0; i < kFrames; ++i) {
    // Neighbours fill nearly all of it (a corner that no frame within 10
    // covers may stay), never adding black.
    EXPECT_LE(blackCount(filled[i]), blackCount(none[i])) << i;
    // Extrapolation and fixed zoom leave no black pixel at all.
    EXPECT_EQ(blackCount(extrapolated[i]), 0) << i;
    EXPECT_EQ(blackCount(fixedZoom[i]), 0) << i;

    // Away from the border, only the current frame counts, whatever the
    // border settings.
    const std::vector<bool> far = farFromBorder(none[i], 4);
    const std::vector<bool> farSoft = farFromBorder(none[i], 10 + 2 + 4);
    int changed = 0, changedSoft = 0;
    for (std::size_t p = 0; p < far.size(); ++p) {
      if (far[p])
        changed += (filled[i].pixels[p] != none[i].pixels[p]) +
                   (extrapolated[i].pixels[p] != none[i].pixels[p]);
      if (farSoft[p]) changedSoft += soft[i].pixels[p] != none[i].pixels[p];
    }
    EXPECT_EQ(changed, 0) << i;
    EXPECT_EQ(changedSoft, 0) << i;
  }
  EXPECT_LE(filledBlack * 20, noneBlack);

  // What the neighbours put into the uncovered area is the scene that
  // belongs there: hard and soft fills agree, and the soft blend changes the
  // transition zone only a little.
  long fillDifference = 0, fillCount = 0, rampDifference = 0, rampCount = 0;
  for (int i = 0; i < kFrames; ++i) {
    const std::vector<bool> far = farFromBorder(none[i], 3);
    for (std::size_t p = 0; p < far.size(); ++p) {
      const std::uint32_t hard = filled[i].pixels[p], blended = soft[i].pixels[p];
      if (isBlack(none[i].pixels[p]) && !isBlack(hard) && !isBlack(blended)) {
        fillDifference += channelDifference(hard, blended);
        ++fillCount;
      } else if (far[p] && blended != none[i].pixels[p]) {
        rampDifference += channelDifference(blended, none[i].pixels[p]);
        ++rampCount;
      }
    }
  }
  std::printf(
      "soft vs hard fill: %ld pixels, mean difference %.2f; blended transition pixels %ld, "
      "mean change %.2f (sum of 3 channels)\n",
      fillCount, fillCount ? static_cast<double>(fillDifference) / fillCount : 0.0, rampCount,
      rampCount ? static_cast<double>(rampDifference) / rampCount : 0.0);
  ASSERT_GT(fillCount, 1000);
  EXPECT_LT(fillDifference, 15 * fillCount);
  EXPECT_GT(rampCount, 1000);                 // soft borders do blend ...
  EXPECT_LT(rampDifference, 15 * rampCount);  // ... pictures of the same scene
}

TEST_F(BorderVariantsTest, CutClipIsNeverFilledAcrossTheSceneStart) {
  CAnalysedClip clip("cut");
  const int cut = kFrames / 2;
  // The first frame of the new scene must be a scene start in the log. Pass
  // 1 does not always see the cut at this small size (it finds a motion that
  // enough blocks agree on); what matters here is what pass 2 does with a
  // scene start, so the line is then written as pass 1 writes a cut.
  bool marked = false;
  for (const testing_support::RLoggedLine& line : testing_support::parseLoggedLines(clip.log())) {
    if (line.newScene) marked = marked || std::atoi(line.label.c_str()) == cut;
  }
  if (!marked) {
    std::printf("pass 1 did not mark the cut at frame %d; marking it in the log\n", cut);
    clip.markSceneStart(cut);
  }

  // Pass 2 keeps the actual path on both sides of a cut, so the frames
  // there have no border of their own; zooming out gives them one.
  const auto zoomedOut = [](InstanceData& d) {
    fillFromNeighbours(d);
    d.extraZoom = 0.95;  // the picture shrinks by 5 %
  };
  const std::vector<RFrame> none = clip.render(
      [&](InstanceData& d) {
        zoomedOut(d);
        d.usePreviousFrames = d.useFutureFrames = 0;
      },
      0);
  const std::vector<RFrame> previousOnly = clip.render(
      [&](InstanceData& d) {
        zoomedOut(d);
        d.useFutureFrames = 0;
      },
      0);
  const std::vector<RFrame> futureOnly = clip.render(
      [&](InstanceData& d) {
        zoomedOut(d);
        d.usePreviousFrames = 0;
      },
      kNeighbours);
  const std::vector<RFrame> both = clip.render(zoomedOut, kNeighbours);
  for (int i : {cut - 1, cut}) {
    const char* which = i < cut ? "before" : "after";
    clip.save(std::string("none_") + which, none[i]);
    clip.save(std::string("filled_") + which, both[i]);
  }

  // Both sides of the cut have borders to fill.
  ASSERT_GT(blackCount(none[cut - 1]), 100);
  ASSERT_GT(blackCount(none[cut]), 100);
  // The last frame before the cut finds nothing ahead, the first after it
  // nothing behind ...
  EXPECT_EQ(futureOnly[cut - 1].pixels, none[cut - 1].pixels);
  EXPECT_EQ(previousOnly[cut].pixels, none[cut].pixels);
  // ... so with both, each is filled from its own scene only.
  EXPECT_EQ(both[cut - 1].pixels, previousOnly[cut - 1].pixels);
  EXPECT_EQ(both[cut].pixels, futureOnly[cut].pixels);
  EXPECT_LT(blackCount(both[cut - 1]), blackCount(none[cut - 1]));
  EXPECT_LT(blackCount(both[cut]), blackCount(none[cut]));
}

}  // namespace

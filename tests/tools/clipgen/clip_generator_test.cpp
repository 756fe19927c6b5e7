#include "tools/clipgen/clip_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "tools/clipgen/command_line.h"

namespace {

using qvclip::CClipGenerator;
using qvclip::RClipSettings;
using qvclip::RFrame;
using qvclip::RMotionRecord;

struct RLuma {
  int width = 0, height = 0;
  std::vector<double> values;
  double at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
  // Bilinear, at pixel-index coordinates.
  double bilinear(double x, double y) const {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const double fx = x - ix, fy = y - iy;
    return (1 - fy) * ((1 - fx) * at(ix, iy) + fx * at(ix + 1, iy)) +
           fy * ((1 - fx) * at(ix, iy + 1) + fx * at(ix + 1, iy + 1));
  }
  static double lanczos8(double t) {
    if (std::abs(t) < 1e-12) return 1.0;
    if (std::abs(t) >= 8.0) return 0.0;
    const double p = std::numbers::pi * t;
    return 8.0 * std::sin(p) * std::sin(p / 8.0) / (p * p);
  }
};

RLuma luma(const RFrame& frame) {
  RLuma result{frame.width, frame.height, {}};
  for (std::uint32_t p : frame.pixels) {
    result.values.push_back(0.299 * ((p >> 16) & 0xFF) + 0.587 * ((p >> 8) & 0xFF) +
                            0.114 * (p & 0xFF));
  }
  return result;
}

// Sum of squared differences between the block of `current` at (x0, y0) and
// `previous` shifted by (sx, sy), interpolated with Lanczos-8 (separably): a
// band-limited picture is interpolated almost ideally, so the estimator adds
// less than 0.005 px of bias of its own (bilinear interpolation adds several
// hundredths on weakly textured blocks).
double shiftedDifference(const RLuma& previous, const RLuma& current, int x0, int y0, int size,
                         double sx, double sy) {
  const int ox = static_cast<int>(std::floor(sx)), oy = static_cast<int>(std::floor(sy));
  double wx[16], wy[16], sumX = 0.0, sumY = 0.0;
  for (int i = 0; i < 16; ++i) {
    sumX += wx[i] = RLuma::lanczos8(sx - ox + 7 - i);
    sumY += wy[i] = RLuma::lanczos8(sy - oy + 7 - i);
  }
  const int rows = size + 15;
  std::vector<double> horizontal(static_cast<std::size_t>(rows) * size);
  for (int r = 0; r < rows; ++r) {
    for (int x = 0; x < size; ++x) {
      double value = 0.0;
      for (int i = 0; i < 16; ++i)
        value += wx[i] * previous.at(x0 + x + ox - 7 + i, y0 + oy - 7 + r);
      horizontal[r * size + x] = value / sumX;
    }
  }
  double sum = 0.0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double value = 0.0;
      for (int j = 0; j < 16; ++j) value += wy[j] * horizontal[(y + j) * size + x];
      const double d = current.at(x0 + x, y0 + y) - value / sumY;
      sum += d * d;
    }
  }
  return sum;
}

// An estimator independent of the generator: the shift (dx, dy) such that the
// block of `current` at (x0, y0) matches `previous` at (x + dx, y + dy) best in
// the sum of squared differences, searched on ever finer grids (bilinear
// interpolation for the coarse steps).
void measureShift(const RLuma& previous, const RLuma& current, int x0, int y0, int size, double* dx,
                  double* dy) {
  auto ssd = [&](double sx, double sy, bool fine) {
    if (fine) return shiftedDifference(previous, current, x0, y0, size, sx, sy);
    double sum = 0.0;
    for (int y = y0; y < y0 + size; ++y) {
      for (int x = x0; x < x0 + size; ++x) {
        const double d = current.at(x, y) - previous.bilinear(x + sx, y + sy);
        sum += d * d;
      }
    }
    return sum;
  };
  double bestX = 0.0, bestY = 0.0;
  for (const auto& [step, reach] : {std::pair{1.0, 6}, std::pair{0.05, 12}, std::pair{0.005, 16}}) {
    const bool fine = step < 0.05;
    double bestSum = ssd(bestX, bestY, fine), centreX = bestX, centreY = bestY;
    for (int j = -reach; j <= reach; ++j) {
      for (int i = -reach; i <= reach; ++i) {
        const double sum = ssd(centreX + i * step, centreY + j * step, fine);
        if (sum < bestSum) bestSum = sum, bestX = centreX + i * step, bestY = centreY + j * step;
      }
    }
  }
  *dx = bestX;
  *dy = bestY;
}

RClipSettings smallClip(int width = 192, int height = 144, int frames = 8) {
  RClipSettings settings;
  settings.width = width;
  settings.height = height;
  settings.frameCount = frames;
  return settings;
}

RFrame render(const CClipGenerator& generator, int frame, int threads = 1) {
  RFrame result;
  generator.renderFrame(frame, result, threads);
  return result;
}

TEST(ClipGeneratorTest, SubPixelPansAreRenderedFaithfully) {
  for (const auto& [panX, panY] : {std::pair{0.3, 0.0}, std::pair{-0.45, 0.35}}) {
    RClipSettings settings = smallClip();
    settings.path.panX = panX;
    settings.path.panY = panY;
    const CClipGenerator generator(settings);
    const qvclip::RMotion m = generator.motionRecords()[1].motion;
    ASSERT_NEAR(m.panX, panX, 1e-12);
    ASSERT_NEAR(m.panY, panY, 1e-12);
    const RLuma previous = luma(render(generator, 0)), current = luma(render(generator, 1));
    for (int by = 0; by < 3; ++by) {
      for (int bx = 0; bx < 4; ++bx) {
        double dx, dy;
        measureShift(previous, current, 16 + 42 * bx, 16 + 40 * by, 32, &dx, &dy);
        EXPECT_NEAR(dx, panX, 0.02) << "block " << bx << "," << by;
        EXPECT_NEAR(dy, panY, 0.02) << "block " << bx << "," << by;
      }
    }
  }
}

TEST(ClipGeneratorTest, InterlacedFieldsAreHalfAFrameApart) {
  for (const bool upperFirst : {true, false}) {
    RClipSettings settings = smallClip();
    settings.interlaced = true;
    settings.upperFieldFirst = upperFirst;
    settings.path.panX = 2.0;
    settings.path.jitterPixels = 1.0;
    const CClipGenerator generator(settings);
    const RFrame frame = render(generator, 3);
    RFrame atA, atB;
    generator.renderSnapshot(3.0, atA);
    generator.renderSnapshot(3.5, atB);
    for (int y = 0; y < settings.height; ++y) {
      const bool upper = y % 2 == 0;
      const RFrame& expected = upper == upperFirst ? atA : atB;
      ASSERT_EQ(0, std::memcmp(&frame.pixels[y * frame.width], &expected.pixels[y * frame.width],
                               frame.width * 4u))
          << "row " << y;
    }
    const std::vector<RMotionRecord> records = generator.motionRecords();
    ASSERT_EQ(records.size(), 2u * settings.frameCount);
    const RMotionRecord& b = records[7];  // frame 3, field B
    EXPECT_EQ(b.frame, 3);
    EXPECT_EQ(b.field, 1);
    EXPECT_EQ(b.upperField, !upperFirst);
    const qvclip::RMotion expected =
        qvclip::motionBetween(generator.poseAt(3.0), generator.poseAt(3.5));
    EXPECT_EQ(b.motion.panX, expected.panX);
    EXPECT_EQ(b.motion.panY, expected.panY);
    EXPECT_TRUE(records[0].first);
    EXPECT_FALSE(records[1].first);
  }
}

TEST(ClipGeneratorTest, RollingShutterEdgesMoveAsTheirRowsWereTaken) {
  // A horizontal pan speeding up: rows lower down are taken later, when the
  // camera moves faster, so the bottom edge moves more than the top edge.
  RClipSettings settings = smallClip(192, 192);
  settings.path.panX = 2.0;
  settings.path.panAccelerationX = 0.5;
  settings.rollingShutterReadout = 0.9;
  const CClipGenerator generator(settings);
  const RMotionRecord record = generator.motionRecords()[3];
  ASSERT_TRUE(record.hasEdges);
  EXPECT_NEAR(record.top.panX, 3.25, 1e-9);
  EXPECT_NEAR(record.bottom.panX, 3.25 + 0.9 * 0.5, 1e-9);
  EXPECT_LT(record.top.panX, record.motion.panX);
  EXPECT_LT(record.motion.panX, record.bottom.panX);
  const RLuma previous = luma(render(generator, 2)), current = luma(render(generator, 3));
  for (const int y0 : {8, 80, 152}) {
    const double expected =
        record.top.panX + (record.bottom.panX - record.top.panX) * (y0 + 16.0) / 192.0;
    for (const int x0 : {24, 136}) {
      double dx, dy;
      measureShift(previous, current, x0, y0, 32, &dx, &dy);
      EXPECT_NEAR(dx, expected, 0.05) << "block at " << x0 << "," << y0;
      EXPECT_NEAR(dy, 0.0, 0.05) << "block at " << x0 << "," << y0;
    }
  }
}

TEST(ClipGeneratorTest, RollingShutterPointTruthIncludesTheReadoutOfVerticalMotion) {
  // With a vertical pan the previous frame took the content at another row,
  // and so at another time, than the current frame. Here the content moves
  // up: it lay lower in the previous frame, taken later, when the camera had
  // moved on, so the displacement is smaller by a factor 1 + readout * speed / H,
  // which only previousPosition() includes.
  RClipSettings settings = smallClip(192, 144);
  settings.path.panY = 6.0;
  settings.rollingShutterReadout = 0.9;
  const CClipGenerator generator(settings);
  const RMotionRecord record = generator.motionRecords()[2];
  EXPECT_NEAR(record.top.panY, 6.0, 1e-9);
  double px, py;
  generator.previousPosition(record, 96.0, 72.0, &px, &py);
  EXPECT_NEAR(py - 72.0, 6.0 / (1.0 + 0.9 * 6.0 / 144.0), 1e-6);
  const RLuma previous = luma(render(generator, 1)), current = luma(render(generator, 2));
  for (const int x0 : {20, 140}) {
    const int y0 = 40;
    generator.previousPosition(record, x0 + 16.0, y0 + 16.0, &px, &py);
    double dx, dy;
    measureShift(previous, current, x0, y0, 32, &dx, &dy);
    EXPECT_NEAR(dx, px - (x0 + 16.0), 0.02);
    EXPECT_NEAR(dy, py - (y0 + 16.0), 0.02);
    EXPECT_GT(record.top.panY - dy, 0.15);
  }
  // Without a rolling shutter the point truth is the record's similarity.
  settings.rollingShutterReadout = 0.0;
  settings.path.rotation = 0.5;
  const CClipGenerator global(settings);
  const qvclip::RMotion m = global.motionRecords()[2].motion;
  global.previousPosition(global.motionRecords()[2], 10.0, 20.0, &px, &py);
  EXPECT_NEAR(px - 10.0, m.panX + m.r * 52.0 + m.z * -86.0, 1e-9);
  EXPECT_NEAR(py - 20.0, m.panY + m.r * -86.0 - m.z * 52.0, 1e-9);
}

TEST(ClipGeneratorTest, SceneCutReplacesThePicture) {
  RClipSettings settings = smallClip();
  settings.cutFrame = 3;
  const CClipGenerator generator(settings);
  const RFrame before = render(generator, 2), cut = render(generator, 3),
               earlier = render(generator, 1);
  EXPECT_EQ(earlier.pixels, before.pixels);  // still camera, same scene
  const RLuma a = luma(before), b = luma(cut);
  double difference = 0.0;
  for (std::size_t i = 0; i < a.values.size(); ++i)
    difference += std::abs(a.values[i] - b.values[i]);
  EXPECT_GT(difference / a.values.size(), 20.0);
  const std::vector<RMotionRecord> records = generator.motionRecords();
  for (const RMotionRecord& record : records) EXPECT_EQ(record.newScene, record.frame == 3);
  EXPECT_EQ(records[3].motion.zoom, 1.0);
}

TEST(ClipGeneratorTest, ClipsDependOnlyOnTheSeed) {
  RClipSettings settings;
  ASSERT_TRUE(qvclip::variantSettings("patches", 160, 120, 10, &settings));
  settings.noiseSigma = 5.0;
  const CClipGenerator generator(settings), twin(settings);
  const RFrame frame = render(generator, 5);
  EXPECT_EQ(render(generator, 5, 3).pixels, frame.pixels);
  EXPECT_EQ(render(twin, 5).pixels, frame.pixels);
  EXPECT_EQ(twin.motionRecords()[4].motion.panX, generator.motionRecords()[4].motion.panX);
  settings.seed = 2;
  const CClipGenerator other(settings);
  EXPECT_NE(render(other, 5).pixels, frame.pixels);
  EXPECT_NE(other.motionRecords()[4].motion.panX, generator.motionRecords()[4].motion.panX);
}

TEST(ClipGeneratorTest, PatchesCoverOnlyTheirOwnArea) {
  RClipSettings settings;
  ASSERT_TRUE(qvclip::variantSettings("patches", 320, 240, 10, &settings));
  const CClipGenerator withPatches(settings);
  settings.patchCount = 0;
  const CClipGenerator without(settings);
  const int frame = 6;
  const RFrame a = render(withPatches, frame), b = render(without, frame);
  int covered = 0, coveredChanged = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      double cover = 0.0;
      for (int i = 0; i < withPatches.patches().count(); ++i) {
        const qvclip::RPatchState state = withPatches.patches().stateAt(i, frame);
        cover = std::max(cover, qvclip::CForegroundPatches::coverage(state, x, y));
      }
      if (cover == 0.0) {
        ASSERT_EQ(a.at(x, y), b.at(x, y)) << x << "," << y;
      } else if (cover > 0.999) {
        ++covered;
        coveredChanged += a.at(x, y) != b.at(x, y);
      }
    }
  }
  EXPECT_GT(covered, a.width * a.height / 20) << covered;  // the patches are a visible minority
  EXPECT_LT(covered, a.width * a.height / 3);
  EXPECT_GT(coveredChanged, covered * 9 / 10);
  EXPECT_EQ(withPatches.motionRecords()[frame].motion.panX,
            without.motionRecords()[frame].motion.panX);
}

}  // namespace

// The vector kernels of pass 1 must give the plain kernels' values exactly:
// the analysed planes and every value of the correlation table.
#include "analysis/analysis_kernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "analysis/analysed_image.h"
#include "analysis/block_matching.h"
#include "analysis/sample_image.h"
#include "plugin/common/instance_data.h"
#include "tests/support/filter_instance.h"
#include "tests/support/kernel_sets.h"

namespace {

using platform::KernelSet;
using testing_support::CKernelSetScope;
using testing_support::vectorKernelSets;

// Pictures that reach every corner of the sums: noise over the full range,
// ignored and dark pixels, saturation, flat and all-ignored areas.
void fillExtreme(CVideoImage& image, int width, int height, int rgb, std::mt19937& random) {
  image.create(width, height, rgb);
  const int kind = static_cast<int>(random() % 5);
  std::uniform_int_distribution<int> level(0, 255), percent(0, 99);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int r = level(random), g = level(random), b = level(random);
      if (kind == 1 && percent(random) < 20) g = kIgnoredPixel;
      if (kind == 1 && percent(random) < 20) r = g = b = level(random) / 8;
      if (kind == 2) r = g = b = 255;
      if (kind == 3) g = kIgnoredPixel;
      if (kind == 4) r = g = b = (x + y) % 2 ? 255 : 0;
      image.set(x, y, r, g, b);
    }
  }
}

TEST(AnalysisKernelsTest, CorrelationTablesEqualThePlainOnes) {
  std::mt19937 random(7);
  for (KernelSet set : vectorKernelSets()) {
    for (int i = 0; i < 600; ++i) {
      const int rgb = i % 2;
      CVideoImage current, previous;
      const int width = 8 + static_cast<int>(random() % 83),
                height = 4 + static_cast<int>(random() % 50);
      fillExtreme(current, width, height, rgb, random);
      fillExtreme(previous, width, height, rgb, random);
      // A third of the pairs are the same picture or its negative, whose
      // correlations of +-1 the rounding may carry past the limits.
      if (i % 3 != 2) {
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const RGBPixel a = current.at(x, y);
            auto level = [&](int v) { return i % 3 == 1 ? 255 - v : v; };
            if (a.g >= 0) previous.set(x, y, level(a.r), level(a.g), level(a.b));
          }
        }
      }
      RMatchRequest r;
      r.step = 1 + static_cast<int>(random() % 4);
      r.bw = 1 + static_cast<int>(random() % width);
      r.bh = 1 + static_cast<int>(random() % height);
      r.bx = static_cast<int>(random() % (width - r.bw + 1));
      r.by = static_cast<int>(random() % (height - r.bh + 1));
      // Predictions reaching past every border, so windows are cut or empty.
      r.px = r.bx + static_cast<int>(random() % (2 * r.bw + 21)) - r.bw - 10;
      r.py = r.by + static_cast<int>(random() % (2 * r.bh + 21)) - r.bh - 10;
      r.rx = static_cast<int>(random() % 6);
      r.ry = static_cast<int>(random() % 6);
      const double darkness[] = {0.0, 15.0, 40.0, 100.0, -30.0, -9000.0};
      r.darkPercent = darkness[random() % 6];
      const std::size_t size = static_cast<std::size_t>(2 * r.rx + 1) * (2 * r.ry + 1);

      std::vector<double> plain(size), fast(size);
      {
        CKernelSetScope scope(KernelSet::kPlain);
        correlationTable(current, previous, r, plain.data());
      }
      CKernelSetScope scope(set);
      CSampleImage samples;
      samples.build(previous, r.step, darknessThreshold(current, r.darkPercent));
      r.previousSamples = &samples;
      correlationTable(current, previous, r, fast.data());
      ASSERT_EQ(std::memcmp(plain.data(), fast.data(), size * sizeof(double)), 0)
          << platform::kernelSetName(set) << " case " << i;
    }
  }
}

// Level 0 from a bitmap, the ignore marks and the reduction, also straight to
// level 1: values that are read (every green value, red and blue where the
// pixel is not ignored) must be the plain ones.
TEST(AnalysisKernelsTest, PyramidPlanesEqualThePlainOnes) {
  std::mt19937 random(3);
  auto build = [&](KernelSet set, bool direct, const VFBitmap& source, int rgb,
                   const InstanceData& settings) {
    CKernelSetScope scope(set);
    CImagePyramid pyramid;
    for (long w = source.w, h = source.h; w >= 1 && h >= 1; w /= 2, h /= 2) {
      pyramid.push_back(std::make_unique<CVideoImage>());
      pyramid.back()->create(static_cast<int>(w), static_cast<int>(h), rgb);
    }
    if (direct && loadLevelOne(pyramid, source, settings, 3)) {
      pyramid[0]->green.clear();  // not made: left out of the comparison
      return pyramid;
    }
    loadAnalysedImage(*pyramid[0], source);
    markIgnoredAreas(*pyramid[0], settings);
    reducePyramid(pyramid);
    return pyramid;
  };
  for (KernelSet set : vectorKernelSets()) {
    for (int i = 0; i < 120; ++i) {
      testing_support::COwnedBitmap bitmap;
      // Some tall enough for bands of rows on several threads.
      bitmap.allocate(1 + random() % 150, 1 + random() % (i % 16 >= 12 ? 300 : 60), 0);
      for (Pixel32& pixel : bitmap.pixels) pixel = static_cast<Pixel32>(random());
      testing_support::CFilterInstance instance;
      InstanceData& settings = instance.data();
      settings.ignoreOutside = i % 3 == 0;
      settings.ignoreInside = i % 4 < 2;
      int* margins[] = {&settings.ignoreOutsideLeft, &settings.ignoreOutsideRight,
                        &settings.ignoreOutsideTop,  &settings.ignoreOutsideBottom,
                        &settings.ignoreInsideLeft,  &settings.ignoreInsideRight,
                        &settings.ignoreInsideTop,   &settings.ignoreInsideBottom};
      for (int* margin : margins) *margin = static_cast<int>(random() % 50) - 5;
      const int rgb = i % 2;
      const CImagePyramid plain = build(KernelSet::kPlain, false, bitmap.bitmap, rgb, settings);
      const CImagePyramid fast = build(set, i % 8 >= 4, bitmap.bitmap, rgb, settings);
      for (std::size_t level = 0; level < plain.size(); ++level) {
        const CVideoImage& a = *plain[level];
        const CVideoImage& b = *fast[level];
        if (b.green.empty()) continue;
        ASSERT_EQ(a.green, b.green) << "level " << level << " case " << i;
        for (std::size_t p = 0; rgb && p < a.green.size(); ++p) {
          if (a.green[p] < 0) continue;
          ASSERT_EQ(a.red[p], b.red[p]) << "level " << level << " case " << i;
          ASSERT_EQ(a.blue[p], b.blue[p]) << "level " << level << " case " << i;
        }
      }
    }
  }
}

}  // namespace

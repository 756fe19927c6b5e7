#include "analysis/analysed_image.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "analysis/analysis_kernels.h"
#include "analysis/analysis_threads.h"
#include "platform/kernel_set.h"
#include "platform/threads.h"
#include "plugin/common/instance_data.h"

namespace {

// The plain conversion, pixel by pixel.
void loadRowPlain(const unsigned char* row, int width, bool rgb, std::int16_t* red,
                  std::int16_t* green, std::int16_t* blue) {
  for (int x = 0; x < width; ++x) {
    const std::int32_t b = row[4 * x], g = row[4 * x + 1], r = row[4 * x + 2];
    if (rgb) {
      red[x] = static_cast<std::int16_t>(r);
      green[x] = static_cast<std::int16_t>(g);
      blue[x] = static_cast<std::int16_t>(b);
    } else {
      green[x] = static_cast<std::int16_t>((150 * g + 77 * r + 29 * b) >> 8);
    }
  }
}

bool ignoredAt(const InstanceData& settings, int x, int y, int w, int h) {
  if (settings.ignoreOutside &&
      (y < settings.ignoreOutsideTop || y > h - 1 - settings.ignoreOutsideBottom ||
       x < settings.ignoreOutsideLeft || x > w - 1 - settings.ignoreOutsideRight)) {
    return true;
  }
  return settings.ignoreInside && settings.ignoreInsideTop <= y &&
         y <= h - 1 - settings.ignoreInsideBottom && settings.ignoreInsideLeft <= x &&
         x <= w - 1 - settings.ignoreInsideRight;
}

// Marks columns [begin, end) of a row of green values, clipped to the row.
void markColumns(std::int16_t* green, long long width, long long begin, long long end) {
  begin = std::max(begin, 0LL);
  end = std::min(end, width);
  if (begin < end) std::fill(green + begin, green + end, static_cast<std::int16_t>(kIgnoredPixel));
}

// The same marks as the pixel-by-pixel test, as column ranges of image row
// `y` of a w x h image. Margins are settings, so bounds are 64-bit.
void markIgnoredRow(std::int16_t* green, int y, long long w, long long h, const InstanceData& s) {
  if (s.ignoreOutside) {
    if (y < s.ignoreOutsideTop || y > h - 1 - s.ignoreOutsideBottom) {
      markColumns(green, w, 0, w);
      return;
    }
    markColumns(green, w, 0, s.ignoreOutsideLeft);
    markColumns(green, w, w - s.ignoreOutsideRight, w);
  }
  if (s.ignoreInside && s.ignoreInsideTop <= y && y <= h - 1 - s.ignoreInsideBottom) {
    markColumns(green, w, s.ignoreInsideLeft, w - s.ignoreInsideRight);
  }
}

void reducePlain(const CVideoImage& fine, CVideoImage& coarse) {
  const bool rgb = coarse.rgb != 0;
  for (int y = 0; y < coarse.height; ++y) {
    for (int x = 0; x < coarse.width; ++x) {
      const RGBPixel a = fine.at(2 * x, 2 * y), b = fine.at(2 * x + 1, 2 * y);
      const RGBPixel c = fine.at(2 * x, 2 * y + 1), d = fine.at(2 * x + 1, 2 * y + 1);
      const std::int32_t g = (a.g + b.g + c.g + d.g) >> 2;
      if (g < 0) {
        coarse.setIgnored(x, y);
        continue;
      }
      if (rgb) {
        coarse.set(x, y, (a.r + b.r + c.r + d.r) >> 2, g, (a.b + b.b + c.b + d.b) >> 2);
      } else {
        coarse.green[coarse.indexOf(x, y)] = static_cast<std::int16_t>(g);
      }
    }
  }
}

void reduceRows(const CVideoImage& fine, CVideoImage& coarse, const RAnalysisKernels& kernels,
                int firstRow, int endRow) {
  const std::size_t fineWidth = static_cast<std::size_t>(fine.width);
  const std::size_t coarseWidth = static_cast<std::size_t>(coarse.width);
  for (int y = firstRow; y < endRow; ++y) {
    const std::size_t top = 2 * y * fineWidth, bottom = top + fineWidth, out = y * coarseWidth;
    kernels.reduceRow(&fine.green[top], &fine.green[bottom], coarse.width, &coarse.green[out],
                      true);
    if (!coarse.rgb) continue;
    kernels.reduceRow(&fine.red[top], &fine.red[bottom], coarse.width, &coarse.red[out], false);
    kernels.reduceRow(&fine.blue[top], &fine.blue[bottom], coarse.width, &coarse.blue[out], false);
  }
}

}  // namespace

void loadAnalysedImage(CVideoImage& image, const VFBitmap& source) {
  const RAnalysisKernels* kernels = analysisKernels(platform::kernelSet());
  const int width = image.width;
  const int height = image.height;
  const auto* base = reinterpret_cast<const unsigned char*>(source.data);
  for (int k = 0; k < height; ++k) {
    const unsigned char* row = base + source.pitch * k;
    const std::size_t out = static_cast<std::size_t>(height - 1 - k) * width;
    std::int16_t* red = &image.red[out];
    std::int16_t* green = &image.green[out];
    std::int16_t* blue = &image.blue[out];
    if (kernels == nullptr) {
      loadRowPlain(row, width, image.rgb != 0, red, green, blue);
    } else if (image.rgb) {
      kernels->loadRgbRow(row, width, red, green, blue);
    } else {
      kernels->loadGreyRow(row, width, green);
    }
  }
}

void markIgnoredAreas(CVideoImage& image, const InstanceData& settings) {
  if (!settings.ignoreOutside && !settings.ignoreInside) return;
  if (platform::kernelSet() != platform::KernelSet::kPlain) {
    for (int y = 0; y < image.height; ++y) {
      markIgnoredRow(&image.green[static_cast<std::size_t>(y) * image.width], y, image.width,
                     image.height, settings);
    }
    return;
  }
  const int w = image.width;
  const int h = image.height;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (ignoredAt(settings, x, y, w, h)) image.setIgnored(x, y);
    }
  }
}

void reducePyramid(CImagePyramid& pyramid, int firstLevel) {
  const RAnalysisKernels* kernels = analysisKernels(platform::kernelSet());
  for (std::size_t level = static_cast<std::size_t>(std::max(firstLevel, 1));
       level < pyramid.size(); ++level) {
    const CVideoImage& fine = *pyramid[level - 1];
    CVideoImage& coarse = *pyramid[level];
    if (!fine.created || !coarse.created) continue;
    if (kernels != nullptr) {
      reduceRows(fine, coarse, *kernels, 0, coarse.height);
    } else {
      reducePlain(fine, coarse);
    }
  }
}

namespace {

// Rows [firstRow, endRow) of level 1 from the frame, through two rows of
// level 0 at a time in a buffer that stays in the cache.
struct RLevelOneBand {
  CImagePyramid* pyramid;
  const VFBitmap* source;
  const InstanceData* settings;
  const RAnalysisKernels* kernels;
  int firstRow, endRow;
};

unsigned loadLevelOneBand(void* parameter) {
  const RLevelOneBand& band = *static_cast<const RLevelOneBand*>(parameter);
  const RAnalysisKernels& kernels = *band.kernels;
  const CVideoImage& fine = *(*band.pyramid)[0];
  CVideoImage& coarse = *(*band.pyramid)[1];
  const int width = fine.width, height = fine.height;
  const bool rgb = coarse.rgb != 0;
  const InstanceData& settings = *band.settings;
  const bool marks = settings.ignoreOutside || settings.ignoreInside;
  thread_local std::vector<std::int16_t> rows;
  rows.resize(6 * static_cast<std::size_t>(width));
  std::int16_t* red[2] = {rows.data(), rows.data() + width};
  std::int16_t* green[2] = {red[1] + width, red[1] + 2 * width};
  std::int16_t* blue[2] = {green[1] + width, green[1] + 2 * width};
  const auto* base = reinterpret_cast<const unsigned char*>(band.source->data);
  for (int y = band.firstRow; y < band.endRow; ++y) {
    for (int half = 0; half < 2; ++half) {
      const int imageRow = 2 * y + half;
      const unsigned char* row = base + band.source->pitch * (height - 1 - imageRow);
      if (rgb) {
        kernels.loadRgbRow(row, width, red[half], green[half], blue[half]);
      } else {
        kernels.loadGreyRow(row, width, green[half]);
      }
      if (marks) markIgnoredRow(green[half], imageRow, width, height, settings);
    }
    const std::size_t out = static_cast<std::size_t>(y) * coarse.width;
    kernels.reduceRow(green[0], green[1], coarse.width, &coarse.green[out], true);
    if (!rgb) continue;
    kernels.reduceRow(red[0], red[1], coarse.width, &coarse.red[out], false);
    kernels.reduceRow(blue[0], blue[1], coarse.width, &coarse.blue[out], false);
  }
  return 0;
}

}  // namespace

bool loadLevelOne(CImagePyramid& pyramid, const VFBitmap& source, const InstanceData& settings,
                  int threadCount) {
  const RAnalysisKernels* kernels = analysisKernels(platform::kernelSet());
  if (kernels == nullptr || pyramid.size() < 2) return false;
  if (!pyramid[0]->created || !pyramid[1]->created) return false;
  const int rows = pyramid[1]->height;
  // Bands of rows on the processors; each band writes only its own rows.
  // Level k + 1 row r is made of level k rows 2r and 2r + 1, so a band that
  // starts at a multiple of 2^n rows of level 1 owns whole rows of the n
  // levels above it; the last band takes what is left at every level.
  constexpr int kBandLevels = 3;
  const std::size_t lastBandLevel =
      std::min(pyramid.size() - 1, static_cast<std::size_t>(1 + kBandLevels));
  runInBands(rows, threadCount, 32, 1 << kBandLevels, [&](int first, int end) {
    RLevelOneBand band{&pyramid, &source, &settings, kernels, first, end};
    loadLevelOneBand(&band);
    const bool last = end == rows;
    for (std::size_t level = 2; level <= lastBandLevel; ++level) {
      const CVideoImage& fine = *pyramid[level - 1];
      CVideoImage& coarse = *pyramid[level];
      if (!fine.created || !coarse.created) return;
      const int shift = static_cast<int>(level) - 1;
      reduceRows(fine, coarse, *kernels, std::min(first >> shift, coarse.height),
                 last ? coarse.height : std::min(end >> shift, coarse.height));
    }
  });
  reducePyramid(pyramid, static_cast<int>(lastBandLevel) + 1);
  return true;
}

// The vector kernels of pass 1: conversion of the host's pixels into the
// analysed planes, the pyramid reduction, and the correlation sums of block
// matching. Each has a plain counterpart in analysed_image.cpp or
// block_matching.cpp that defines its result; these give the same values,
// only faster. All sums are 32-bit integers, so the order in which lanes add
// them up cannot change a result.
//
// This header is also compiled into the AVX2 translation unit, which is
// built for a processor that may not be the one running the program: it
// must therefore declare only plain aggregates and functions, nothing the
// compiler could emit as a shared inline definition.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel_set.h"

// The six sums of one offset (pooled over the channels in colour mode).
struct RCorrelationSums {
  std::int32_t n, x, y, xx, yy, xy;
};

// The current block's samples, independent of the offset, in groups of 16
// lanes: group g of sample row j lies at samples + (j * groups + g) * 80 as
// five runs of 16 values for lanes 16 g .. 16 g + 15: counts (-1 where the
// sample counts, else 0), red, green (the grey value in grey mode), blue,
// and sum (red + green + blue, or the grey value). A value is 0 where the
// sample does not count (ignored, too dark, or padding past `perRow`).
struct RBlockSamples {
  int rows;
  int perRow;
  int groups;  // per row
  const std::int16_t* samples;
  // Over whole sample rows 0 .. j - 1 of the counted samples, at index j
  // (rows + 1 values each): the samples, their sums and their squares.
  const std::int32_t* countBefore;
  const std::int32_t* sumBefore;
  const std::int32_t* squaresBefore;
};
inline constexpr int kGroupLanes = 16;
inline constexpr int kGroupValues = 5 * kGroupLanes;
enum BlockRun { kCountsRun = 0, kRedRun = 1, kGreenRun = 2, kBlueRun = 3, kSumRun = 4 };

// The partners of one offset in the previous image's sample planes, whose
// values are 0 where the partner does not count and whose `valid` plane is
// -1 where it does. Only rows [rowBegin, rowEnd) and lanes [laneBegin,
// laneEnd) of the block have partners inside the image; the partner of lane
// l in row j is at red[(j - rowBegin) * rowStride + (l - laneBegin)]
// (likewise the other planes). The planes are padded so that whole vectors
// around these can be read.
struct RWindow {
  const std::int16_t* red;
  const std::int16_t* green;
  const std::int16_t* blue;
  const std::int16_t* valid;
  std::ptrdiff_t rowStride;
  int rowBegin, rowEnd;
  int laneBegin, laneEnd;
};

struct RAnalysisKernels {
  // `count` pixels of a host row (bytes B, G, R, unused) to red, green and
  // blue values.
  void (*loadRgbRow)(const unsigned char* pixels, int count, std::int16_t* red, std::int16_t* green,
                     std::int16_t* blue);
  // ... to grey values (150 G + 77 R + 29 B) >> 8.
  void (*loadGreyRow)(const unsigned char* pixels, int count, std::int16_t* grey);
  // One coarse row of one plane from two fine rows: the sum of each 2 x 2
  // square shifted right by 2. With `marksIgnored` (the green plane) a
  // negative result becomes the ignored mark. Values of other planes at
  // ignored pixels are unspecified.
  void (*reduceRow)(const std::int16_t* top, const std::int16_t* bottom, int count,
                    std::int16_t* out, bool marksIgnored);
  // One image row of `width` pixels in the layout of CSampleImage, for a
  // step of 1 or 2: per phase the rows red, green, blue, valid (grey: green,
  // valid) at out[0], out[1], ..., (width + step - 1) / step values each.
  // Pixels count as CSampleImage says; -32767 <= threshold <= 32767.
  void (*sampleRow)(const std::int16_t* red, const std::int16_t* green, const std::int16_t* blue,
                    int width, int step, int threshold, bool rgb, std::int16_t* const* out);
  // The sums of one offset over the pairs whose samples both count.
  RCorrelationSums (*windowSums)(const RBlockSamples& block, const RWindow& window, bool rgb);
  // The correlation coefficient of each of `count` offsets, as the plain
  // kernel computes it (same double operations in the same order, lane by
  // lane): -1 with fewer than 36 samples, 0 without spread or beyond +-1.
  void (*correlations)(const RCorrelationSums* sums, int count, double* values);
};

// The kernels of a vector set; null for the plain set.
const RAnalysisKernels* analysisKernels(platform::KernelSet set);

namespace analysis_sse2 {
extern const RAnalysisKernels kKernels;
}
namespace analysis_avx2 {
extern const RAnalysisKernels kKernels;
}

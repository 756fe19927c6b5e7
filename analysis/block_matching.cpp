#include "analysis/block_matching.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/analysis_kernels.h"
#include "analysis/analysis_threads.h"
#include "analysis/sample_image.h"
#include "platform/kernel_set.h"
#include "plugin/common/instance_data.h"

namespace {

double correlation(const RCorrelationSums& s) {
  if (s.n < 36) return -1.0;
  const double n = s.n;
  const double sx = s.x;
  const double sy = s.y;
  const double sxx = s.xx - sx * sx / n;
  const double syy = s.yy - sy * sy / n;
  const double q = sxx * syy;
  if (q <= 0) return 0.0;
  const double value = (s.xy - sx * sy / n) / std::sqrt(q);
  if (value > 1 || value < -1) return 0.0;
  return value;
}

// Samples whose partner lies outside the previous image are skipped; the
// bounds turn into a range of i and j (multiples of the step).
struct RSampleRange {
  int iBegin, iEnd, jBegin, jEnd;
};

RSampleRange sampleRange(int width, int height, const RMatchRequest& r, int qx, int qy) {
  const int step = r.step;
  return RSampleRange{qx >= 0 ? 0 : (-qx + step - 1) / step * step, std::min(r.bw, width - qx),
                      qy >= 0 ? 0 : (-qy + step - 1) / step * step, std::min(r.bh, height - qy)};
}

// The plain kernel: pair by pair, exactly as the sums are defined.
RCorrelationSums sumOffset(const CVideoImage& c, const CVideoImage& p, const RMatchRequest& r,
                           int ox, int oy, int threshold) {
  // 32-bit sums that wrap: with pixel values 0..255 they never do, but a
  // negative darkness threshold lets ignored grey pixels (-9999) count.
  std::uint32_t n = 0, x = 0, y = 0, xx = 0, yy = 0, xy = 0;
  auto add = [](std::uint32_t& sum, std::int32_t value) {
    sum += static_cast<std::uint32_t>(value);
  };
  const int step = r.step;
  const int qx = r.px + ox;
  const int qy = r.py + oy;
  const RSampleRange range = sampleRange(p.width, p.height, r, qx, qy);
  for (int j = range.jBegin; j < range.jEnd; j += step) {
    for (int i = range.iBegin; i < range.iEnd; i += step) {
      const RGBPixel a = c.at(r.bx + i, r.by + j);
      const RGBPixel b = p.at(qx + i, qy + j);
      if (c.rgb) {
        if (a.g < 0 || b.g < 0) continue;
        const std::int32_t sa = a.r + a.g + a.b;
        const std::int32_t sb = b.r + b.g + b.b;
        if (sa < threshold || sb < threshold) continue;
        n += 3;
        add(x, sa);
        add(y, sb);
        add(xx, a.rr + a.gg + a.bb);
        add(yy, b.rr + b.gg + b.bb);
        add(xy, a.r * b.r + a.g * b.g + a.b * b.b);
      } else {
        if (a.g < threshold || b.g < threshold) continue;
        n += 1;
        add(x, a.g);
        add(y, b.g);
        add(xx, a.gg);
        add(yy, b.gg);
        add(xy, a.g * b.g);
      }
    }
  }
  auto value = [](std::uint32_t sum) { return static_cast<std::int32_t>(sum); };
  return RCorrelationSums{value(n), value(x), value(y), value(xx), value(yy), value(xy)};
}

// The table of values in scan order (oy outer, ox inner, both ascending).
void plainTable(const CVideoImage& c, const CVideoImage& p, const RMatchRequest& r, int threshold,
                double* table) {
  for (int oy = -r.ry; oy <= r.ry; ++oy) {
    for (int ox = -r.rx; ox <= r.rx; ++ox) {
      *table++ = correlation(sumOffset(c, p, r, ox, oy, threshold));
    }
  }
}

// The block's samples gathered once, as RBlockSamples describes them.
class CBlockSamples {
 public:
  RBlockSamples gather(const CVideoImage& c, const RMatchRequest& r, int threshold) {
    const int step = r.step;
    const int perRow = (r.bw + step - 1) / step;
    const int rows = (r.bh + step - 1) / step;
    const int groups = (perRow + kGroupLanes - 1) / kGroupLanes;
    samples_.resize(static_cast<std::size_t>(rows) * groups * kGroupValues);
    for (std::vector<std::int32_t>* totals : {&countBefore_, &sumBefore_, &squaresBefore_}) {
      totals->resize(static_cast<std::size_t>(rows) + 1);
    }
    const bool rgb = c.rgb != 0;
    // The totals wrap like the 32-bit sums they stand for.
    std::uint32_t count = 0, sum = 0, squares = 0;
    countBefore_[0] = sumBefore_[0] = squaresBefore_[0] = 0;
    for (int row = 0; row < rows; ++row) {
      const std::size_t image = c.indexOf(r.bx, r.by + row * step);
      const std::int16_t* red = c.red.data() + image;
      const std::int16_t* green = c.green.data() + image;
      const std::int16_t* blue = c.blue.data() + image;
      std::int16_t* rowValues = &samples_[static_cast<std::size_t>(row) * groups * kGroupValues];
      for (int lane = 0; lane < groups * kGroupLanes; ++lane) {
        std::int16_t* at = rowValues + lane / kGroupLanes * kGroupValues + lane % kGroupLanes;
        std::int32_t vr = 0, vg = 0, vb = 0;
        if (lane < perRow) {
          const std::ptrdiff_t x = static_cast<std::ptrdiff_t>(lane) * step;
          vg = green[x];
          if (rgb) {
            vr = red[x];
            vb = blue[x];
          }
        }
        const std::int32_t value = vr + vg + vb;
        const bool counts = lane < perRow && !(rgb && vg < 0) && value >= threshold;
        at[kCountsRun * kGroupLanes] = counts ? -1 : 0;
        at[kRedRun * kGroupLanes] = static_cast<std::int16_t>(counts ? vr : 0);
        at[kGreenRun * kGroupLanes] = static_cast<std::int16_t>(counts ? vg : 0);
        at[kBlueRun * kGroupLanes] = static_cast<std::int16_t>(counts ? vb : 0);
        at[kSumRun * kGroupLanes] = static_cast<std::int16_t>(counts ? value : 0);
        if (!counts) continue;
        count += 1;
        sum += static_cast<std::uint32_t>(value);
        squares += static_cast<std::uint32_t>(vr * vr + vg * vg + vb * vb);
      }
      const std::size_t next = static_cast<std::size_t>(row) + 1;
      countBefore_[next] = static_cast<std::int32_t>(count);
      sumBefore_[next] = static_cast<std::int32_t>(sum);
      squaresBefore_[next] = static_cast<std::int32_t>(squares);
    }
    return RBlockSamples{rows,
                         perRow,
                         groups,
                         samples_.data(),
                         countBefore_.data(),
                         sumBefore_.data(),
                         squaresBefore_.data()};
  }

 private:
  std::vector<std::int16_t> samples_;
  std::vector<std::int32_t> countBefore_, sumBefore_, squaresBefore_;
};

// Sample counts of ranges of the block: entry i is the number of samples
// (every step-th value from 0) below i, for i = 0 .. length.
void countsBelow(int length, int step, std::vector<int>& counts) {
  counts.resize(static_cast<std::size_t>(length) + 1);
  for (int i = 0; i <= length; ++i) counts[static_cast<std::size_t>(i)] = (i + step - 1) / step;
}

void vectorTable(const CVideoImage& c, const CSampleImage& p, const RMatchRequest& r, int threshold,
                 const RAnalysisKernels& kernels, double* table) {
  thread_local CBlockSamples samples;
  thread_local std::vector<RCorrelationSums> sums;
  thread_local std::vector<int> lanesBelow, rowsBelow;
  const RBlockSamples block = samples.gather(c, r, threshold);
  const int step = r.step;
  const bool rgb = c.rgb != 0;
  countsBelow(r.bw, step, lanesBelow);
  countsBelow(r.bh, step, rowsBelow);
  sums.resize(static_cast<std::size_t>(2 * r.rx + 1) * static_cast<std::size_t>(2 * r.ry + 1));
  // Locals, not the thread-local names: rows of offsets may run on other threads.
  const std::vector<int>& lanes = lanesBelow;
  const std::vector<int>& rowCounts = rowsBelow;
  RCorrelationSums* const allSums = sums.data();
  auto offsetRows = [&](int firstRow, int endRow) {
    RCorrelationSums* out = allSums + static_cast<std::ptrdiff_t>(firstRow) * (2 * r.rx + 1);
    for (int oy = -r.ry + firstRow; oy < -r.ry + endRow; ++oy) {
      // The samples of rows j with 0 <= qy + j < height: the range of
      // sampleRange, counted in sample rows.
      const int qy = r.py + oy;
      const int jBegin = qy >= 0 ? 0 : -qy;
      const int jEnd = std::min(r.bh, p.height() - qy);
      const bool rowsInside = jBegin < jEnd;
      const int rowBegin = rowsInside ? rowCounts[static_cast<std::size_t>(jBegin)] : 0;
      const int rowEnd = rowsInside ? rowCounts[static_cast<std::size_t>(jEnd)] : 0;
      for (int ox = -r.rx; ox <= r.rx; ++ox, ++out) {
        const int qx = r.px + ox;
        const int iBegin = qx >= 0 ? 0 : -qx;
        const int iEnd = std::min(r.bw, p.width() - qx);
        *out = RCorrelationSums{0, 0, 0, 0, 0, 0};
        if (!rowsInside || iBegin >= iEnd) continue;
        const int laneBegin = lanes[static_cast<std::size_t>(iBegin)];
        const int laneEnd = lanes[static_cast<std::size_t>(iEnd)];
        if (rowBegin >= rowEnd || laneBegin >= laneEnd) continue;
        RWindow window{nullptr,  nullptr, nullptr,   nullptr, p.rowStride() * step,
                       rowBegin, rowEnd,  laneBegin, laneEnd};
        p.window(qx + laneBegin * step, qy + rowBegin * step, &window);
        *out = kernels.windowSums(block, window, rgb);
      }
    }
  };
  if (r.threads > 1) {
    runInBands(2 * r.ry + 1, r.threads, 4, 1, offsetRows);
  } else {
    offsetRows(0, 2 * r.ry + 1);
  }
  kernels.correlations(sums.data(), static_cast<int>(sums.size()), table);
}

}  // namespace

int darknessThreshold(const CVideoImage& image, double percent) {
  return image.rgb ? static_cast<int>(percent * 7.65) : static_cast<int>(percent * 2.55);
}

double refinedDarkPercent(const InstanceData& settings) {
  return settings.ignoreDarker ? settings.darkerThanPercent : 0.0;
}

double matchValue(const CVideoImage& current, const CVideoImage& previous,
                  const RMatchRequest& request, int ox, int oy) {
  const int threshold = darknessThreshold(current, request.darkPercent);
  return correlation(sumOffset(current, previous, request, ox, oy, threshold));
}

void correlationTable(const CVideoImage& current, const CVideoImage& previous,
                      const RMatchRequest& request, double* table) {
  const int threshold = darknessThreshold(current, request.darkPercent);
  const RAnalysisKernels* kernels = analysisKernels(platform::kernelSet());
  const CSampleImage* samples = request.previousSamples;
  if (kernels != nullptr && samples != nullptr && samples->step() == request.step &&
      samples->threshold() == threshold && samples->width() == previous.width &&
      samples->height() == previous.height && samples->rgb() == (current.rgb != 0)) {
    vectorTable(current, *samples, request, threshold, *kernels, table);
  } else {
    plainTable(current, previous, request, threshold, table);
  }
}

bool matchBlock(const CVideoImage& current, const CVideoImage& previous,
                const RMatchRequest& request, double* ox, double* oy) {
  assert(request.bx >= 0 && request.by >= 0 && request.bx + request.bw <= current.width &&
         request.by + request.bh <= current.height);
  const int rx = request.rx;
  const int ry = request.ry;
  if (rx < 0 || ry < 0 || request.step < 1) return false;
  const int columns = 2 * rx + 1;
  const int rows = 2 * ry + 1;
  thread_local std::vector<double> table;
  table.resize(static_cast<std::size_t>(columns) * rows);
  correlationTable(current, previous, request, table.data());

  // The best is the first value greater than all before it.
  double best = -9.0;
  int bestColumn = 0, bestRow = 0;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const double value = table[static_cast<std::size_t>(row) * columns + column];
      if (value > best) {
        best = value;
        bestColumn = column;
        bestRow = row;
      }
    }
  }
  if (best < request.mMin) return false;
  double second = -9.0;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      if (std::abs(column - bestColumn) <= 1 && std::abs(row - bestRow) <= 1) continue;
      second = std::max(second, table[static_cast<std::size_t>(row) * columns + column]);
    }
  }
  if (second > best - request.mSep) return false;

  auto at = [&](int row, int column) {
    return table[static_cast<std::size_t>(row) * columns + column];
  };
  const double v0 = best;
  double refinedX = bestColumn - rx;
  if (bestColumn != 0 && bestColumn != columns - 1) {
    const double minus = at(bestRow, bestColumn - 1);
    const double plus = at(bestRow, bestColumn + 1);
    refinedX = refinedX - 0.5 * (plus - minus) / (plus - 2 * v0 + minus);
  }
  double refinedY = bestRow - ry;
  if (bestRow != 0 && bestRow != rows - 1) {
    const double minus = at(bestRow - 1, bestColumn);
    const double plus = at(bestRow + 1, bestColumn);
    refinedY = refinedY - 0.5 * (plus - minus) / (plus - 2 * v0 + minus);
  }
  *ox = refinedX;
  *oy = refinedY;
  return true;
}

void matchCoarsestLevel(const CVideoImage& current, const CVideoImage& previous,
                        const CSampleImage* previousSamples, const InstanceData& settings,
                        double* dx, double* dy, int threadCount) {
  RMatchRequest request;
  request.previousSamples = previousSamples;
  request.threads = threadCount;
  request.bw = current.width;
  request.bh = current.height;
  request.rx = settings.initialSearchRange * current.width / 100;
  request.ry = settings.initialSearchRange * current.height / 100;
  request.mMin = 0.0;
  request.mSep = 0.0;
  request.step = 1;
  request.darkPercent = 0.0;
  double ox = 0.0, oy = 0.0;
  if (matchBlock(current, previous, request, &ox, &oy)) {
    *dx = ox;
    *dy = oy;
  } else {
    *dx = MISSING_VALUE;
    *dy = MISSING_VALUE;
  }
}

void runBlockJob(const RLevelJob& job, int index) {
  const InstanceData& settings = *job.settings;
  const int row = index / job.columns;
  const int column = index % job.columns;
  job.dx[index] = MISSING_VALUE;
  job.dy[index] = MISSING_VALUE;
  // A level above without blocks leaves nothing to refine.
  if (job.coarseColumns < 1 || job.coarseRows < 1 || job.coarseDx == nullptr) return;
  const int coarseIndex = std::min(job.coarseRows - 1, row / 2) * job.coarseColumns +
                          std::min(job.coarseColumns - 1, column / 2);
  const double cdx = job.coarseDx[coarseIndex];
  const double cdy = job.coarseDy[coarseIndex];
  if (cdx == MISSING_VALUE) return;
  if (job.level < settings.scale) {
    job.dx[index] = 2 * cdx;
    job.dy[index] = 2 * cdy;
    return;
  }
  const int ix = static_cast<int>(std::floor(2 * cdx + 0.5));
  const int iy = static_cast<int>(std::floor(2 * cdy + 0.5));
  const int blockSize = settings.blockSize;
  RMatchRequest request;
  request.bx = column * blockSize;
  request.by = row * blockSize;
  request.bw = blockSize;
  request.bh = blockSize;
  request.px = column * blockSize + ix;
  request.py = row * blockSize + iy;
  request.rx = settings.differentialSearchRange;
  request.ry = settings.differentialSearchRange;
  request.mMin = settings.discardMatchValue / 1000.0;
  request.mSep = settings.discardSecondBest / 1000.0;
  request.step = settings.usePixels;
  request.darkPercent = refinedDarkPercent(settings);
  request.previousSamples = job.previousSamples;
  double ox = 0.0, oy = 0.0;
  if (matchBlock(*job.currentImage, *job.previousImage, request, &ox, &oy)) {
    job.dx[index] = ix + ox;
    job.dy[index] = iy + oy;
  }
}

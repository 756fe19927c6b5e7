#include "analysis/block_matching.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <vector>

#include "plugin/common/instance_data.h"

namespace {

struct RSums {
  std::int32_t n = 0, x = 0, y = 0, xx = 0, yy = 0, xy = 0;
};

// Darkness threshold on r + g + b (RGB) or on the grey value.
int darknessThreshold(const CVideoImage& image, double percent) {
  return image.rgb ? static_cast<int>(percent * 7.65) : static_cast<int>(percent * 2.55);
}

double correlation(const RSums& s) {
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

RSums sumOffset(const CVideoImage& c, const CVideoImage& p, const RMatchRequest& r, int ox, int oy,
                int threshold) {
  RSums sums;
  const int step = r.step;
  // Samples whose partner lies outside the previous image are skipped; the
  // bounds turn into a range of i and j.
  const int qx = r.px + ox;
  const int qy = r.py + oy;
  const int iBegin = qx >= 0 ? 0 : (-qx + step - 1) / step * step;
  const int jBegin = qy >= 0 ? 0 : (-qy + step - 1) / step * step;
  const int iEnd = std::min(r.bw, p.width - qx);
  const int jEnd = std::min(r.bh, p.height - qy);
  for (int j = jBegin; j < jEnd; j += step) {
    const RGBPixel* cRow = &c.pixels[static_cast<std::size_t>(r.by + j) * c.width + r.bx];
    const RGBPixel* pRow = &p.pixels[static_cast<std::size_t>(qy + j) * p.width + qx];
    if (c.rgb) {
      for (int i = iBegin; i < iEnd; i += step) {
        const RGBPixel& a = cRow[i];
        const RGBPixel& b = pRow[i];
        if (a.g < 0 || b.g < 0) continue;
        const std::int32_t sa = a.r + a.g + a.b;
        const std::int32_t sb = b.r + b.g + b.b;
        if (sa < threshold || sb < threshold) continue;
        sums.n += 3;
        sums.x += sa;
        sums.y += sb;
        sums.xx += a.rr + a.gg + a.bb;
        sums.yy += b.rr + b.gg + b.bb;
        sums.xy += a.r * b.r + a.g * b.g + a.b * b.b;
      }
    } else {
      for (int i = iBegin; i < iEnd; i += step) {
        const RGBPixel& a = cRow[i];
        const RGBPixel& b = pRow[i];
        if (a.g < threshold || b.g < threshold) continue;
        sums.n += 1;
        sums.x += a.g;
        sums.y += b.g;
        sums.xx += a.gg;
        sums.yy += b.gg;
        sums.xy += a.g * b.g;
      }
    }
  }
  return sums;
}

}  // namespace

double matchValue(const CVideoImage& current, const CVideoImage& previous,
                  const RMatchRequest& request, int ox, int oy) {
  const int threshold = darknessThreshold(current, request.darkPercent);
  return correlation(sumOffset(current, previous, request, ox, oy, threshold));
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
  const int threshold = darknessThreshold(current, request.darkPercent);

  // Table of values in scan order: oy outer, ox inner, both ascending.
  thread_local std::vector<double> table;
  table.resize(static_cast<std::size_t>(columns) * rows);
  double best = -9.0;
  int bestColumn = 0, bestRow = 0;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const double value =
          correlation(sumOffset(current, previous, request, column - rx, row - ry, threshold));
      table[static_cast<std::size_t>(row) * columns + column] = value;
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
                        const InstanceData& settings, double* dx, double* dy) {
  RMatchRequest request;
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
  request.darkPercent = settings.ignoreDarker ? settings.darkerThanPercent : 0.0;
  double ox = 0.0, oy = 0.0;
  if (matchBlock(*job.currentImage, *job.previousImage, request, &ox, &oy)) {
    job.dx[index] = ix + ox;
    job.dy[index] = iy + oy;
  }
}

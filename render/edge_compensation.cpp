#include "render/edge_compensation.h"

#include "render/row_tables.h"

namespace {

constexpr int kInnerMargin = 2;
constexpr double kMinimumRampWeight = 1e-5;
constexpr double kFrameWeightDivisor = 1.3;
constexpr double kStopRatio = 256.0;

struct RFrameSize {
  int w, h;
};

// Carries a fixed-point position from an entry's source to its neighbour's:
// through the row table where rolling shutter made one, else the affine map.
void carryToNeighbour(const RRowTableItem* rowTable, const RAffineMap& map, int height,
                      std::int64_t* X, std::int64_t* Y) {
  if (rowTable != nullptr) {
    applyRowTable(rowTable, height, *X, *Y, X, Y);
  } else {
    applyNeighbourMap(map, *X, *Y, X, Y);
  }
}

bool isUsable(RFrameSize f, std::int64_t X, std::int64_t Y) {
  const std::int64_t sx = X >> kFixedShift, sy = Y >> kFixedShift;
  return sx >= kInnerMargin && sx < f.w - kInnerMargin && sy >= kInnerMargin &&
         sy < f.h - kInnerMargin;
}

bool isInsideSoft(RFrameSize f, int wX, int wY, std::int64_t X, std::int64_t Y) {
  const std::int64_t sx = X >> kFixedShift, sy = Y >> kFixedShift;
  // In 64 bits: a transition width near the int range must not overflow.
  const std::int64_t mX = std::int64_t{wX} + kInnerMargin, mY = std::int64_t{wY} + kInnerMargin;
  return sx >= mX && sx < f.w - mX && sy >= mY && sy < f.h - mY;
}

double rampWeight(RFrameSize f, int wX, int wY, std::int64_t X, std::int64_t Y) {
  if (wX <= 0) return 1.0;
  const double fx = X * kFixedToPixel, fy = Y * kFixedToPixel;
  // A vertical width of 0 makes the vertical factors infinite (or NaN at the
  // very edge); neither is below 1, so they change nothing.
  const double factors[4] = {(fx - kInnerMargin) / wX, ((f.w - kInnerMargin) - fx) / wX,
                             (fy - kInnerMargin) / wY, ((f.h - kInnerMargin) - fy) / wY};
  double weight = 1.0;
  for (double factor : factors) {
    if (factor < 1) weight *= factor;
  }
  return weight < kMinimumRampWeight ? kMinimumRampWeight : weight;
}

struct RBlend {
  double red = 0, green = 0, blue = 0, weight = 0;
  void add(Pixel32 colour, double w) {
    red += ((colour >> 16) & 0xFF) * w;
    green += ((colour >> 8) & 0xFF) * w;
    blue += (colour & 0xFF) * w;
    weight += w;
  }
  Pixel32 mean() const {
    const auto channel = [&](double sum) { return static_cast<Pixel32>(sum / weight + 0.5); };
    return channel(red) << 16 | channel(green) << 8 | channel(blue);
  }
};

}  // namespace

RInsideBounds fullyInsideBounds(const RenderJob& job, int frameWidth, int frameHeight) {
  // In 64 bits: a transition width near the int range must not overflow.
  const std::int64_t mX = job.soft ? std::int64_t{job.widthX} + kInnerMargin : kInnerMargin;
  const std::int64_t mY = job.soft ? std::int64_t{job.widthY} + kInnerMargin : kInnerMargin;
  return RInsideBounds{mX, frameWidth - mX, mY, frameHeight - mY};
}

bool isFullyInside(const RenderJob& job, int frameWidth, int frameHeight, std::int64_t X,
                   std::int64_t Y) {
  const RFrameSize f{frameWidth, frameHeight};
  return job.soft ? isInsideSoft(f, job.widthX, job.widthY, X, Y) : isUsable(f, X, Y);
}

bool compensateEdge(const RenderJob& job, int frameWidth, int frameHeight, std::int64_t X,
                    std::int64_t Y, Pixel32* pixel) {
  const RFrameSize f{frameWidth, frameHeight};
  if (isFullyInside(job, frameWidth, frameHeight, X, Y)) return true;
  if (job.noFrameSearch) return false;

  const bool soft = job.soft != 0;
  const int wX = job.widthX, wY = job.widthY;
  const Pixel32 current = *pixel;
  const double w0 = soft && wX > 0 && isUsable(f, X, Y) ? rampWeight(f, wX, wY, X, Y) : 0.0;
  double frameFactor = 1.0;
  RBlend blend;

  // A sample of entry `e` at (x, y); true when it ends the search (hard borders).
  auto take = [&](int e, std::int64_t x, std::int64_t y) {
    if (!isUsable(f, x, y)) return false;
    const RFrameView frame = RFrameView::of(job.entries[e].frameBitmap->bitmap);
    const Pixel32 sample = sampleFrame(frame, job.resampling, x, y);
    if (!soft) {
      *pixel = sample;
      return true;
    }
    const double weight =
        isInsideSoft(f, wX, wY, x, y) || wX <= 0 ? 1.0 : rampWeight(f, wX, wY, x, y);
    blend.add(sample, weight * frameFactor);
    return false;
  };

  int p = job.outputEntry, q = job.outputEntry;
  std::int64_t backX = X, backY = Y, forwardX = X, forwardY = Y;
  for (;;) {
    bool stepped = false;
    if (p > 0 && job.entries[p - 1].frameBitmap != nullptr && !job.entries[p].sceneStart) {
      const RFramePlan& entry = job.entries[p];
      carryToNeighbour(entry.previousRowTable, entry.toPrevious, frameHeight, &backX, &backY);
      --p;
      stepped = true;
      if (take(p, backX, backY)) return true;
    }
    if (q < job.lastEntry && job.entries[q + 1].frameBitmap != nullptr &&
        !job.entries[q + 1].sceneStart) {
      const RFramePlan& entry = job.entries[q];
      carryToNeighbour(entry.nextRowTable, entry.toNext, frameHeight, &forwardX, &forwardY);
      ++q;
      stepped = true;
      if (take(q, forwardX, forwardY)) return true;
    }
    if (!stepped) break;
    if (soft) {
      frameFactor /= kFrameWeightDivisor;
      if (blend.weight > kStopRatio * frameFactor) break;
    }
  }
  if (!soft) return false;

  // A current share of 1 (a position exactly on the inner edge of the ramp)
  // leaves nothing to the other frames.
  if (w0 >= 1) return true;
  if (w0 > 0) blend.add(current, blend.weight / (1 / w0 - 1));
  if (blend.weight > 0) {
    *pixel = blend.mean();
    return true;
  }
  return false;
}

void compensateEdgeLanes(const RenderJob& job, int frameWidth, int frameHeight,
                         const RRenderKernels& kernels, REdgeLanes& lanes) {
  const RFrameSize f{frameWidth, frameHeight};
  const int n = lanes.count;
  bool active[kEdgeLanes];
  int activeCount = 0;
  for (int k = 0; k < n; ++k) {
    lanes.found[k] = isFullyInside(job, frameWidth, frameHeight, lanes.X[k], lanes.Y[k]);
    active[k] = !lanes.found[k] && !job.noFrameSearch;
    activeCount += active[k] ? 1 : 0;
  }
  if (activeCount == 0) return;

  const bool soft = job.soft != 0;
  const int wX = job.widthX, wY = job.widthY;
  void (*span)(const RSpan&) = job.resampling == 0   ? kernels.nearestSpan
                               : job.resampling == 1 ? kernels.bilinearSpan
                                                     : kernels.bicubicSpan;
  const RBicubicTable* table = job.resampling >= 2 ? bicubicWeights() : nullptr;
  const std::int32_t* weights = table != nullptr ? table->front().data() : nullptr;
  Pixel32 current[kEdgeLanes];
  double w0[kEdgeLanes];
  RBlend blend[kEdgeLanes];
  std::int64_t backX[kEdgeLanes], backY[kEdgeLanes], forwardX[kEdgeLanes], forwardY[kEdgeLanes];
  for (int k = 0; k < n; ++k) {
    current[k] = *lanes.pixels[k];
    w0[k] = soft && wX > 0 && isUsable(f, lanes.X[k], lanes.Y[k])
                ? rampWeight(f, wX, wY, lanes.X[k], lanes.Y[k])
                : 0.0;
    backX[k] = forwardX[k] = lanes.X[k];
    backY[k] = forwardY[k] = lanes.Y[k];
  }
  double frameFactor = 1.0;

  // Lane k's sample of entry `e` at (x, y). Usable positions have every tap
  // inside the frame, which is what the span kernels need.
  auto take = [&](int e, int k, std::int64_t x, std::int64_t y) {
    if (!isUsable(f, x, y)) return;
    const RFrameView frame = RFrameView::of(job.entries[e].frameBitmap->bitmap);
    std::uint32_t sample = 0;
    span(RSpan{frame.data, frame.pitch, x, y, 0, 0, 1, &sample, weights});
    if (!soft) {
      *lanes.pixels[k] = sample;
      lanes.found[k] = true;
      active[k] = false;
      --activeCount;
      return;
    }
    const double weight =
        isInsideSoft(f, wX, wY, x, y) || wX <= 0 ? 1.0 : rampWeight(f, wX, wY, x, y);
    blend[k].add(sample, weight * frameFactor);
  };

  int p = job.outputEntry, q = job.outputEntry;
  while (activeCount > 0) {
    bool stepped = false;
    if (p > 0 && job.entries[p - 1].frameBitmap != nullptr && !job.entries[p].sceneStart) {
      const RFramePlan& entry = job.entries[p];
      --p;
      stepped = true;
      for (int k = 0; k < n; ++k) {
        if (!active[k]) continue;
        carryToNeighbour(entry.previousRowTable, entry.toPrevious, frameHeight, &backX[k],
                         &backY[k]);
        take(p, k, backX[k], backY[k]);
      }
    }
    if (activeCount > 0 && q < job.lastEntry && job.entries[q + 1].frameBitmap != nullptr &&
        !job.entries[q + 1].sceneStart) {
      const RFramePlan& entry = job.entries[q];
      ++q;
      stepped = true;
      for (int k = 0; k < n; ++k) {
        if (!active[k]) continue;
        carryToNeighbour(entry.nextRowTable, entry.toNext, frameHeight, &forwardX[k], &forwardY[k]);
        take(q, k, forwardX[k], forwardY[k]);
      }
    }
    if (!stepped) break;
    if (soft) {
      frameFactor /= kFrameWeightDivisor;
      for (int k = 0; k < n; ++k) {
        if (active[k] && blend[k].weight > kStopRatio * frameFactor) {
          active[k] = false;
          --activeCount;
        }
      }
    }
  }
  if (!soft) return;

  for (int k = 0; k < n; ++k) {
    if (lanes.found[k] || job.noFrameSearch) continue;
    if (w0[k] >= 1) {
      lanes.found[k] = true;
      continue;
    }
    if (w0[k] > 0) blend[k].add(current[k], blend[k].weight / (1 / w0[k] - 1));
    if (blend[k].weight > 0) {
      *lanes.pixels[k] = blend[k].mean();
      lanes.found[k] = true;
    }
  }
}

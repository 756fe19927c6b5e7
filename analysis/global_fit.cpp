#include "analysis/global_fit.h"

#include <cmath>
#include <list>

#include "analysis/block_matching.h"
#include "analysis/linear_system.h"
#include "plugin/common/instance_data.h"

namespace {

constexpr int kMaximumRounds = 100;
constexpr int kMinimumDeepSupport = 8;

struct RBlockGeometry {
  double h, v;  // offsets from the centre
  double w;     // rolling-shutter weight of the top-edge set
};

// What the fit of one frame works on.
struct RFitContext {
  const double* dx;
  const double* dy;
  double aspect;
  bool rollingShutter;
  std::vector<RBlockGeometry> blocks;  // per block of the grid
};

RFitContext makeContext(const InstanceData& settings, const RFitGrid& grid, const double* dx,
                        const double* dy) {
  RFitContext context{dx, dy, settings.sourcePixelAspect, settings.rollingShutter != 0, {}};
  const int count = grid.columns * grid.rows;
  context.blocks.resize(static_cast<std::size_t>(count));
  const std::vector<double>& horizontal = *settings.blockOffsetHorizontal;
  const std::vector<double>& vertical = *settings.blockOffsetVertical;
  for (int i = 0; i < count; ++i) {
    const std::size_t offsetIndex = static_cast<std::size_t>(grid.fieldLineOffset + i);
    const int row = i / grid.columns;
    RBlockGeometry& block = context.blocks[static_cast<std::size_t>(i)];
    block.h = offsetIndex < horizontal.size() ? horizontal[offsetIndex] : 0.0;
    block.v = offsetIndex < vertical.size() ? vertical[offsetIndex] : 0.0;
    block.w = 1 - ((row + 0.5) * settings.blockSize) / grid.imageHeight;
  }
  return context;
}

// Parameters of the model: 4 coefficients, or T then B with a rolling shutter.
struct RParameters {
  double value[8] = {};
};

// The coefficients that apply to one block.
RGlobalMotionInfo blockCoefficients(const RFitContext& context, const RParameters& p,
                                    const RBlockGeometry& block) {
  if (!context.rollingShutter) return {p.value[0], p.value[1], p.value[2], p.value[3]};
  const double w = block.w;
  return {w * p.value[0] + (1 - w) * p.value[4], w * p.value[1] + (1 - w) * p.value[5],
          w * p.value[2] + (1 - w) * p.value[6], w * p.value[3] + (1 - w) * p.value[7]};
}

double squaredResidual(const RFitContext& context, int block, const RGlobalMotionInfo& c) {
  const RBlockGeometry& g = context.blocks[static_cast<std::size_t>(block)];
  const double ex = context.dx[block] - c.rotation * g.v - c.zoom * g.h - c.panX;
  const double ey = context.dy[block] / context.aspect - c.rotation * g.h + c.zoom * g.v - c.panY;
  return ex * ex + ey * ey;
}

double squaredResidual(const RFitContext& context, int block, const RParameters& p) {
  return squaredResidual(
      context, block,
      blockCoefficients(context, p, context.blocks[static_cast<std::size_t>(block)]));
}

// Least squares over the candidates whose flag is 1. False when the normal
// equations are singular.
bool solveLeastSquares(const RFitContext& context, const std::vector<int>& candidates,
                       const std::vector<int>& okFlags, RParameters* parameters) {
  const int n = context.rollingShutter ? 8 : 4;
  double matrix[8 * 9] = {};
  auto add = [&](const double* row, double rhs) {
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k <= j; ++k) matrix[j * (n + 1) + k] += row[j] * row[k];
      matrix[j * (n + 1) + n] += row[j] * rhs;
    }
  };
  for (int block : candidates) {
    if (okFlags[static_cast<std::size_t>(block)] != 1) continue;
    const RBlockGeometry& g = context.blocks[static_cast<std::size_t>(block)];
    const double bx = context.dx[block];
    const double by = context.dy[block] / context.aspect;
    if (!context.rollingShutter) {
      const double rowX[4] = {1, 0, g.v, g.h};
      const double rowY[4] = {0, 1, g.h, -g.v};
      add(rowX, bx);
      add(rowY, by);
    } else {
      const double w = g.w;
      const double u = 1 - w;
      const double rowX[8] = {w, 0, g.v * w, g.h * w, u, 0, g.v * u, g.h * u};
      const double rowY[8] = {0, w, g.h * w, -g.v * w, 0, u, g.h * u, -g.v * u};
      add(rowX, bx);
      add(rowY, by);
    }
  }
  for (int j = 0; j < n; ++j) {
    for (int k = j + 1; k < n; ++k) matrix[j * (n + 1) + k] = matrix[k * (n + 1) + j];
  }
  RParameters solved;
  if (solveLinearSystem(n, matrix, solved.value) != kLinearSystemSolved) return false;
  *parameters = solved;
  return true;
}

// Discards the worst-fitting candidate until all fit within D, re-admits the
// ones that fit again, and repeats. When the equations become singular (too
// few blocks left to determine the motion) no motion fits the frame: every
// candidate is discarded and the motion is zero, which hands the frame to
// the deep analysis and, failing that, to the new-scene rule.
RParameters robustFit(const RFitContext& context, const std::vector<int>& candidates,
                      std::vector<int>& okFlags, double tolerance) {
  const double limit = tolerance * tolerance;
  RParameters parameters;
  for (int round = 0; round < kMaximumRounds; ++round) {
    bool discarded = false;
    for (;;) {
      if (!solveLeastSquares(context, candidates, okFlags, &parameters)) {
        for (int block : candidates) okFlags[static_cast<std::size_t>(block)] = 0;
        return RParameters{};
      }
      int worst = -1;
      double worstResidual = 0.0;
      for (int block : candidates) {
        if (okFlags[static_cast<std::size_t>(block)] != 1) continue;
        const double residual = squaredResidual(context, block, parameters);
        if (worst < 0 || residual > worstResidual) {
          worst = block;
          worstResidual = residual;
        }
      }
      if (worst < 0 || worstResidual < limit) break;
      okFlags[static_cast<std::size_t>(worst)] = 0;
      discarded = true;
    }
    if (!discarded && round > 0) break;
    bool readmitted = false;
    for (int block : candidates) {
      if (okFlags[static_cast<std::size_t>(block)] != 0) continue;
      if (squaredResidual(context, block, parameters) < limit) {
        okFlags[static_cast<std::size_t>(block)] = 1;
        readmitted = true;
      }
    }
    if (!readmitted) break;
  }
  return parameters;
}

int countOk(const std::vector<int>& candidates, const std::vector<int>& okFlags) {
  int count = 0;
  for (int block : candidates) count += okFlags[static_cast<std::size_t>(block)] == 1;
  return count;
}

// Searches the parameter space cell by cell for the motion most candidates
// agree on. Returns true and the cell centre when one with enough support
// was found.
bool deepAnalysis(const RFitContext& context, const std::vector<int>& candidates, int largestSide,
                  double tolerance, RGlobalMotionInfo* result) {
  const int n = static_cast<int>(candidates.size());
  const double M = largestSide;
  int needed = n / 2;
  const int minimum = n / 16;
  int best = -1;
  while (needed >= minimum && needed >= kMinimumDeepSupport && best == -1) {
    std::list<RGlobalMotionInfo> cells = {RGlobalMotionInfo{0, 0, 0, 0}};
    double S = tolerance;
    int k = 0;
    while (S < 2 * M) {
      S *= 2;
      ++k;
    }
    for (int c = k - 1; c >= 0; --c) {
      const double s = S / std::pow(2.0, k - c);
      std::list<RGlobalMotionInfo> next;
      for (const RGlobalMotionInfo& parent : cells) {
        for (int i0 = 0; i0 <= 1; ++i0) {
          for (int i1 = 0; i1 <= 1; ++i1) {
            for (int i2 = 0; i2 <= 1; ++i2) {
              for (int i3 = 0; i3 <= 1; ++i3) {
                const RGlobalMotionInfo child{
                    parent.panX + (i0 - 0.5) * s, parent.panY + (i1 - 0.5) * s,
                    parent.rotation + (i2 - 0.5) * s / M, parent.zoom + (i3 - 0.5) * s / M};
                const double limit = s * s;
                int support = 0;
                for (int block : candidates) {
                  if (squaredResidual(context, block, child) < limit) {
                    ++support;
                    if (c > 0 && support >= needed) break;
                  }
                }
                if (support < needed) continue;
                if (c > 0) {
                  next.push_back(child);
                } else if (support > best) {
                  best = support;
                  *result = child;
                }
              }
            }
          }
        }
      }
      cells = std::move(next);
    }
    needed /= 2;
  }
  return best >= kMinimumDeepSupport;
}

}  // namespace

RGlobalMotionInfo convertCoefficients(const RGlobalMotionInfo& p) {
  RGlobalMotionInfo out;
  out.panX = p.panX;
  out.panY = p.panY;
  const double r = p.rotation;
  const double z = p.zoom;
  out.zoom = std::sqrt((1 + z) * (1 + z) + r * r);
  const double c = (out.zoom * out.zoom + 1 - r * r - z * z) / (2 * out.zoom);
  out.rotation = c >= 1 ? 0.0 : std::acos(c) * 180 / M_PI;
  if (r < 0) out.rotation = -out.rotation;
  return out;
}

RFrameMotion fitFrameMotion(const InstanceData& settings, const RFitGrid& grid, const double* dx,
                            const double* dy, std::vector<int>& okFlags) {
  const int count = grid.columns * grid.rows;
  okFlags.assign(static_cast<std::size_t>(count), 0);
  RFitContext context = makeContext(settings, grid, dx, dy);
  const std::vector<int>& usable = *settings.blockUsable;

  // 1. Usable vectors.
  const double absoluteLimit = settings.discardAbsoluteMotion * settings.discardAbsoluteMotion;
  std::vector<int> candidates;
  auto moves = [&](int i) {
    return dx[i] != MISSING_VALUE && dx[i] * dx[i] + dy[i] * dy[i] <= absoluteLimit;
  };
  for (int i = 0; i < count; ++i) {
    const bool remembered =
        !settings.rememberDiscardedAreas ||
        (static_cast<std::size_t>(i) < usable.size() && usable[static_cast<std::size_t>(i)] != 0);
    if (moves(i) && remembered) {
      okFlags[static_cast<std::size_t>(i)] = 1;
      candidates.push_back(i);
    }
  }
  const int okCount = static_cast<int>(candidates.size());
  if (settings.rememberDiscardedAreas &&
      (okCount <= 3 || okCount <= settings.skipFramePercent * count / 100)) {
    // Too little is left: forget the discarded areas for the next frame.
    for (int i = 0; i < count; ++i) okFlags[static_cast<std::size_t>(i)] = moves(i) ? 1 : 0;
  }

  RFrameMotion motion;
  RParameters parameters;
  if (!candidates.empty()) {
    const double tolerance = settings.discardWrongDirection;
    parameters = robustFit(context, candidates, okFlags, tolerance);
    const int n = static_cast<int>(candidates.size());
    if (!context.rollingShutter &&
        countOk(candidates, okFlags) <= settings.deepAnalysisPercent * n / 100) {
      motion.deepAnalysisRan = true;
      RGlobalMotionInfo found;
      const int largestSide = std::max(grid.imageWidth, grid.imageHeight);
      if (deepAnalysis(context, candidates, largestSide, tolerance, &found)) {
        const double limit = tolerance * tolerance;
        for (int i = 0; i < count; ++i) {
          okFlags[static_cast<std::size_t>(i)] =
              dx[i] != MISSING_VALUE && squaredResidual(context, i, found) < limit ? 1 : 0;
        }
      }
      parameters = robustFit(context, candidates, okFlags, tolerance);
    }
  }

  // 5. New scene.
  motion.okCount = countOk(candidates, okFlags);
  motion.okPercent = count > 0 ? motion.okCount * 100.0 / count : 0.0;
  if (candidates.empty() || motion.okCount <= settings.skipFramePercent * count / 100) {
    motion.newScene = 1;
    parameters = RParameters{};
  }

  // 6. Results.
  const double* p = parameters.value;
  if (!context.rollingShutter) {
    motion.whole = convertCoefficients({p[0], p[1], p[2], p[3]});
  } else {
    motion.whole = convertCoefficients(
        {(p[0] + p[4]) / 2, (p[1] + p[5]) / 2, (p[2] + p[6]) / 2, (p[3] + p[7]) / 2});
    motion.top = convertCoefficients({p[0], p[1], p[2], p[3]});
    motion.bottom = convertCoefficients({p[4], p[5], p[6], p[7]});
  }
  return motion;
}

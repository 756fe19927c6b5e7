#include "planning/correction_planner.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "planning/log_reader.h"
#include "planning/motion_smoothing.h"
#include "planning/pass2_startup.h"
#include "plugin/common/fixed_point.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/missing_value.h"
#include "plugin/common/module_state.h"
#include "plugin/common/video_image.h"
#include "ui/progress_dialog.h"

namespace {

bool hasTopEdge(const RMotionSeries& s, std::size_t i) {
  return s.topPanX[i] != MISSING_VALUE && s.topPanY[i] != MISSING_VALUE &&
         s.topRotation[i] != MISSING_VALUE && s.topZoom[i] != MISSING_VALUE;
}

// Shows the progress dialog for the duration of the planning.
class CPlanningProgress {
 public:
  CPlanningProgress() : dialog_(std::make_unique<CDlgProgress>(0)) {
    dialog_->create(nullptr);
    dialog_->setStatusText("Quiventing...");
    module_state::progressDialog = dialog_.get();
  }
  ~CPlanningProgress() { module_state::progressDialog = nullptr; }

 private:
  std::unique_ptr<CDlgProgress> dialog_;
};

bool isAdaptive(int mode) { return mode == 1 || mode == 2 || mode == 4 || mode == 5; }
bool isFixed(int mode) { return mode == 3 || mode == 4 || mode == 5; }
bool zoomOnlyFromCoverage(int mode) { return mode == 2 || mode == 5; }

}  // namespace

void buildFrameMapping(MappingDirection direction, const RGeometry& geometry, MappedPoints points,
                       int resampling, RAffineMap out) {
  const bool integerCentre = points == MappedPoints::kPixelIndices;
  const double q = integerCentre ? 0.0 : 0.5;
  const PointMapping map =
      direction == MappingDirection::kForward ? mapDestToSource : mapSourceToDest;
  auto point = [&](double x, double y) { return map(geometry, x, y); };
  RPoint p0 = point(q, q);
  const RPoint p1 = point(q + 1, q);
  const RPoint p2 = point(q, q + 1);
  const double c2 = p1.x - p0.x, c3 = p1.y - p0.y, c4 = p2.x - p0.x, c5 = p2.y - p0.y;
  if (!integerCentre && resampling != 0) {
    p0.x -= 0.5;
    p0.y -= 0.5;
  }
  out[0] = toFixedPoint(p0.x);
  out[1] = toFixedPoint(p0.y);
  out[2] = toFixedPoint(c2);
  out[3] = toFixedPoint(c3);
  out[4] = toFixedPoint(c4);
  out[5] = toFixedPoint(c5);
}

double coverageZoom(const RGeometry& geometry) {
  const int w = geometry.destWidth, h = geometry.destHeight;
  const int corners[4][2] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}};
  double smallest = 10.0;
  for (const auto& corner : corners) {
    smallest = std::min(smallest, findCornerZoom(geometry, corner[0], corner[1]));
  }
  const double m = std::min(w, h);
  // The one-pixel margin of a frame one pixel wide or high would be the
  // whole frame; such a frame keeps its corner zoom.
  if (m < 2) return smallest;
  return smallest * (m - 1) / m;
}

int entryFieldFlag(const InstanceData& data, int entry) {
  const int upper = data.upperFieldFirst ? 1 : 0;
  return entry % 2 == 0 ? upper : 1 - upper;
}

bool planCorrections(InstanceData& data, const RPlanSizes& sizes, RMotionSeries& series,
                     RPlanReport* report) {
  const int n = static_cast<int>(series.size());
  CPlanningProgress progress;

  const int interlaced = data.interlaced ? 1 : 0;
  const double sourceAspect = data.sourcePixelAspect;
  const double destAspect = destinationAspect(data);
  const int sw = sizes.sourceWidth, sh = sizes.sourceHeight;

  // 2. The records, the neighbour maps and edge sets, the cumulative path.
  releaseFramePlans(data);
  data.framePlans = new RFramePlan[static_cast<std::size_t>(n)]();
  data.plannedFrameCount = n;
  std::vector<double>& A = series.panX;
  std::vector<double>& B = series.panY;
  std::vector<double>& C = series.rotation;
  std::vector<double>& D = series.logZoom;
  for (int i = 0; i < n; ++i) {
    const std::size_t u = static_cast<std::size_t>(i);
    RFramePlan& entry = data.framePlans[u];
    entry.currentRowTable = entry.previousRowTable = entry.nextRowTable = nullptr;
    entry.ownSkewPlus = entry.ownSkewMinus = nullptr;
    entry.previousTopEdge = entry.previousBottomEdge = nullptr;
    entry.nextTopEdge = entry.nextBottomEdge = nullptr;
    entry.frameBitmap = nullptr;
    entry.sceneStart = series.sceneStart[u];

    const bool edges = hasTopEdge(series, u);
    REdgeSet top{}, bottom{};
    if (edges) {
      const double E = series.topPanX[u], F = series.topPanY[u];
      const double G = series.topRotation[u], H = series.topZoom[u];
      top = REdgeSet{E, F, G, H};
      bottom = REdgeSet{2 * A[u] - E, 2 * B[u] - F, 2 * C[u] - G, std::exp(2 * D[u] - std::log(H))};
    }
    // The logged motion of this entry relative to the one before, within
    // one source frame size.
    const RGeometry step{.sourceWidth = sw,
                         .sourceHeight = sh,
                         .destWidth = sw,
                         .destHeight = sh,
                         .rotation = C[u],
                         .zoom = std::exp(D[u]),
                         .panX = A[u],
                         .panY = B[u],
                         .scale = 1.0,
                         .sourceAspect = sourceAspect,
                         .destAspect = sourceAspect,
                         .sourceInterlaced = interlaced,
                         .destInterlaced = interlaced,
                         .field = entryFieldFlag(data, i)};
    if (data.usePreviousFrames) {
      if (edges) {
        entry.previousTopEdge = new REdgeSet(top);
        entry.previousBottomEdge = new REdgeSet(bottom);
      } else {
        buildFrameMapping(MappingDirection::kForward, step, MappedPoints::kPixelIndices,
                          data.resampling, entry.toPrevious);
      }
    }
    if (i > 0 && data.useFutureFrames) {
      RFramePlan& before = data.framePlans[u - 1];
      if (edges) {
        before.nextTopEdge = new REdgeSet(top);
        before.nextBottomEdge = new REdgeSet(bottom);
      } else {
        buildFrameMapping(MappingDirection::kInverse, step, MappedPoints::kPixelIndices,
                          data.resampling, before.toNext);
      }
    }
    if (i > 0) {
      A[u] += A[u - 1];
      B[u] += B[u - 1];
      C[u] += C[u - 1];
      D[u] += D[u - 1];
    }
  }

  // 3. Smoothing.
  const int mode = data.edgeCompensation;
  const int* scenes = series.sceneStart.data();
  const double zoomLimit = std::log(1.0 + data.maxCorrectionZoom / 100.0);
  std::vector<double> smoothX(static_cast<std::size_t>(n)), smoothY(smoothX.size());
  std::vector<double> smoothR(smoothX.size()), Z(smoothX.size());
  bool ok = smoothWithLimit(
                n, A.data(), smoothX.data(), smoothnessWeight(data.smoothHorizontalPanning),
                sizes.destWidth * data.maxCorrectionHorizontalPanning / 100.0, 0.01, 1, scenes) &&
            smoothWithLimit(
                n, B.data(), smoothY.data(), smoothnessWeight(data.smoothVerticalPanning),
                sizes.destHeight * data.maxCorrectionVerticalPanning / 100.0, 0.01, 1, scenes) &&
            smoothWithLimit(n, C.data(), smoothR.data(), smoothnessWeight(data.smoothRotation),
                            data.maxCorrectionRotation, 0.001, 1, scenes);
  if (ok && !zoomOnlyFromCoverage(mode)) {
    ok = smoothWithLimit(n, D.data(), Z.data(), smoothnessWeight(data.smoothZoom), zoomLimit,
                         0.00001, mode == 0 ? 1 : 0, scenes);
  }
  if (!ok) {
    releaseFramePlans(data);
    return false;
  }

  if (report != nullptr) {
    report->panX = {A, smoothX, sizes.destWidth * data.maxCorrectionHorizontalPanning / 100.0};
    report->panY = {B, smoothY, sizes.destHeight * data.maxCorrectionVerticalPanning / 100.0};
    report->rotation = {C, smoothR, data.maxCorrectionRotation};
    report->logZoom = {D, zoomOnlyFromCoverage(mode) ? D : Z, zoomLimit};
    report->sceneStart = series.sceneStart;
    report->edgeCompensation = mode;
    report->zoomFactor.assign(static_cast<std::size_t>(n), 1.0);
  }

  // 4. Corrections.
  std::vector<double> correctX(smoothX.size()), correctY(smoothX.size()), correctR(smoothX.size());
  for (std::size_t i = 0; i < smoothX.size(); ++i) {
    correctX[i] = smoothX[i] - A[i];
    correctY[i] = smoothY[i] - B[i];
    correctR[i] = smoothR[i] - C[i];
  }

  // 5. Zoom.
  const int output = interlaced && !data.interlacedProgressive ? 1 : 0;
  const double k = interlaced && data.interlacedProgressive ? 2.0 : 1.0;
  std::vector<double> L;
  if (isAdaptive(mode) || isFixed(mode)) {
    L.resize(smoothX.size());
    // Sized by the start's size carriers, the frames the plan is made for.
    RGeometry correction{.sourceWidth = data.sourceImage->width,
                         .sourceHeight = data.sourceImage->height,
                         .destWidth = data.destImage->width,
                         .destHeight = data.destImage->height,
                         .scale = data.fitScale,
                         .sourceAspect = sourceAspect,
                         .destAspect = destAspect * k,
                         .sourceInterlaced = output};
    for (std::size_t i = 0; i < L.size(); ++i) {
      correction.rotation = correctR[i];
      correction.panX = correctX[i];
      correction.panY = correctY[i];
      L[i] = std::log(coverageZoom(correction));
    }
  }
  if (isAdaptive(mode)) {
    std::vector<double> target(L.size());
    for (std::size_t i = 0; i < L.size(); ++i) {
      target[i] = zoomOnlyFromCoverage(mode) ? L[i] : D[i] + std::min(Z[i] - D[i], L[i]);
    }
    if (!smoothWithLimit(n, target.data(), Z.data(), smoothnessWeight(data.smoothZoom), zoomLimit,
                         0.00001, 0, scenes)) {
      releaseFramePlans(data);
      return false;
    }
  }
  if (isFixed(mode)) {
    std::size_t start = 0;
    while (start < L.size()) {
      std::size_t end = start + 1;
      while (end < L.size() && series.sceneStart[end] == 0) ++end;
      double M = 0.0;
      for (std::size_t i = start; i < end; ++i) {
        const double v = mode == 5 ? L[i] - Z[i] : L[i] - (Z[i] - D[i]);
        M = std::min(M, v);
      }
      for (std::size_t i = start; i < end; ++i) Z[i] += M;
      start = end;
    }
  }

  // 6. Transforms.
  for (int i = 0; i < n; ++i) {
    const std::size_t u = static_cast<std::size_t>(i);
    const double zoom = zoomOnlyFromCoverage(mode) ? std::exp(Z[u]) : std::exp(Z[u] - D[u]);
    if (report != nullptr) report->zoomFactor[u] = zoom / data.extraZoom;
    const RGeometry correction{.sourceWidth = sw,
                               .sourceHeight = sh,
                               .destWidth = sizes.destWidth,
                               .destHeight = sizes.destHeight,
                               .rotation = correctR[u],
                               .zoom = zoom / data.extraZoom,
                               .panX = correctX[u],
                               .panY = correctY[u],
                               .scale = data.fitScale,
                               .sourceAspect = sourceAspect,
                               .destAspect = destAspect,
                               .sourceInterlaced = interlaced,
                               .destInterlaced = output,
                               .field = entryFieldFlag(data, i)};
    buildFrameMapping(MappingDirection::kForward, correction, MappedPoints::kPixelCentres,
                      data.resampling, data.framePlans[u].transform);
  }

  // 7. Rolling-shutter skew of the frame itself.
  const double a = data.rollingShutterAmount;
  for (int i = 1; i < n; ++i) {
    const std::size_t u = static_cast<std::size_t>(i);
    if (!hasTopEdge(series, u)) continue;
    const double E = series.topPanX[u], F = series.topPanY[u];
    const double G = series.topRotation[u], H = series.topZoom[u];
    RFramePlan& before = data.framePlans[u - 1];
    before.ownSkewPlus =
        new REdgeSet{E * a / 200, F * a / 200, G * a / 200, std::exp(std::log(H) * a / 200)};
    before.ownSkewMinus =
        new REdgeSet{E * a / -200, F * a / -200, G * a / -200, std::exp(std::log(H) * a / -200)};
  }
  return true;
}

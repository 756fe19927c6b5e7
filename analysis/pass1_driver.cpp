#include "analysis/pass1_driver.h"

#include <algorithm>
#include <vector>

#include "analysis/analysed_image.h"
#include "analysis/analysis_kernels.h"
#include "analysis/analysis_threads.h"
#include "analysis/block_matching.h"
#include "analysis/global_fit.h"
#include "analysis/log_writer.h"
#include "analysis/pass1_output.h"
#include "analysis/sample_image.h"
#include "platform/kernel_set.h"
#include "plugin/common/frame_geometry.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/module_state.h"
#include "plugin/common/video_image.h"

namespace {

// The outside margins to use for frame `n`, when the area follows the motion.
void applyMovingArea(InstanceData& data, long n) {
  std::vector<RMargins*>& areas = *data.ignoreAreaByFrame;
  const std::size_t index = static_cast<std::size_t>(n);
  if (index < areas.size() && areas[index] != nullptr) {
    const RMargins& m = *areas[index];
    data.ignoreOutsideLeft = m.left;
    data.ignoreOutsideTop = m.top;
    data.ignoreOutsideRight = m.right;
    data.ignoreOutsideBottom = m.bottom;
    return;
  }
  if (areas.size() <= index) areas.resize(index + 1, nullptr);
  areas[index] = new RMargins{data.ignoreOutsideLeft, data.ignoreOutsideTop,
                              data.ignoreOutsideRight, data.ignoreOutsideBottom};
}

int roundTowardZero(double t) { return static_cast<int>(t + 0.5); }

// Carries the margins of frame n along the measured motion to frame n + 1.
void moveAreaToNextFrame(InstanceData& data, long n, int width, int height, int upperField,
                         const RGlobalMotionInfo& motion) {
  std::vector<RMargins*>& areas = *data.ignoreAreaByFrame;
  const std::size_t index = static_cast<std::size_t>(n + 1);
  if (areas.size() <= index) areas.resize(index + 1, nullptr);
  if (areas[index] == nullptr) areas[index] = new RMargins;
  const int interlaced = data.interlaced ? 1 : 0;
  const RGeometry geometry{.sourceWidth = width,
                           .sourceHeight = height,
                           .destWidth = width,
                           .destHeight = height,
                           .rotation = motion.rotation,
                           .zoom = motion.zoom,
                           .panX = motion.panX,
                           .panY = motion.panY,
                           .scale = 1.0,
                           .sourceAspect = data.sourcePixelAspect,
                           .destAspect = data.sourcePixelAspect,
                           .sourceInterlaced = interlaced,
                           .destInterlaced = interlaced,
                           .field = upperField};
  const RPoint a =
      mapSourceToDest(geometry, data.ignoreOutsideLeft, height - data.ignoreOutsideTop - 1);
  const RPoint b =
      mapSourceToDest(geometry, width - data.ignoreOutsideRight - 1, data.ignoreOutsideBottom);
  RMargins& m = *areas[index];
  m.left = roundTowardZero(a.x);
  m.top = height - roundTowardZero(a.y) - 1;
  m.right = width - roundTowardZero(b.x) - 1;
  m.bottom = roundTowardZero(b.y);
}

// Coarse-to-fine matching of the current against the previous pyramid.
// Leaves the finest level's vectors in dx, dy (columns x rows of level 0).
void matchPyramids(const InstanceData& data, const CImagePyramid& current,
                   const CImagePyramid& previous, std::vector<double>& dx, std::vector<double>& dy,
                   int* columns, int* rows) {
  const int coarsest = static_cast<int>(current.size()) - 1;
  // The vector kernels read the previous levels that are matched in their
  // own layout; the planes are rebuilt every frame and their memory reused.
  // All of them are built at once, in bands of rows on the threads.
  thread_local std::vector<CSampleImage> ownSamples;
  // By reference: the bands below run on other threads, with samples of their own.
  std::vector<CSampleImage>& samples = ownSamples;
  std::vector<const CSampleImage*> levelSamples(current.size(), nullptr);
  if (analysisKernels(platform::kernelSet()) != nullptr) {
    if (samples.size() < current.size()) samples.resize(current.size());
    int totalRows = 0;
    std::vector<int> levels;
    for (int level = coarsest; level >= 0; --level) {
      const bool isCoarsest = level == coarsest;
      const int step = isCoarsest ? 1 : data.usePixels;
      const int blockSize = data.blockSize;
      const bool matched =
          isCoarsest ||
          (level >= data.scale && blockSize > 0 &&
           current[level]->width / blockSize * (current[level]->height / blockSize) > 0);
      if (!matched || step < 1) continue;
      const double darkPercent = isCoarsest ? 0.0 : refinedDarkPercent(data);
      samples[level].prepare(*previous[level], step,
                             darknessThreshold(*current[level], darkPercent));
      levelSamples[level] = &samples[level];
      levels.push_back(level);
      totalRows += previous[level]->height;
    }
    runInBands(totalRows, module_state::processorCount, 32, 1, [&](int first, int end) {
      int levelStart = 0;
      for (int level : levels) {
        const int height = previous[level]->height;
        const int from = std::max(first, levelStart), to = std::min(end, levelStart + height);
        if (from < to)
          samples[level].buildRows(*previous[level], from - levelStart, to - levelStart);
        levelStart += height;
      }
    });
  }

  std::vector<double> coarseDx(1), coarseDy(1);
  matchCoarsestLevel(*current[coarsest], *previous[coarsest], levelSamples[coarsest], data,
                     &coarseDx[0], &coarseDy[0], module_state::processorCount);
  int coarseColumns = 1, coarseRows = 1;

  RAnalysisJob job;
  for (int level = coarsest - 1; level >= 0; --level) {
    const CVideoImage& image = *current[level];
    const int blockSize = data.blockSize;
    const int levelColumns = blockSize > 0 ? image.width / blockSize : 0;
    const int levelRows = blockSize > 0 ? image.height / blockSize : 0;
    dx.assign(static_cast<std::size_t>(levelColumns) * levelRows, MISSING_VALUE);
    dy.assign(dx.size(), MISSING_VALUE);
    RLevelJob& levelJob = job.level;
    levelJob.settings = &data;
    levelJob.currentImage = &image;
    levelJob.previousImage = previous[level].get();
    levelJob.level = level;
    levelJob.columns = levelColumns;
    levelJob.rows = levelRows;
    levelJob.coarseColumns = coarseColumns;
    levelJob.coarseRows = coarseRows;
    levelJob.dx = dx.data();
    levelJob.dy = dy.data();
    levelJob.coarseDx = coarseDx.data();
    levelJob.coarseDy = coarseDy.data();
    // Levels below the matching scale only double the coarse vectors.
    const bool matched = level >= data.scale && levelColumns * levelRows > 0;
    levelJob.previousSamples = matched ? levelSamples[level] : nullptr;
    runAnalysisLevel(job, module_state::processorCount);
    coarseDx.swap(dx);
    coarseDy.swap(dy);
    coarseColumns = levelColumns;
    coarseRows = levelRows;
  }
  dx.swap(coarseDx);
  dy.swap(coarseDy);
  *columns = coarseColumns;
  *rows = coarseRows;
}

// A frame too small for two pyramid levels cannot be matched; it is logged
// as a scene of its own with neutral motion, so pass 2 leaves it as it is.
RFrameMotion neutralNewScene() {
  RFrameMotion motion;
  motion.newScene = 1;
  motion.whole = motion.top = motion.bottom = RGlobalMotionInfo{0.0, 0.0, 0.0, 1.0};
  return motion;
}

}  // namespace

void processPass1Frame(const FilterActivation* fa, const FilterFunctions*, int firstField) {
  InstanceData& data = *instanceOf(fa);
  const long n = fa->pfsi->lCurrentSourceFrame;
  VFBitmap& destination = fa->dst;

  if (data.imagePyramids[0] == nullptr || data.imagePyramids[0]->empty()) {
    // Not even one level: nothing to analyse or show.
    data.framesProcessed += 1;
    data.lastSourceFrame = static_cast<int>(n);
    return;
  }

  // 1. Pyramids by parity; which field is being analysed.
  CImagePyramid& current = *data.imagePyramids[data.framesProcessed % 2];
  CImagePyramid& previous = *data.imagePyramids[1 - data.framesProcessed % 2];
  const int upperField = (firstField != 0) == (data.upperFieldFirst != 0) ? 1 : 0;
  CVideoImage& image = *current[0];
  const int yOffset = data.interlaced && firstField == 0 ? static_cast<int>(destination.h) : 0;

  // 2.-4. Level 0, the moving ignore area, ignore marks, reduction.
  const bool areaFollows = data.ignoreOutside && data.ignoreAreaFollowsMotion;
  if (areaFollows) applyMovingArea(data, n);
  // Level 0 is read only by the video output and by matching at full scale;
  // otherwise level 1 is made from the frame directly.
  const bool levelZeroRead = data.videoOutput || data.scale <= 0;
  if (levelZeroRead || !loadLevelOne(current, fa->src, data, module_state::processorCount)) {
    loadAnalysedImage(image, fa->src);
    markIgnoredAreas(image, data);
    reducePyramid(current);
  }

  // 5. No previous frame to match on.
  if (data.framesProcessed < 1 || n != data.lastSourceFrame + 1) {
    if (data.videoOutput) drawNoPreviousFrame(data, destination, image.height, yOffset);
    delete data.pendingLogLine;
    data.pendingLogLine = nullptr;
    data.framesProcessed += 1;
    data.lastSourceFrame = static_cast<int>(n);
    return;
  }

  // 6.-8. Matching, field lines, fit.
  std::vector<double> dx, dy;
  std::vector<int> okFlags;
  int columns = 0, rows = 0;
  RFrameMotion motion;
  if (current.size() >= 2) {
    matchPyramids(data, current, previous, dx, dy, &columns, &rows);
    int fieldLineOffset = 0;
    if (data.interlaced) {
      for (double& value : dy) {
        if (value != MISSING_VALUE) value = upperField ? 2 * value + 1 : 2 * value - 1;
      }
      fieldLineOffset = upperField ? 0 : columns * rows;
    }
    const RFitGrid grid{columns, rows, image.width, image.height, fieldLineOffset};
    motion = fitFrameMotion(data, grid, dx.data(), dy.data(), okFlags);
  } else {
    motion = neutralNewScene();
  }

  // 9. Output frame.
  if (data.videoOutput) {
    RPass1Drawing drawing{&image, columns, rows, dx.data(), dy.data(), &okFlags, &motion, yOffset};
    drawAnalysedFrame(data, destination, drawing);
  }

  // 10. The flags decide which blocks the next frame may use.
  std::vector<int>& usable = *data.blockUsable;
  for (std::size_t i = 0; i < okFlags.size() && i < usable.size(); ++i) usable[i] = okFlags[i];

  // 11.-13. The log line.
  writeLogLine(data, formatLogLine(data, n, motion));

  // 14. The area of the next frame.
  if (areaFollows)
    moveAreaToNextFrame(data, n, image.width, image.height, upperField, motion.whole);

  // 15.
  data.framesProcessed += 1;
  data.lastSourceFrame = static_cast<int>(n);
}

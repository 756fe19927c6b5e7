// Block matching between two analysed images: the correlation search of one
// block (matchBlock) and the block jobs of the coarse-to-fine procedure.
//
// Coordinates are top-down pixels of the level being matched. A vector
// (dx, dy) is the position of a block's content in the previous image minus
// its position in the current one (x right, y down); MISSING_VALUE in both
// marks a block without a vector.
//
// Thread-safety: everything here only reads the images and settings, so
// block jobs of one level run on several threads at once.
#pragma once

#include "plugin/common/missing_value.h"
#include "plugin/common/video_image.h"

class CSampleImage;
struct InstanceData;

struct RMatchRequest {
  int bx = 0, by = 0;        // block origin in the current image
  int bw = 0, bh = 0;        // block size
  int px = 0, py = 0;        // predicted origin in the previous image
  int rx = 0, ry = 0;        // half search ranges
  double mMin = 0.0;         // smallest acceptable correlation
  double mSep = 0.0;         // required margin of the best over the second best
  int step = 1;              // sample every step-th column of every step-th row
  double darkPercent = 0.0;  // samples darker than this percentage are skipped
  // The previous image as the vector kernels read it, built for `step`; null
  // (or the plain kernel set in force) computes every sum the plain way.
  const CSampleImage* previousSamples = nullptr;
  // Threads the vector path may split the offsets over (the coarsest level's
  // one wide search); the table does not depend on it.
  int threads = 1;
};

// The darkness threshold of a match: `percent` of 765 on r + g + b (RGB) or
// of 255 on the grey value, truncated.
int darknessThreshold(const CVideoImage& image, double percent);
// The darkness percentage the refined levels match with.
double refinedDarkPercent(const InstanceData& settings);

// Searches the offsets (ox, oy) in [-rx, rx] x [-ry, ry] for the best
// correlation of the block with the previous image, with sub-pixel
// refinement. Returns false when the match is not reliable; on success the
// block's displacement is (px - bx + ox, py - by + oy).
bool matchBlock(const CVideoImage& current, const CVideoImage& previous,
                const RMatchRequest& request, double* ox, double* oy);

// The table matchBlock searches: the correlation of every offset, oy outer
// and ox inner, both ascending ((2 rx + 1) (2 ry + 1) values; rx, ry >= 0,
// step >= 1).
void correlationTable(const CVideoImage& current, const CVideoImage& previous,
                      const RMatchRequest& request, double* table);

// The correlation score of one offset, -1 with fewer than 36 samples; the
// unit matchBlock's search is made of (exposed for tests and benchmarks).
double matchValue(const CVideoImage& current, const CVideoImage& previous,
                  const RMatchRequest& request, int ox, int oy);

// The coarsest level as one block with the wide initial search. Writes the
// level's single vector. `previousSamples` as in RMatchRequest (step 1); the
// search runs on up to `threadCount` threads.
void matchCoarsestLevel(const CVideoImage& current, const CVideoImage& previous,
                        const CSampleImage* previousSamples, const InstanceData& settings,
                        double* dx, double* dy, int threadCount = 1);

// Everything one refined level's block jobs read.
struct RLevelJob {
  const InstanceData* settings = nullptr;
  const CVideoImage* currentImage = nullptr;
  const CVideoImage* previousImage = nullptr;
  int level = 0;  // 0 = finest
  int columns = 0, rows = 0;
  int coarseColumns = 0, coarseRows = 0;
  double* dx = nullptr;  // this level's vectors, columns * rows each
  double* dy = nullptr;
  const double* coarseDx = nullptr;  // the level above
  const double* coarseDy = nullptr;
  const CSampleImage* previousSamples = nullptr;  // see RMatchRequest
};

// One block of a refined level: predicts from the coarse vector and refines
// it by matching (or doubles it on levels below the matching scale). Writes
// only dx[index] and dy[index].
void runBlockJob(const RLevelJob& job, int index);

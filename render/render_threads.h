// Rendering one pass-2 output frame on all processors: workers take runs of
// 200 destination pixels from a shared counter, sample the source through the
// entry's transform, fill uncovered pixels from neighbouring frames and
// register what stays empty; colour extrapolation follows once all workers
// have ended.
//
// The destination is written in stored rows (row 0 first in memory), the
// same convention the transform was built in.
#pragma once

#include "plugin/common/frame_plan.h"
#include "render/render_job.h"

inline constexpr int kPixelsPerRun = 200;

// What to render into the activation's destination, besides the entries.
struct RRenderRequest {
  int outputEntry = 0;
  int lastEntry = 0;           // plannedFrameCount - 1
  int resampling = 2;          // 0 nearest neighbour, 1 bilinear, else bicubic
  bool delayed = false;        // read the source from the entry's frame copy
  bool noFrameSearch = false;  // neither previous nor future frames are used
  bool extrapolate = false;    // extrapolate colours into what stays uncovered
  bool soft = false;           // soft borders between frames
  int widthX = 0, widthY = 0;  // edge transition widths
  int threadCount = 1;
};

void renderFrame(const FilterActivation* activation, RFramePlan* entries,
                 const RRenderRequest& request);

unsigned renderWorker(void* parameter);

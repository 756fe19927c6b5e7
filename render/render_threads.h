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

void renderFrame(const FilterActivation* activation, RFramePlan* entries, int outputEntry,
                 int lastEntry, int resampling, bool delayed, bool noFrameSearch, bool extrapolate,
                 bool soft, int widthX, int widthY, int threadCount);

unsigned renderWorker(void* parameter);

// One pass-2 output frame being rendered: what the worker threads share.
// Owned by renderFrame for the duration of one frame call.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/threads.h"
#include "plugin/common/frame_plan.h"
#include "plugin/filter_interface.h"

struct RenderJob {
  const FilterActivation* activation = nullptr;
  RFramePlan* entries = nullptr;
  std::int32_t outputEntry = 0;
  std::int32_t lastEntry = 0;  // plannedFrameCount - 1
  std::int32_t resampling = 2;
  std::int32_t delayed = 0;        // read the source from the entry's frame copy
  std::int32_t noFrameSearch = 0;  // neither previous nor future frames are used
  std::int32_t extrapolate = 0;
  std::int32_t soft = 0;
  std::int32_t widthX = 0;  // edge transition widths
  std::int32_t widthY = 0;
  std::vector<std::int32_t> borderList;  // guarded by borderLock
  platform::CCriticalSection borderLock;
  std::int32_t nextPixel = 0;  // guarded by workLock
  std::int32_t pixelCount = 0;
  platform::CCriticalSection workLock;
};

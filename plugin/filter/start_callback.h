// The host's start callback: runs once before the frames of a processing
// run. Guards against re-entry, switches to field geometry for interlaced
// video, resets the run, then prepares pass 1 (pyramids, block tables, pens
// and font, log reset) or pass 2.
#pragma once

#include "plugin/filter_interface.h"

struct InstanceData;

int startProc(FilterActivation* fa, const FilterFunctions* ff);

// Shown by the pass-1 start when frames (fields for interlaced video) are
// too small for two pyramid levels, so that no motion can be measured.
inline constexpr const char* kPictureTooSmallMessage =
    "The video is too small to be analysed: pass 1 needs frames (for interlaced video, fields) "
    "at least 80 pixels wide or high.";

// The pass-1 branch, on frame sizes as the (possibly field) descriptions give
// them. Exposed for tests.
void startPass1(InstanceData& data, int sourceWidth, int sourceHeight);

// The host's start callback: runs once before the frames of a processing
// run. Guards against re-entry, switches to field geometry for interlaced
// video, resets the run, then prepares pass 1 (pyramids, block tables, pens
// and font, log reset) or pass 2.
#pragma once

#include "plugin/filter_interface.h"

struct InstanceData;

int startProc(FilterActivation* fa, const FilterFunctions* ff);

// The pass-1 branch, on frame sizes as the (possibly field) descriptions give
// them. Exposed for tests.
void startPass1(InstanceData& data, int sourceWidth, int sourceHeight);

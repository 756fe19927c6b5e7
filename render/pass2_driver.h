// Pass 2, one frame (or one field): choose the plan entry to output, keep the
// window of held frames, render the corrected picture or a message frame.
#pragma once

#include "plugin/filter_interface.h"

struct InstanceData;

// The module-wide tables of a pass-2 run: the bicubic weights and, with
// colour extrapolation, the border pixel table for the destination size.
// The start callback prepares them, the end callback releases them.
void startRendering(const InstanceData& data, int destWidth, int destHeight);
void endRendering();

// `firstField` as for pass 1.
void processPass2Frame(const FilterActivation* fa, const FilterFunctions* ff, int firstField);

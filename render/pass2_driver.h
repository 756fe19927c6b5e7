// Pass 2, one frame (or one field): choose the plan entry to output, keep the
// window of held frames, render the corrected picture or a message frame.
#pragma once

#include "plugin/filter_interface.h"

// `firstField` as for pass 1.
void processPass2Frame(const FilterActivation* fa, const FilterFunctions* ff, int firstField);

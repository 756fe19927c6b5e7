// Pass 1, one frame (or one field, between the field split and restore):
// analyse the motion against the previous frame, draw the output frame and
// append one line to the log.
#pragma once

#include "plugin/filter_interface.h"

// `firstField` is 1 for a progressive frame and for the first field of an
// interlaced frame, 0 for the second field.
void processPass1Frame(const FilterActivation* fa, const FilterFunctions* ff, int firstField);

// The host's end callback: releases what the start callback created for the
// run and closes the log file. The pass-2 plan stays for the next start.
// Like the start callback it does nothing while `idle` is 0.
#pragma once

#include "plugin/filter_interface.h"

int endProc(FilterActivation* fa, const FilterFunctions* ff);

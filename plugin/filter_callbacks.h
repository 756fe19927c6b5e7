// The instance callbacks the filter definition registers (besides start,
// end and the settings-string pair): creation with defaults, destruction,
// the per-frame dispatch, the output format, the settings dialog and the
// short description.
#pragma once

#include "plugin/filter_interface.h"

int initProc(FilterActivation* fa, const FilterFunctions* ff);
void deinitProc(FilterActivation* fa, const FilterFunctions* ff);
int runProc(const FilterActivation* fa, const FilterFunctions* ff);
long paramProc(FilterActivation* fa, const FilterFunctions* ff);
int configProc(FilterActivation* fa, const FilterFunctions* ff, HWND parent);
void stringProc(const FilterActivation* fa, const FilterFunctions* ff, char* buffer);

// Rows of the text strip under each analysed picture in pass 1.
inline constexpr int kPass1TextRows = 10;

// Row pitch of the output: 32-bit pixels, rows padded to 8 bytes.
inline long outputPitch(long width) { return (width * 4 + 7) & ~7L; }

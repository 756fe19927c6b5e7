// The instance callbacks the filter definition registers (besides start and
// end): creation with defaults, destruction, the per-frame dispatch, the
// output format, the settings dialog, the short description, and the
// settings statement with its script function "Config".
#pragma once

#include "plugin/filter_interface.h"

int initProc(FilterActivation* fa, const FilterFunctions* ff);
void deinitProc(FilterActivation* fa, const FilterFunctions* ff);
int runProc(const FilterActivation* fa, const FilterFunctions* ff);
long paramProc(FilterActivation* fa, const FilterFunctions* ff);
int configProc(FilterActivation* fa, const FilterFunctions* ff, HWND parent);
void stringProc(const FilterActivation* fa, const FilterFunctions* ff, char* buffer);
bool fssProc(FilterActivation* fa, const FilterFunctions* ff, char* buffer, int bufferLength);
void configScriptFunction(IScriptInterpreter* interpreter, void* lpVoid, CScriptValue* argv,
                          int argc);

// The one filter this module registers, and the module's start and end.
#pragma once

#include "plugin/filter_interface.h"

inline constexpr const char* kFilterName = "Quiventa v2.4";
inline constexpr const char* kFilterDescription =
    "Stabilizes video. Eliminates camera shakiness and makes panning, rotation and zooming "
    "smoother.";
inline constexpr const char* kFilterMaker = "Morvath";

// The definition as handed to the host (slots next, prev and module empty).
FilterDefinition& quiventaFilterDefinition();

// Registers the filter through the host's add-filter function. Returns 0 and
// writes the interface versions on success; returns 1 and writes nothing
// when the host refuses.
int registerFilter(FilterModule* module, const FilterFunctions* functions, int& interfaceVersion,
                   int& compatibleVersion);

// Hands the registered definition back to the host's remove-filter function.
void unregisterFilter(FilterModule* module, const FilterFunctions* functions);

// The module's only exported symbols. Everything else in Quiventa.vdf is
// hidden (see module_exports.map).
#include "plugin/filter/filter_definition.h"

#define QV_EXPORT extern "C" __attribute__((visibility("default")))

QV_EXPORT int VirtualdubFilterModuleInit2(FilterModule* module, const FilterFunctions* functions,
                                          int& interfaceVersion, int& compatibleVersion) {
  return registerFilter(module, functions, interfaceVersion, compatibleVersion);
}

QV_EXPORT void VirtualdubFilterModuleDeinit(FilterModule* module,
                                            const FilterFunctions* functions) {
  unregisterFilter(module, functions);
}

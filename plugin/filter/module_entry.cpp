// The module's only exported symbols. Everything else in Quiventa.vdf is
// hidden (see module_exports.map; on Windows module_exports.def names the
// two exports, undecorated, as the host looks them up).
#include "plugin/filter/filter_definition.h"

#ifdef _WIN32
#define QV_EXPORT extern "C" __declspec(dllexport)
#else
#define QV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QV_EXPORT int VirtualdubFilterModuleInit2(FilterModule* module, const FilterFunctions* functions,
                                          int& interfaceVersion, int& compatibleVersion) {
  return registerFilter(module, functions, interfaceVersion, compatibleVersion);
}

QV_EXPORT void VirtualdubFilterModuleDeinit(FilterModule* module,
                                            const FilterFunctions* functions) {
  unregisterFilter(module, functions);
}

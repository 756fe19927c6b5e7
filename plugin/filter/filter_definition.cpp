#include "plugin/filter/filter_definition.h"

#include "plugin/common/config_string.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/module_state.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"

namespace {

ScriptFunctionDef scriptFunctions[] = {
    {configScriptFunction, "Config", "0s"},
    {nullptr, nullptr, nullptr},
};

CScriptObject scriptObject = {nullptr, scriptFunctions, nullptr};

FilterDefinition definition = {
    nullptr,  // next
    nullptr,  // prev
    nullptr,  // module
    kFilterName,
    kFilterDescription,
    kFilterMaker,
    nullptr,  // private data
    sizeof(InstanceData),
    initProc,
    deinitProc,
    runProc,
    paramProc,
    configProc,
    stringProc,
    startProc,
    endProc,
    &scriptObject,
    fssProc,
};

}  // namespace

FilterDefinition& quiventaFilterDefinition() { return definition; }

int registerFilter(FilterModule* module, const FilterFunctions* functions, int& interfaceVersion,
                   int& compatibleVersion) {
  module_state::registeredDefinition =
      functions->addFilter(module, &definition, static_cast<int>(sizeof(FilterDefinition)));
  if (module_state::registeredDefinition == nullptr) return 1;
  interfaceVersion = kFilterInterfaceVersion;
  compatibleVersion = kFilterCompatibleVersion;
  return 0;
}

void unregisterFilter(FilterModule*, const FilterFunctions* functions) {
  functions->removeFilter(module_state::registeredDefinition);
}

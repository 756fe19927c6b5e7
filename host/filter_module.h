// A filter module loaded the way the video host loads one: dlopen, then the
// module's init export registers its filters through the host's function
// table; at the end the deinit export removes them before the module is
// unloaded. Only the first registered filter is used.
//
// Thread-safety: one module object is used by one thread. The object must
// outlive every instance created from its definition.
#pragma once

#include <memory>
#include <string>

#include "plugin/filter_interface.h"

namespace host {

class CFilterModule {
 public:
  // Loads `path`. Throws CHostError (runtime) with a message naming the path
  // when the file cannot be loaded, lacks the exports, refuses to start or
  // registers no filter usable by this host (it needs runProc, fssProc and
  // a "Config" script function taking one string).
  explicit CFilterModule(const std::string& path);
  ~CFilterModule();
  CFilterModule(const CFilterModule&) = delete;
  CFilterModule& operator=(const CFilterModule&) = delete;

  const FilterDefinition& definition() const;
  const FilterFunctions& functions() const { return functions_; }
  // The definition's "Config" script function.
  ScriptFunctionPtr configFunction() const { return configFunction_; }
  const std::string& path() const { return path_; }

 private:
  void release();

  std::string path_;
  void* handle_ = nullptr;
  FilterFunctions functions_;
  std::unique_ptr<FilterModule> record_;
  ScriptFunctionPtr configFunction_ = nullptr;
  bool initialised_ = false;
};

// Where the host looks for Quiventa.vdf by default: beside the running
// program.
std::string defaultModulePath();

}  // namespace host

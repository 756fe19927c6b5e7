#include "host/filter_module.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <vector>

#include "host/host_error.h"

// The host's record of one loaded module; the module only hands its address
// back to the function table.
struct FilterModule {
  std::vector<std::unique_ptr<FilterDefinition>> definitions;
};

namespace host {
namespace {

// The host keeps its own copy of each definition, as the module may register
// a shorter (older) record; missing slots stay null.
FilterDefinition* addFilter(FilterModule* module, FilterDefinition* definition,
                            int definitionSize) {
  if (module == nullptr || definition == nullptr ||
      definitionSize < static_cast<int>(offsetof(FilterDefinition, runProc) + sizeof(void*))) {
    return nullptr;
  }
  auto copy = std::make_unique<FilterDefinition>();
  std::memset(static_cast<void*>(copy.get()), 0, sizeof(FilterDefinition));
  std::memcpy(
      static_cast<void*>(copy.get()), definition,
      std::min<std::size_t>(static_cast<std::size_t>(definitionSize), sizeof(FilterDefinition)));
  copy->next = nullptr;
  copy->prev = nullptr;
  copy->module = module;
  module->definitions.push_back(std::move(copy));
  return module->definitions.back().get();
}

void removeFilter(FilterDefinition* definition) {
  if (definition == nullptr || definition->module == nullptr) return;
  auto& list = definition->module->definitions;
  std::erase_if(list, [&](const auto& owned) { return owned.get() == definition; });
}

}  // namespace

CFilterModule::CFilterModule(const std::string& path)
    : path_(path), record_(std::make_unique<FilterModule>()) {
  functions_.addFilter = addFilter;
  functions_.removeFilter = removeFilter;

  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored)) {
    failRuntime("filter module " + path + " does not exist (use --module PATH)");
  }
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    failRuntime("cannot load filter module " + path + ": " + (reason ? reason : "unknown error"));
  }
  try {
    auto init = reinterpret_cast<VDXModuleInitProc>(dlsym(handle_, kModuleInitExport));
    auto deinit = reinterpret_cast<VDXModuleDeinitProc>(dlsym(handle_, kModuleDeinitExport));
    if (init == nullptr || deinit == nullptr) {
      failRuntime(path + " is not a filter module: it lacks " + kModuleInitExport + " or " +
                  kModuleDeinitExport);
    }
    int interfaceVersion = 0;
    int compatibleVersion = 0;
    if (init(record_.get(), &functions_, interfaceVersion, compatibleVersion) != 0) {
      failRuntime("filter module " + path + " refused to start");
    }
    initialised_ = true;
    if (compatibleVersion > kFilterInterfaceVersion) {
      failRuntime("filter module " + path + " needs interface version " +
                  std::to_string(compatibleVersion) + "; this host has " +
                  std::to_string(kFilterInterfaceVersion));
    }
    if (record_->definitions.empty()) {
      failRuntime("filter module " + path + " registered no filter");
    }
    const FilterDefinition& d = *record_->definitions.front();
    const std::string name = d.name != nullptr ? d.name : "(unnamed)";
    if (d.inst_data_size < 0 || d.inst_data_size > (1 << 28)) {
      failRuntime("filter " + name + " states an impossible instance size");
    }
    if (d.runProc == nullptr || d.fssProc == nullptr) {
      failRuntime("filter " + name + " lacks the frame or settings callback");
    }
    if (d.script_obj != nullptr && d.script_obj->func_list != nullptr) {
      for (const ScriptFunctionDef* f = d.script_obj->func_list; f->name != nullptr; ++f) {
        if (std::strcmp(f->name, "Config") == 0 && f->arg_fmt != nullptr &&
            std::strcmp(f->arg_fmt, "0s") == 0) {
          configFunction_ = f->func_ptr;
          break;
        }
      }
    }
    if (configFunction_ == nullptr) {
      failRuntime("filter " + name + " has no Config script function taking one string");
    }
  } catch (...) {
    release();
    throw;
  }
}

CFilterModule::~CFilterModule() { release(); }

void CFilterModule::release() {
  if (handle_ == nullptr) return;
  if (initialised_) {
    auto deinit = reinterpret_cast<VDXModuleDeinitProc>(dlsym(handle_, kModuleDeinitExport));
    if (deinit != nullptr) deinit(record_.get(), &functions_);
    initialised_ = false;
  }
  dlclose(handle_);
  handle_ = nullptr;
}

const FilterDefinition& CFilterModule::definition() const { return *record_->definitions.front(); }

std::string defaultModulePath() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "Quiventa.vdf";
  return (program.parent_path() / "Quiventa.vdf").string();
}

}  // namespace host

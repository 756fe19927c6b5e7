// The built module, loaded as a host loads it: through dlopen and its two
// exports only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "plugin/filter_interface.h"

namespace {

struct RRecording {
  FilterModule* module = nullptr;
  FilterDefinition copy{};
  int size = 0;
  int addCalls = 0;
  std::vector<FilterDefinition*> removed;
  bool refuse = false;
};

RRecording recording;

FilterDefinition* recordingAdd(FilterModule* module, FilterDefinition* definition, int size) {
  ++recording.addCalls;
  recording.module = module;
  recording.copy = *definition;
  recording.size = size;
  return recording.refuse ? nullptr : &recording.copy;
}

void recordingRemove(FilterDefinition* definition) { recording.removed.push_back(definition); }

class ModuleEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recording = RRecording{};
    handle = dlopen(QV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    init = reinterpret_cast<VDXModuleInitProc>(dlsym(handle, kModuleInitExport));
    deinit = reinterpret_cast<VDXModuleDeinitProc>(dlsym(handle, kModuleDeinitExport));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(deinit, nullptr);
    functions.addFilter = recordingAdd;
    functions.removeFilter = recordingRemove;
  }
  void TearDown() override {
    if (handle != nullptr) dlclose(handle);
  }

  void* handle = nullptr;
  VDXModuleInitProc init = nullptr;
  VDXModuleDeinitProc deinit = nullptr;
  FilterFunctions functions;
  FilterModule* const module = reinterpret_cast<FilterModule*>(0x1234);
};

// What a host reads of the definition; a refused registration leaves the
// host's version numbers alone.
TEST_F(ModuleEntryTest, RegistersTheOneFilter) {
  int interfaceVersion = -1, compatibleVersion = -1;
  recording.refuse = true;
  EXPECT_EQ(init(module, &functions, interfaceVersion, compatibleVersion), 1);
  EXPECT_EQ(interfaceVersion, -1);
  EXPECT_EQ(compatibleVersion, -1);
  recording = RRecording{};
  EXPECT_EQ(init(module, &functions, interfaceVersion, compatibleVersion), 0);
  EXPECT_EQ(interfaceVersion, 7);
  EXPECT_EQ(compatibleVersion, 4);
  ASSERT_EQ(recording.addCalls, 1);
  EXPECT_EQ(recording.module, module);
  EXPECT_EQ(recording.size, static_cast<int>(sizeof(FilterDefinition)));

  const FilterDefinition& d = recording.copy;
  EXPECT_STREQ(d.name, "Quiventa v2.4");
  EXPECT_GT(d.inst_data_size, 0);
  ASSERT_NE(d.script_obj, nullptr);
  EXPECT_EQ(d.script_obj->Lookup, nullptr);
  const ScriptFunctionDef* f = d.script_obj->func_list;
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f[0].name, "Config");
  EXPECT_STREQ(f[0].arg_fmt, "0s");
  EXPECT_EQ(f[1].name, nullptr);  // the end of the list

  deinit(module, &functions);
  ASSERT_EQ(recording.removed.size(), 1u);
  EXPECT_EQ(recording.removed[0], &recording.copy);  // what add-filter returned
}

// A host finds the module by these two names; nothing else of it may be
// visible, or its code could bind to a host's own symbols of the same names.
TEST(ModuleExportsTest, TheBuiltModuleExportsExactlyTheTwoEntries) {
  const std::string command = std::string("nm -D --defined-only '") + QV_MODULE_PATH + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char type = 0;
    char name[400] = {};
    // "address type name"; versions of a symbol ("name@@VERSION") count once.
    if (std::sscanf(line, "%*s %c %399s", &type, name) != 2) continue;
    std::string symbol = name;
    symbol = symbol.substr(0, symbol.find('@'));
    if (type != 'A' && !symbol.empty()) exported.insert(symbol);
  }
  ASSERT_EQ(pclose(pipe), 0) << command;
  EXPECT_EQ(exported, (std::set<std::string>{kModuleInitExport, kModuleDeinitExport}));
}

// An instance created through the registered callbacks: the script function
// sets what the description then shows (the statement is the host run's).
TEST_F(ModuleEntryTest, InstanceThroughTheRegisteredCallbacks) {
  int interfaceVersion = 0, compatibleVersion = 0;
  ASSERT_EQ(init(module, &functions, interfaceVersion, compatibleVersion), 0);
  const FilterDefinition& d = recording.copy;
  std::vector<unsigned char> memory(static_cast<std::size_t>(d.inst_data_size), 0);
  VFBitmap src, dst;
  FilterStateInfo state;
  FilterActivation fa(dst, src);
  fa.filter = &d;
  fa.filter_data = memory.data();
  fa.pfsi = &state;
  EXPECT_EQ(d.initProc(&fa, &functions), 0);

  std::string argument = "12|2|20";
  char* text = argument.data();
  CScriptValue value(&text);
  d.script_obj->func_list[0].func_ptr(nullptr, &fa, &value, 1);
  char description[kFilterStringBufferSize];
  d.stringProc(&fa, &functions, description);
  EXPECT_STREQ(description, " (Pass 2)");

  // Without a display that answers, the dialog library is not even asked to
  // show anything: configProc answers "cancelled" and changes nothing. Qt
  // itself would end the process on an X or Wayland display that is gone.
  const char* const names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  const char* const environments[][3] = {{nullptr, nullptr, nullptr},
                                         {":47913", nullptr, nullptr},
                                         {nullptr, "quiventa-no-such-display", nullptr},
                                         {nullptr, nullptr, "xcb"}};
  for (const auto& environment : environments) {
    for (int i = 0; i < 3; ++i) platform::setEnvironmentVariable(names[i], environment[i]);
    EXPECT_EQ(d.configProc(&fa, &functions, nullptr), 1);
  }
  for (const char* name : names) platform::setEnvironmentVariable(name, nullptr);  // as before

  d.deinitProc(&fa, &functions);
  deinit(module, &functions);
}

}  // namespace

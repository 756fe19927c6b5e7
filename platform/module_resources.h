// The module's own resources on Windows: the dialog templates, their list
// contents and the string table compiled into Quiventa.vdf (ui/resources).
// Resources are always looked up in the module this code is linked into,
// never in the host program that loaded it.
//
// Windows only. Thread-safe.
#pragma once

#ifdef _WIN32

#include <string>

namespace platform {

// The HINSTANCE of the DLL (or program) this code is linked into.
void* moduleInstance();

// The module's full file name; empty when it cannot be determined.
std::string moduleFileName();

// String resource `id` of the module; empty when it has none.
std::string loadModuleString(int id);

}  // namespace platform

#endif

#include "platform/module_resources.h"

#include <windows.h>

namespace platform {

void* moduleInstance() {
  // The module that holds this function, whether it is the filter DLL or a
  // test program that links the code directly.
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&moduleInstance), &module);
  return module;
}

std::string moduleFileName() {
  // Long paths are allowed beyond MAX_PATH; grow until the name fits.
  std::string name(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(moduleInstance()), name.data(),
                                            static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    if (name.size() >= 32768) return {};
    name.resize(name.size() * 2);
  }
}

std::string loadModuleString(int id) {
  // A string resource is at most 65535 characters; ours are short.
  char text[1024];
  const int length = LoadStringA(static_cast<HINSTANCE>(moduleInstance()), static_cast<UINT>(id),
                                 text, sizeof text);
  return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace platform

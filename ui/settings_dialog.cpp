#include "ui/settings_dialog.h"

#include <dlfcn.h>

#include <utility>

#include "platform/environment.h"
#include "ui/settings_dialog_library.h"

namespace {

SettingsDialogRunner& installedRunner() {
  static SettingsDialogRunner runner;
  return runner;
}

// The library's entry, or null when it cannot be loaded. It stays loaded for
// the life of the process: a toolkit does not survive being unloaded.
SettingsDialogEntry dialogLibraryEntry() {
  const std::string path =
      platform::moduleDirectory() + platform::kPathSeparator + kSettingsDialogLibrary;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (library == nullptr) return nullptr;
  return reinterpret_cast<SettingsDialogEntry>(dlsym(library, kSettingsDialogEntry));
}

}  // namespace

bool runSettingsDialog(InstanceData& data, int processorCount) {
  if (const SettingsDialogRunner& runner = installedRunner()) {
    return runner(data, settingsTemplateForScreenWidth(platform::desktopHorizontalResolution()));
  }
  // Without a display the toolkit is not even loaded.
  if (!platform::displayNamed()) return false;
  const SettingsDialogEntry show = dialogLibraryEntry();
  if (show == nullptr) return false;
  const RSettingsDialogCall call{static_cast<int>(sizeof(RSettingsDialogCall)), &data,
                                 processorCount, 0};
  return show(&call) == kSettingsDialogConfirmed;
}

SettingsDialogRunner setSettingsDialogRunner(SettingsDialogRunner runner) {
  return std::exchange(installedRunner(), std::move(runner));
}

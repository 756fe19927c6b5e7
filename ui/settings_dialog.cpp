#include "ui/settings_dialog.h"

#include <utility>

namespace {

SettingsDialogRunner& installedRunner() {
  static SettingsDialogRunner runner;
  return runner;
}

}  // namespace

bool runSettingsDialog(InstanceData& data, int templateId) {
  const SettingsDialogRunner& runner = installedRunner();
  return runner ? runner(data, templateId) : false;
}

SettingsDialogRunner setSettingsDialogRunner(SettingsDialogRunner runner) {
  return std::exchange(installedRunner(), std::move(runner));
}

// The settings dialog as the filter's configProc sees it: shown modally on
// one instance record, it copies values in on opening and out only on OK.
//
// The dialog itself lives in a library of its own (QuiventaDialog.so beside
// the module, ui/settings_dialog_library.h), loaded on the first call: the
// module does not depend on a toolkit. Without a display, or without the
// library, the dialog answers "cancelled" and the record stays untouched.
// A runner installed in its place (a test, or another toolkit) is used
// instead, with the template for platform::desktopHorizontalResolution().
//
// Host thread only, like configProc.
#pragma once

#include <functional>

#include "ui/dlg_config.h"

struct InstanceData;

// Returns true when the user confirmed with OK (the record then holds the
// new settings).
using SettingsDialogRunner = std::function<bool(InstanceData& data, int templateId)>;

bool runSettingsDialog(InstanceData& data, int processorCount);

// Installs a dialog (an empty runner restores the library's); returns the
// previous one.
SettingsDialogRunner setSettingsDialogRunner(SettingsDialogRunner runner);

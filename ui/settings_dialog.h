// The settings dialog as the filter's configProc sees it: shown modally on
// one instance record, it copies values in on opening and out only on OK.
//
// The toolkit behind it is replaceable. Until a dialog is installed, and
// whenever no display is available, the dialog answers "cancelled" and the
// record stays untouched.
#pragma once

#include <functional>

struct InstanceData;

// Dialog templates: the large layout, and the compact one for screens
// narrower than 1024 pixels.
inline constexpr int kSettingsTemplateLarge = 1000;
inline constexpr int kSettingsTemplateCompact = 1063;

// Returns true when the user confirmed with OK (the record then holds the
// new settings).
using SettingsDialogRunner = std::function<bool(InstanceData& data, int templateId)>;

bool runSettingsDialog(InstanceData& data, int templateId);

// Installs a dialog (an empty runner restores "cancelled"); returns the
// previous one.
SettingsDialogRunner setSettingsDialogRunner(SettingsDialogRunner runner);

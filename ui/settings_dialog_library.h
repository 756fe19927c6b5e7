// The boundary between the module and the library that shows the settings
// dialog with a real toolkit (QuiventaDialog.so beside the module, built on
// Qt). The module loads it only when configProc runs, so the module itself
// neither links nor loads the toolkit: it loads and runs on a machine
// without one, and answers "cancelled" there.
//
// Both sides are built from the same sources, so the instance record
// crosses as it is; `structSize` catches a library from another build.
#pragma once

struct InstanceData;

struct RSettingsDialogCall {
  int structSize;  // sizeof(RSettingsDialogCall)
  InstanceData* data;
  int processorCount;
  // 0: the template for the width of the screen the dialog opens on;
  // otherwise kSettingsTemplateLarge or kSettingsTemplateCompact.
  int templateId;
};

// What the library answers.
inline constexpr int kSettingsDialogConfirmed = 1;
inline constexpr int kSettingsDialogCancelled = 0;
inline constexpr int kSettingsDialogNoDisplay = -1;

inline constexpr const char* kSettingsDialogLibrary = "QuiventaDialog.so";
inline constexpr const char* kSettingsDialogEntry = "quiventaShowSettingsDialog";

// The library's one export: shows the dialog modally on `call->data` and
// returns one of the answers above.
using SettingsDialogEntry = int (*)(const RSettingsDialogCall* call);

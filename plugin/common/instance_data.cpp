#include "plugin/common/instance_data.h"

#include <filesystem>
#include <system_error>

#include "platform/environment.h"
#include "plugin/common/frame_plan.h"
#include "plugin/common/settings_schema.h"

void setDefaultSettings(InstanceData& data) {
  for (const RSetting& setting : settingsSchema()) {
    if (setting.type == SettingType::kDouble) {
      data.*setting.doubleMember = setting.defaultValue;
    } else if (setting.type != SettingType::kString) {
      data.*setting.intMember = static_cast<int>(setting.defaultValue);
    }
  }
}

std::string defaultLogFilePath() {
  std::string folder;
  if (std::optional<std::string> dataFolder = platform::localAppDataFolder()) {
    folder = *dataFolder;
    if (folder.empty() || folder.back() != platform::kPathSeparator) {
      folder += platform::kPathSeparator;
    }
    folder += "Quiventa";
    folder += platform::kPathSeparator;
    // The user's data folder itself may not exist yet on a fresh account.
    // Failure is not reported here: opening the log reports it later.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
  } else {
    folder = platform::fallbackDataFolder();
  }
  return folder + "Quiventa.log";
}

void initializeInstance(InstanceData& data) {
  setDefaultSettings(data);
  data.logFilePath = new std::string(defaultLogFilePath());

  data.logFileHandle = platform::kInvalidFileHandle;
  data.framePlans = nullptr;
  data.plannedFrameCount = -1;
  data.logFileTime = 0;
  data.pendingLogLine = nullptr;
  data.logWarningShown = 0;
  data.ignoreAreaByFrame = new std::vector<RMargins*>;
  data.idle = 1;
  // Not a run yet: a confirmed dialog must not take frame 0 for the frame shown.
  data.lastSourceFrame = -999;
}

void releaseInstance(InstanceData& data) {
  delete data.logFilePath;
  data.logFilePath = nullptr;
  releaseFramePlans(data);
  if (data.ignoreAreaByFrame != nullptr) {
    for (RMargins* margins : *data.ignoreAreaByFrame) delete margins;
    delete data.ignoreAreaByFrame;
    data.ignoreAreaByFrame = nullptr;
  }
}

#include "plugin/common/instance_data.h"

#include <filesystem>
#include <system_error>

#include "platform/environment.h"
#include "plugin/common/frame_plan.h"

void setDefaultSettings(InstanceData& data) {
  data.pass = 1;
  data.blockSize = 30;
  data.differentialSearchRange = 4;
  data.sourcePixelAspect = 1.0;
  data.destPixelAspect = 1.0;
  data.sourcePixelAspectPreset = 0;
  data.destPixelAspectPreset = 0;
  data.destWidth = 640;
  data.destHeight = 480;
  data.scale = 1;
  data.usePixels = 2;
  data.colorModeRgb = 1;
  data.smoothHorizontalPanning = 400;
  data.smoothVerticalPanning = 400;
  data.smoothRotation = 400;
  data.smoothZoom = 1500;
  data.discardWrongDirection = 4.0;
  data.videoOutput = 1;
  data.resampling = 2;
  data.skipFramePercent = 5;
  data.initialSearchRange = 40;
  data.discardMatchValue = 300;
  data.discardSecondBest = 4;
  data.appendToLogFile = 0;
  data.interlaced = 0;
  data.upperFieldFirst = 0;
  data.ignoreOutside = 0;
  data.ignoreOutsideLeft = 0;
  data.ignoreOutsideTop = 0;
  data.ignoreOutsideRight = 0;
  data.ignoreOutsideBottom = 0;
  data.ignoreInside = 0;
  data.ignoreInsideLeft = 0;
  data.ignoreInsideTop = 0;
  data.ignoreInsideRight = 0;
  data.ignoreInsideBottom = 0;
  data.edgeCompensation = 1;
  data.maxCorrectionHorizontalPanning = 15.0;
  data.maxCorrectionVerticalPanning = 15.0;
  data.maxCorrectionRotation = 5.0;
  data.maxCorrectionZoom = 15.0;
  data.extraZoom = 1.0;
  data.usePreviousFrames = 0;
  data.previousFrames = 30;
  data.useFutureFrames = 0;
  data.futureFrames = 30;
  data.ignoreAreaFollowsMotion = 0;
  data.deepAnalysisPercent = 0;
  data.rollingShutter = 0;
  data.interlacedProgressive = 0;
  data.sameDestAsSource = 1;
  data.softBorders = 0;
  data.extrapolateColors = 0;
  data.edgeTransitionWidth = 10;
  data.ignoreDarker = 1;
  data.darkerThanPercent = 15.0;
  data.discardAbsoluteMotion = 1000.0;
  data.rememberDiscardedAreas = 1;
  data.rollingShutterAmount = 88.0;
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

// Runs pass 1 of the filter over a generated clip, in process and through
// the host callbacks, and reads the log it wrote.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plugin/common/instance_data.h"
#include "tools/clipgen/clip_generator.h"

namespace testing_support {

struct RLoggedLine {
  std::string label;
  double values[8] = {};  // whole-frame set, then the top-edge set if logged
  int valueCount = 0;
  bool newScene = false;
};

std::vector<RLoggedLine> parseLoggedLines(const std::string& text);

// Pass 1 over every frame of `generator`; `configure` adjusts the settings
// after the defaults (pass, log path and video output are set already).
// Returns the log's content.
std::string runPass1(const qvclip::CClipGenerator& generator,
                     const std::function<void(InstanceData&)>& configure = {});

// Pass 1 over ready frames (top-down), e.g. the output of pass 2.
std::string runPass1OnFrames(const std::vector<qvclip::RFrame>& frames,
                             const std::function<void(InstanceData&)>& configure = {});

struct RMotionErrors {
  double panRms = 0, rotationRms = 0, zoomRms = 0;
  int compared = 0;
};

// RMS differences between logged lines and the generator's records with the
// same label; lines or records marked as new scenes are skipped. `edge` 0
// compares the whole-frame sets, 1 the logged top-edge set with the top edge.
RMotionErrors compareWithTruth(const std::vector<RLoggedLine>& lines,
                               const std::vector<qvclip::RMotionRecord>& truth, int edge = 0);

}  // namespace testing_support

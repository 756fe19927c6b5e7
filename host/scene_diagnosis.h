// The diagnosis after pass 1: new scenes that the analysis started inside
// what is one continuous shot. Each restarts the smoothing of the camera
// path, so the shake around it stays in the output. A new scene is taken to
// lie inside a shot when its frame still correlates with the frame before it
// (frame_continuity.h); a real cut does not. Only the first entry of a run of
// consecutive new scenes is judged that way: with rememberDiscardedAreas the
// frame after a real cut is a new scene too, and belongs to the cut.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <vector>

#include "host/frame_continuity.h"

namespace host {

// The settings that explain the usual causes.
struct RDiagnosisSettings {
  bool ignoreDarker = true;
  double darkerThanPercent = 15.0;
  bool rememberDiscardedAreas = true;
  int skipFramePercent = 5;
};

// From the fields of the settings string the pass ran with (fields[p - 1]
// holds position p); settings the string lacks keep the values above.
RDiagnosisSettings diagnosisSettings(const std::vector<std::string>& fields);

struct RDiagnosisInput {
  std::string logText;  // the pass-1 log; with appended runs only the last counts
  const std::vector<RFrameContinuity>* frames = nullptr;  // by source frame number
  RDiagnosisSettings settings;
};

// Empty when the log shows no new scene inside a continuous shot; otherwise
// two lines for the user (without a program prefix): what happened, and which
// profile or setting avoids it.
std::vector<std::string> diagnoseNewScenes(const RDiagnosisInput& input);

}  // namespace host

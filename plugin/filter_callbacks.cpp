#include "plugin/filter_callbacks.h"

#include <cstdio>

#include "analysis/pass1_driver.h"
#include "planning/frame_plan.h"
#include "platform/environment.h"
#include "plugin/field_split.h"
#include "plugin/instance_data.h"
#include "plugin/module_state.h"
#include "render/pass2_driver.h"
#include "ui/settings_dialog.h"

int initProc(FilterActivation* fa, const FilterFunctions*) {
  InstanceData& data = *instanceOf(fa);
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

  module_state::processorCount = module_state::readProcessorCount();
  return 0;
}

void deinitProc(FilterActivation* fa, const FilterFunctions*) {
  InstanceData& data = *instanceOf(fa);
  delete data.logFilePath;
  data.logFilePath = nullptr;
  releaseFramePlans(data);
  if (data.ignoreAreaByFrame != nullptr) {
    for (RMargins* margins : *data.ignoreAreaByFrame) delete margins;
    delete data.ignoreAreaByFrame;
    data.ignoreAreaByFrame = nullptr;
  }
}

int runProc(const FilterActivation* fa, const FilterFunctions* ff) {
  InstanceData& data = *instanceOf(fa);
  // idle is 0 while a start or frame call of this instance is still running
  // (the progress dialog pumps messages, so the host can call back in).
  if (data.idle == 0 || fa->pfsi->lCurrentSourceFrame < 0 || fa->src.data == nullptr) return 0;
  data.idle = 0;

  const int pass = data.pass == 1 ? 1 : 2;
  auto frameFunction = pass == 1 ? processPass1Frame : processPass2Frame;
  if (data.interlaced == 0) {
    frameFunction(fa, ff, 1);
  } else {
    const int upperFirst = data.upperFieldFirst ? 1 : 0;
    splitField(fa, 1, upperFirst, 1, pass, data.interlacedProgressive);
    frameFunction(fa, ff, 1);
    splitField(fa, 0, upperFirst, 1, pass, data.interlacedProgressive);
    splitField(fa, 1, 1 - upperFirst, 0, pass, data.interlacedProgressive);
    frameFunction(fa, ff, 0);
    splitField(fa, 0, 1 - upperFirst, 0, pass, data.interlacedProgressive);
  }

  data.idle = 1;
  return 0;
}

long paramProc(FilterActivation* fa, const FilterFunctions*) {
  const InstanceData& data = *instanceOf(fa);
  VFBitmap& dst = fa->dst;
  if (data.pass == 1) {
    if (data.videoOutput) {
      if (data.interlaced && (dst.h & 1)) dst.h -= 1;
      dst.h += kPass1TextRows;
      if (data.interlaced) dst.h += kPass1TextRows;
      dst.dwFlags |= VFBitmap::NEEDS_HDC;
    } else {
      dst.w = 8;
      dst.h = 8;
    }
  } else {
    if (data.sameDestAsSource) {
      dst.w = fa->src.w;
      dst.h = fa->src.h;
    } else {
      dst.w = data.destWidth;
      dst.h = data.destHeight;
    }
    if (data.interlaced) {
      if (dst.h & 1) dst.h -= 1;
      if (data.interlacedProgressive) dst.h *= 2;
    }
    dst.dwFlags |= VFBitmap::NEEDS_HDC;
  }
  dst.pitch = outputPitch(dst.w);
  return FILTERPARAM_SWAP_BUFFERS;
}

int configProc(FilterActivation* fa, const FilterFunctions*, HWND) {
  InstanceData& data = *instanceOf(fa);
  const int templateId = platform::desktopHorizontalResolution() < 1024
                             ? kSettingsTemplateCompact
                             : kSettingsTemplateLarge;
  if (!runSettingsDialog(data, templateId)) return 1;

  // A confirmed dialog may have changed what the plan depends on.
  data.logFileTime = 0;
  if (data.ignoreOutside && data.ignoreAreaFollowsMotion && data.lastSourceFrame >= 0) {
    std::vector<RMargins*>& areas = *data.ignoreAreaByFrame;
    const std::size_t frame = static_cast<std::size_t>(data.lastSourceFrame);
    if (areas.size() <= frame) areas.resize(frame + 1, nullptr);
    if (areas[frame] == nullptr) areas[frame] = new RMargins;
    *areas[frame] = RMargins{data.ignoreOutsideLeft, data.ignoreOutsideTop,
                             data.ignoreOutsideRight, data.ignoreOutsideBottom};
  }
  return 0;
}

void stringProc(const FilterActivation* fa, const FilterFunctions*, char* buffer) {
  std::snprintf(buffer, kFilterStringBufferSize, " (Pass %i)", instanceOf(fa)->pass);
}

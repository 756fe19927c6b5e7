#include "plugin/filter/filter_callbacks.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/pass1_driver.h"
#include "plugin/common/config_string.h"
#include "plugin/common/field_split.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/module_state.h"
#include "plugin/common/output_format.h"
#include "render/pass2_driver.h"
#include "ui/settings_dialog.h"

int initProc(FilterActivation* fa, const FilterFunctions*) {
  initializeInstance(*instanceOf(fa));
  module_state::processorCount = module_state::readProcessorCount();
  return 0;
}

void deinitProc(FilterActivation* fa, const FilterFunctions*) { releaseInstance(*instanceOf(fa)); }

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
    splitField(fa, FieldStep::kBegin,
               {.secondRowField = upperFirst, .firstField = 1, .pass = pass});
    frameFunction(fa, ff, 1);
    splitField(fa, FieldStep::kEnd);
    splitField(fa, FieldStep::kBegin,
               {.secondRowField = 1 - upperFirst, .firstField = 0, .pass = pass});
    frameFunction(fa, ff, 0);
    splitField(fa, FieldStep::kEnd);
  }

  data.idle = 1;
  return 0;
}

long paramProc(FilterActivation* fa, const FilterFunctions*) {
  describeOutputFrame(*instanceOf(fa), fa->src, fa->dst);
  return FILTERPARAM_SWAP_BUFFERS;
}

int configProc(FilterActivation* fa, const FilterFunctions*, HWND) {
  InstanceData& data = *instanceOf(fa);
  // The dialog picks its template by the width of the screen it opens on.
  if (!runSettingsDialog(data, module_state::processorCount)) return 1;

  // A confirmed dialog may have changed what the plan depends on.
  data.logFileTime = 0;
  if (data.ignoreOutside && data.ignoreAreaFollowsMotion && data.lastSourceFrame >= 0) {
    std::vector<RMargins*>& areas = *data.ignoreAreaByFrame;
    const std::size_t frame = static_cast<std::size_t>(data.lastSourceFrame);
    if (areas.size() <= frame) areas.resize(frame + 1, nullptr);
    if (areas[frame] == nullptr) areas[frame] = new RMargins;
    *areas[frame] = RMargins{data.ignoreOutsideLeft, data.ignoreOutsideTop, data.ignoreOutsideRight,
                             data.ignoreOutsideBottom};
  }
  return 0;
}

void stringProc(const FilterActivation* fa, const FilterFunctions*, char* buffer) {
  std::snprintf(buffer, kFilterStringBufferSize, " (Pass %i)", instanceOf(fa)->pass);
}

bool fssProc(FilterActivation* fa, const FilterFunctions*, char* buffer, int bufferLength) {
  writeConfigStatement(*instanceOf(fa), buffer, bufferLength);
  return true;
}

void configScriptFunction(IScriptInterpreter*, void* lpVoid, CScriptValue* argv, int argc) {
  if (lpVoid == nullptr || argv == nullptr || argc < 1 || !argv[0].isString()) return;
  char** text = argv[0].asString();
  if (text == nullptr || *text == nullptr) return;
  // The interpreter's string stays as it was; the parser cuts a copy.
  std::vector<char> copy(*text, *text + std::strlen(*text) + 1);
  parseConfigString(*instanceOf(static_cast<FilterActivation*>(lpVoid)), copy.data());
}

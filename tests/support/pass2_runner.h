// Runs pass 2 of the filter over a generated clip, in process and through
// the host callbacks, after pass 1 has written the log.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plugin/common/instance_data.h"
#include "tools/clipgen/clip_generator.h"

namespace testing_support {

struct RPass2Output {
  std::vector<qvclip::RFrame> frames;  // the filter's output as it came, top-down
  int width = 0, height = 0;
};

// Pass 2 over every frame, reading `logPath`; `configure` adjusts settings
// after the defaults (pass and log path are set). With `extraCalls`, that
// many further frame calls follow with the last picture as source, as a host
// that compensates the output delay makes them.
RPass2Output runPass2(const qvclip::CClipGenerator& generator, const std::string& logPath,
                      const std::function<void(InstanceData&)>& configure = {}, int extraCalls = 0);

}  // namespace testing_support

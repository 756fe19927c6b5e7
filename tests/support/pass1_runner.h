// Pass 1 of the filter driven the way a host drives it (output format,
// start, one call per host frame, end), and the one parser of the logs it
// writes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "plugin/common/instance_data.h"
#include "tests/support/filter_instance.h"
#include "tests/support/scratch_folder.h"
#include "tools/clipgen/clip_generator.h"

namespace testing_support {

struct RLoggedLine {
  std::string label;
  double values[8] = {};  // whole-frame set, then the top-edge set if logged
  int valueCount = 0;
  bool newScene = false;
};

std::vector<RLoggedLine> parseLoggedLines(const std::string& text);

// The colour (0x00RRGGBB) of plane position (x, y), y down.
using CColourAt = std::function<std::uint32_t(double, double)>;

// One pass-1 run; the log goes to a scratch folder of its own. The output
// bitmap has a device context.
class CPass1Run {
 public:
  CPass1Run(long width, long height);
  ~CPass1Run() { end(); }
  CPass1Run(const CPass1Run&) = delete;
  CPass1Run& operator=(const CPass1Run&) = delete;

  InstanceData& data() { return instance_.data(); }

  // paramProc, an output bitmap of the size it asks for, startProc.
  void start();
  // One host frame with source frame number n, from a colour function or
  // from a top-down picture.
  void frame(long n, const CColourAt& colourAt);
  void frame(long n, const qvclip::RFrame& picture);
  void end();

  // The output frame, top-down, 0x00RRGGBB.
  std::uint32_t outputPixel(int x, int y) {
    return pixelAt(instance_.dst(), x, static_cast<int>(instance_.dst().h) - 1 - y);
  }
  // Ends the run first.
  std::string logText();

 private:
  CScratchFolder folder_;
  CFilterInstance instance_;
  bool started_ = false;
};

// Pass 1 over every frame of `generator` (or over ready top-down frames,
// e.g. the output of pass 2); `configure` adjusts the settings after the
// defaults (pass, log path, no video output, and the clip's field order and
// shutter are set already). Returns the log's content.
std::string runPass1(const qvclip::CClipGenerator& generator,
                     const std::function<void(InstanceData&)>& configure = {});
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

// Pass 2 of the filter driven the way a host drives it: the log written to a
// scratch folder, output format, start (which plans), one call per host
// frame, end. Bitmaps are stored bottom-up, rows counted as stored.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "plugin/common/instance_data.h"
#include "tests/support/filter_instance.h"
#include "tests/support/scratch_folder.h"
#include "tools/clipgen/clip_generator.h"

namespace testing_support {

class CPass2Run {
 public:
  // `configure` adjusts the settings after the defaults (pass 2, the log);
  // an empty `log` leaves no log file at all. The output has a device context.
  CPass2Run(int width, int height, const std::string& log,
            const std::function<void(InstanceData&)>& configure = {});
  ~CPass2Run();
  CPass2Run(const CPass2Run&) = delete;
  CPass2Run& operator=(const CPass2Run&) = delete;

  InstanceData& data() { return instance_.data(); }
  CFilterInstance& instance() { return instance_; }
  const VFBitmap& output() { return instance_.dst(); }

  // Host frame n: by default its own busy picture (sourcePixel), else the
  // given top-down picture.
  void frame(long n);
  void frame(long n, const qvclip::RFrame& picture);
  static std::uint32_t sourcePixel(long frame, int x, int row);
  std::vector<std::uint32_t> sourcePixels(long frame);

  std::vector<std::uint32_t> outputPixels() { return pixelsOf(output()); }
  std::set<int> heldEntries();

 private:
  CScratchFolder folder_;
  CFilterInstance instance_;
};

// Pass 2 over every frame of `generator` with the pass-1 log `log`, the
// clip's field order and shutter set; `configure` comes after. With
// `extraCalls`, that many further frame calls follow with the last picture
// as source, as a host that compensates the output delay makes them. Returns
// the filter's output as it came, top-down.
std::vector<qvclip::RFrame> runPass2(const qvclip::CClipGenerator& generator,
                                     const std::string& log,
                                     const std::function<void(InstanceData&)>& configure = {},
                                     int extraCalls = 0);

}  // namespace testing_support

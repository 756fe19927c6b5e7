// libFuzzer harness: the pass-2 log reader on any file content. It must not
// crash, must keep its nine series of one length, and must not build more
// entries than the farthest label it accepts allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "planning/log_reader.h"
#include "plugin/common/instance_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  InstanceData data{};
  data.rollingShutter = bytes[0] & 1;  // the first byte chooses the setting
  RMotionSeries series;
  parseLogText(data, reinterpret_cast<const char*>(bytes + 1), size - 1, series);
  const std::size_t n = series.size();
  if (series.panY.size() != n || series.rotation.size() != n || series.logZoom.size() != n ||
      series.topPanX.size() != n || series.topPanY.size() != n || series.topRotation.size() != n ||
      series.topZoom.size() != n || series.sceneStart.size() != n) {
    std::abort();
  }
  // No more entries than a clip of a million frames has, whatever the labels.
  if (n > 1000000) std::abort();
  return 0;
}

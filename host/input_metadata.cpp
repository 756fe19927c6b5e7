#include "host/input_metadata.h"

#include <charconv>
#include <cstdio>

namespace host {
namespace {

constexpr const char* kOff = " (--no-auto-metadata keeps the settings as they are)";

std::string shortest(double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

}  // namespace

RMetadataSettings settingsFromMetadata(const AVStream& video,
                                       const std::function<bool(std::string_view)>& userSet) {
  RMetadataSettings result;
  AVRational aspect = video.sample_aspect_ratio;
  if (aspect.num <= 0 || aspect.den <= 0) aspect = video.codecpar->sample_aspect_ratio;
  av_reduce(&aspect.num, &aspect.den, aspect.num, aspect.den, 1 << 20);
  if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den) {
    const std::string value = shortest(av_q2d(aspect));
    std::string names;
    for (const char* side : {"source", "dest"}) {
      const std::string name = std::string(side) + "PixelAspect";
      if (userSet(name) || userSet(name + "Preset")) continue;
      // As the dialog does: a typed aspect leaves no preset chosen.
      result.changes.push_back({name, value});
      result.changes.push_back({name + "Preset", "-1"});
      names += names.empty() ? name : " and " + name;
    }
    if (!names.empty()) {
      char ratio[64];
      std::snprintf(ratio, sizeof ratio, "%d:%d", aspect.num, aspect.den);
      result.announcements.push_back(std::string("the input's sample aspect ratio ") + ratio +
                                     " sets " + names + " to " + value + kOff);
    }
  }

  const AVFieldOrder order = video.codecpar->field_order;
  const bool interlaced =
      order == AV_FIELD_TT || order == AV_FIELD_BB || order == AV_FIELD_TB || order == AV_FIELD_BT;
  if (interlaced && !userSet("interlaced") && !userSet("upperFieldFirst")) {
    // FFmpeg's own writers take TB as upper field first and BT as lower.
    const bool upper = order == AV_FIELD_TT || order == AV_FIELD_TB;
    result.changes.push_back({"interlaced", "1"});
    result.changes.push_back({"upperFieldFirst", upper ? "1" : "0"});
    result.announcements.push_back(
        std::string("the input is interlaced, ") + (upper ? "upper" : "lower") +
        " field first: interlaced=1, upperFieldFirst=" + (upper ? "1" : "0") + kOff);
  }
  return result;
}

}  // namespace host

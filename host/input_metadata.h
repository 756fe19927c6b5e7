// What the input's own metadata says about the settings: its sample aspect
// ratio is the pixel aspect of source and output (the output keeps the
// input's sample aspect ratio), its field order says whether and how it is
// interlaced. Without them the user would have to know and type both, or
// get wrong geometry: rotation in a squeezed picture shears, and frames
// whose fields were taken apart in time match badly.
//
// Pure function of the stream's parameters; thread-safe.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/av_handles.h"

namespace host {

struct RMetadataSetting {
  std::string name;   // a setting's record name
  std::string value;  // as typed after --set NAME=
};

struct RMetadataSettings {
  std::vector<RMetadataSetting> changes;
  std::vector<std::string> announcements;  // one line per fact applied
};

// `userSet` says whether the user gave a setting (by --set, --config or a
// profile); such settings stay as the user gave them. A square or unknown
// aspect and a progressive or unknown field order change nothing.
RMetadataSettings settingsFromMetadata(const AVStream& video,
                                       const std::function<bool(std::string_view)>& userSet);

}  // namespace host

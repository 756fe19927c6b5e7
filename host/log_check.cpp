#include "host/log_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/host_error.h"
#include "host/machine_limits.h"
#include "host/pass1_log.h"
#include "planning/log_reader.h"
#include "platform/file_io.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/missing_value.h"

namespace host {
namespace {

constexpr double kLargestMotion = 1e9;
constexpr unsigned long long kLargestLog = 1ULL << 30;

std::string shortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The name of the first value of entry 1 of `s` that no motion gives, or null.
const char* implausibleValue(const RMotionSeries& s, double* value) {
  const double zoomLimit = std::log(kLargestMotion);
  struct RValue {
    const char* name;
    double value;
    bool logarithm;
  };
  const RValue values[] = {{"pan x", s.panX[1], false},
                           {"pan y", s.panY[1], false},
                           {"rotation", s.rotation[1], false},
                           {"zoom", s.logZoom[1], true},
                           {"top-edge pan x", s.topPanX[1], false},
                           {"top-edge pan y", s.topPanY[1], false},
                           {"top-edge rotation", s.topRotation[1], false},
                           {"top-edge zoom", s.topZoom[1], false}};
  for (const RValue& v : values) {
    if (v.value == MISSING_VALUE) continue;
    const bool factor = std::strcmp(v.name, "top-edge zoom") == 0;
    const bool wrong = v.logarithm ? std::fabs(v.value) > zoomLimit
                       : factor    ? v.value < 1 / kLargestMotion || v.value > kLargestMotion
                                   : std::fabs(v.value) > kLargestMotion;
    if (wrong) {
      *value = v.logarithm ? std::exp(v.value) : v.value;
      return v.name;
    }
  }
  return nullptr;
}

}  // namespace

unsigned long long maximumLogBytes() {
  return std::min<unsigned long long>(kLargestLog, usableMemoryBytes() / 8);
}

bool RLogFacts::covers(long long frame, bool interlaced) const {
  auto coversLabel = [&](long long label) {
    const long long entry = label - baseLabel;
    return entry == 0 || (entry > 0 && entry < entries && labelled[entry] != 0);
  };
  if (!interlaced) return coversLabel(frame);
  return coversLabel(2 * frame) && coversLabel(2 * frame + 1);
}

std::string RLogFacts::frameRange(bool interlaced) const {
  const long long first = interlaced ? baseLabel / 2 : baseLabel;
  const long long last = interlaced ? lastLabel() / 2 : lastLabel();
  return "frames " + std::to_string(first) + " to " + std::to_string(last);
}

RLogFacts readPlannableLog(const std::string& filePath, bool rollingShutter,
                           const std::string& shownAs) {
  const std::string& path = shownAs.empty() ? filePath : shownAs;
  requireRegularLogPath(filePath);
  struct stat status {};
  if (stat(filePath.c_str(), &status) != 0) {
    failRuntime("cannot read the log file " + path + ": " + std::strerror(errno));
  }
  const unsigned long long limit = maximumLogBytes();
  if (static_cast<unsigned long long>(status.st_size) > limit) {
    failRuntime("the log file " + path + " has " + formatBytes(status.st_size) +
                "; no log of a clip comes near that (at most " + formatBytes(limit) + " is read)");
  }
  std::string text;
  if (!platform::readWholeFile(filePath, &text)) failRuntime("cannot read the log file " + path);

  RLogFacts facts;
  facts.path = path;
  InstanceData data{};
  data.rollingShutter = rollingShutter ? 1 : 0;
  {
    RMotionSeries series;
    parseLogText(data, text.data(), text.size(), series);
    facts.entries = static_cast<long long>(series.size());
    facts.baseLabel = data.logBaseFrame;
  }
  if (facts.entries <= 2) {
    failRuntime(path +
                " holds no plan: a log needs at least two readable lines (label, pan x, pan y, "
                "rotation, zoom, each line ended by a line feed)");
  }
  facts.labelled.assign(static_cast<std::size_t>(facts.entries), 0);

  // Line by line with the same reader: which entries a line fills, and
  // whether its values are motion at all.
  long long lineNumber = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) break;
    ++lineNumber;
    InstanceData one{};
    one.rollingShutter = data.rollingShutter;
    RMotionSeries line;
    parseLogText(one, text.data() + start, end + 1 - start, line);
    start = end + 1;
    if (line.size() != 2) continue;
    double value = 0;
    if (const char* name = implausibleValue(line, &value)) {
      failRuntime(path + " line " + std::to_string(lineNumber) + ": " + name + " " +
                  shortNumber(value) +
                  " is no motion between two frames (pans and rotations lie within 1e9, zoom "
                  "factors within 1e-9 to 1e9); pass 2 cannot plan with it");
    }
    const long long entry = one.logBaseFrame + 1 - facts.baseLabel;
    if (entry > 0 && entry < facts.entries) facts.labelled[static_cast<std::size_t>(entry)] = 1;
  }
  return facts;
}

}  // namespace host

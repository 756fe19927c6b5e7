#include "host/scene_diagnosis.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "host/settings_table.h"

namespace host {
namespace {

// Frames of one shot correlate far above this, a cut to other content far
// below (generated and real footage alike).
constexpr double kContinuousMatch = 0.7;
// One stray new scene is not worth a word.
constexpr int kFewestReported = 2;
constexpr std::size_t kFramesNamed = 5;

struct RLogEntry {
  long frame = 0;
  bool newScene = false;
};

// The entries of the last run in the log: appended runs follow an empty line.
std::vector<RLogEntry> lastRun(const std::string& text) {
  std::vector<RLogEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) {
      entries.clear();
      continue;
    }
    char* end = nullptr;
    const long frame = std::strtol(line.c_str(), &end, 10);
    if (end == line.c_str()) continue;
    entries.push_back({frame, line.find("new_scene") != std::string::npos});
  }
  return entries;
}

std::string percentText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

RDiagnosisSettings diagnosisSettings(const std::vector<std::string>& fields) {
  RDiagnosisSettings settings;
  auto field = [&fields](const char* name) -> const std::string* {
    const RSettingInfo* info = findSetting(name);
    const std::size_t index = static_cast<std::size_t>(info->position - 1);
    return index < fields.size() ? &fields[index] : nullptr;
  };
  if (const std::string* text = field("ignoreDarker")) {
    settings.ignoreDarker = parseWholeInteger(*text).value_or(1) == 1;
  }
  if (const std::string* text = field("darkerThanPercent")) {
    settings.darkerThanPercent = parseFiniteDouble(*text).value_or(15.0);
  }
  if (const std::string* text = field("rememberDiscardedAreas")) {
    settings.rememberDiscardedAreas = parseWholeInteger(*text).value_or(1) == 1;
  }
  if (const std::string* text = field("skipFramePercent")) {
    settings.skipFramePercent = static_cast<int>(parseWholeInteger(*text).value_or(5));
  }
  return settings;
}

std::vector<std::string> diagnoseNewScenes(const RDiagnosisInput& input) {
  const std::vector<RLogEntry> entries = lastRun(input.logText);
  const std::vector<RFrameContinuity>& frames = *input.frames;
  auto frameOf = [&frames](long number) -> const RFrameContinuity* {
    return number >= 0 && static_cast<std::size_t>(number) < frames.size()
               ? &frames[static_cast<std::size_t>(number)]
               : nullptr;
  };

  std::vector<long> inside;  // new-scene frames inside a shot
  double darkShares = 0.0;
  for (std::size_t i = 0; i < entries.size();) {
    if (!entries[i].newScene) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < entries.size() && entries[end].newScene) ++end;
    const RFrameContinuity* first = frameOf(entries[i].frame);
    if (first != nullptr && first->match >= kContinuousMatch) {
      for (std::size_t k = i; k < end; ++k) {
        inside.push_back(entries[k].frame);
        if (const RFrameContinuity* frame = frameOf(entries[k].frame)) {
          darkShares += frame->darkShare;
        }
      }
    }
    i = end;
  }
  if (static_cast<int>(inside.size()) < kFewestReported) return {};

  std::string named;
  for (std::size_t i = 0; i < inside.size() && i < kFramesNamed; ++i) {
    named += (i > 0 ? ", " : "") + std::to_string(inside[i]);
  }
  if (inside.size() > kFramesNamed) named += ", ...";
  std::vector<std::string> lines;
  lines.push_back("pass 1 started " + std::to_string(inside.size()) +
                  " new scenes inside what looks like one continuous shot (frames " + named +
                  "); the smoothing restarts at each, so shake stays there.");

  const RDiagnosisSettings& s = input.settings;
  const bool mostlyDark = s.ignoreDarker && darkShares / inside.size() >= 0.5;
  if (mostlyDark) {
    lines.push_back("Most of their pixels are darker than darkerThanPercent=" +
                    percentText(s.darkerThanPercent) +
                    ", which the analysis ignores: --profile robust (or --set "
                    "darkerThanPercent=3) avoids it.");
  } else if (s.rememberDiscardedAreas) {
    lines.push_back(
        "With rememberDiscardedAreas=1 blocks left out once stay out until too few remain: "
        "--set rememberDiscardedAreas=0 avoids it.");
  } else {
    lines.push_back("Fewer than skipFramePercent=" + std::to_string(s.skipFramePercent) +
                    " % of the blocks matched: --profile robust, or a lower skipFramePercent, "
                    "may avoid it.");
  }
  return lines;
}

}  // namespace host

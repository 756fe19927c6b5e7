#include "host/profiles.h"

#include <array>

namespace host {
namespace {

constexpr std::array kRobust = {
    RProfileSetting{"rememberDiscardedAreas", "0"},
    RProfileSetting{"discardWrongDirection", "2"},
    RProfileSetting{"darkerThanPercent", "3"},
};
constexpr std::array kStrong = {
    RProfileSetting{"smoothHorizontalPanning", "2000"},
    RProfileSetting{"smoothVerticalPanning", "2000"},
    RProfileSetting{"smoothRotation", "2000"},
};
constexpr std::array kRolling = {
    RProfileSetting{"rollingShutter", "1"},
};
constexpr std::array kTripod = {
    RProfileSetting{"smoothHorizontalPanning", "-1"},
    RProfileSetting{"smoothVerticalPanning", "-1"},
    RProfileSetting{"smoothRotation", "-1"},
    RProfileSetting{"smoothZoom", "-1"},
    RProfileSetting{"edgeCompensation", "3"},
};

constexpr std::array kProfiles = {
    RProfile{"robust", kRobust, "strong shake, dark scenes and moving objects"},
    RProfile{"strong", kStrong, "smoother camera path"},
    RProfile{"rolling", kRolling, "rolling-shutter cameras"},
    RProfile{"tripod", kTripod, "no camera motion kept"},
};

}  // namespace

std::span<const RProfile> profiles() { return kProfiles; }

const RProfile* findProfile(std::string_view name) {
  for (const RProfile& profile : kProfiles) {
    if (profile.name == name) return &profile;
  }
  return nullptr;
}

std::string profileNames() {
  std::string names;
  for (const RProfile& profile : kProfiles) {
    if (!names.empty()) names += ", ";
    names += profile.name;
  }
  return names;
}

}  // namespace host

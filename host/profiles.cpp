#include "host/profiles.h"

#include <array>

namespace host {
namespace {

constexpr std::array kRobust = {
    RProfileSetting{"discardWrongDirection", "3"},
    RProfileSetting{"darkerThanPercent", "3"},
};
// The other profiles build on the robust one: it costs nothing on clean
// footage, and without it dark scenes go unanalysed.
constexpr std::array kStrong = {
    kRobust[0],
    kRobust[1],
    RProfileSetting{"smoothHorizontalPanning", "3000"},
    RProfileSetting{"smoothVerticalPanning", "3000"},
    RProfileSetting{"smoothRotation", "3000"},
    RProfileSetting{"smoothZoom", "10000"},
};
constexpr std::array kRolling = {
    kRobust[0],
    kRobust[1],
    RProfileSetting{"rollingShutter", "1"},
};
constexpr std::array kTripod = {
    kRobust[0],
    kRobust[1],
    RProfileSetting{"smoothHorizontalPanning", "-1"},
    RProfileSetting{"smoothVerticalPanning", "-1"},
    RProfileSetting{"smoothRotation", "-1"},
    RProfileSetting{"smoothZoom", "100000"},
};

constexpr std::array kProfiles = {
    RProfile{"robust", kRobust,
             "dark scenes and moving objects: dim pixels count, stray blocks do not"},
    RProfile{"strong", kStrong, "a much steadier camera path at about the same crop"},
    RProfile{"rolling", kRolling,
             "rolling-shutter cameras (phones): undoes the skew of fast motion"},
    RProfile{"tripod", kTripod, "shots meant to stand still: every pan and turn is undone"},
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

#include "host/settings_listing.h"

#include <algorithm>
#include <iomanip>

#include "host/profiles.h"
#include "host/settings_reference.h"
#include "host/settings_table.h"

namespace host {
namespace {

void writeProfiles(const std::vector<std::string>& defaults, std::ostream& out) {
  out << "Profiles (--profile NAME): settings for a kind of footage, applied on top of the\n"
         "filter's defaults and before --config and --set.\n";
  std::size_t nameWidth = 0;
  for (const RProfile& profile : profiles()) {
    for (const RProfileSetting& setting : profile.settings) {
      nameWidth = std::max(nameWidth, setting.name.size());
    }
  }
  for (const RProfile& profile : profiles()) {
    out << "\n  " << profile.name << ": " << profile.why << "\n";
    for (const RProfileSetting& setting : profile.settings) {
      const RSettingInfo* info = findSetting(setting.name);
      const std::size_t index = info ? static_cast<std::size_t>(info->position - 1) : 0;
      const std::string from = info && index < defaults.size() ? defaults[index] : "?";
      out << "    " << std::left << std::setw(static_cast<int>(nameWidth)) << setting.name << "  "
          << std::right << std::setw(6) << from << " -> " << setting.value << "\n";
    }
  }
}

}  // namespace

void writeSettingsListing(const std::vector<std::string>& defaults, std::ostream& out) {
  writeProfiles(defaults, out);
  out << "\n";
  writeSettingsText(out);
}

}  // namespace host

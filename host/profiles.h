// Named sets of settings for kinds of footage that the filter's defaults do
// not serve well. A profile changes only the settings it names; the command
// line applies it on top of the filter's defaults and before --config and
// --set, so everything the user gives explicitly still wins.
//
// The table is data: each profile's values were chosen by measurement with
// bench/quality_compare.sh, and `why` says in one line what it is for.
//
// Thread-safety: the table is immutable.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace host {

struct RProfileSetting {
  std::string_view name;   // a setting's record name (settings_table.h)
  std::string_view value;  // as typed after --set NAME=
};

struct RProfile {
  std::string_view name;
  std::span<const RProfileSetting> settings;
  std::string_view why;
};

std::span<const RProfile> profiles();
// Null for an unknown name (names are case-sensitive).
const RProfile* findProfile(std::string_view name);
// "robust, strong, ..." for messages.
std::string profileNames();

}  // namespace host

// The filter's settings as the host uses them: the settings schema (names,
// positions, types and dialog ranges, plugin/common/settings_schema.h), how a
// value typed on the command line becomes the text of a field, and which
// values the host refuses because the filter would misbehave on them.
//
// Fields are the settings string split at "|": fields[0] is the format
// version (position 1), fields[p - 1] the setting at position p. All
// functions are pure and thread-safe.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/common/settings_schema.h"

namespace host {

using RSettingInfo = ::RSetting;

// Positions of the settings the host itself reads or sets.
inline const int kPassPosition = settingSchema("pass").position;
inline const int kLogFilePathPosition = settingSchema("logFilePath").position;
inline const int kVideoOutputPosition = settingSchema("videoOutput").position;
inline const int kUseFutureFramesPosition = settingSchema("useFutureFrames").position;
inline const int kFutureFramesPosition = settingSchema("futureFrames").position;
inline constexpr int kNewestFormatVersion = kConfigFormatVersion;

// The 60 settings in string order.
inline std::span<const RSettingInfo> settingsTable() { return settingsSchema(); }
// Null for an unknown name (names are case-sensitive).
inline const RSettingInfo* findSetting(std::string_view name) { return findSettingSchema(name); }

// How many fields a settings string of format `version` (1..12) has.
inline int fieldCountOfVersion(int version) { return configFieldCount(version); }

// Whether the dialog holds the setting to [min, max]: values outside draw a
// warning.
inline bool hasDialogRange(const RSettingInfo& setting) {
  return setting.range == RangeKind::kValidated || setting.range == RangeKind::kChoice;
}

// A path in the settings string cannot hold "|" (the field separator), a
// double quote (the statement's string ends there: the filter writes it
// unescaped) or a line break.
inline constexpr const char* kUncarriedCharacters = "'|', '\"' or a line break";
bool carriesInSettingsString(std::string_view text);

// Turns a command-line value into the field text handed to the filter:
// ints in decimal, bools as 0 or 1 (also from true/false), doubles with
// enough digits to be read back exactly, strings as they are. Nullopt with
// `error` set when the value is not of the setting's type.
std::optional<std::string> fieldTextForValue(const RSettingInfo& setting, std::string_view value,
                                             std::string* error);

// Strict number parsing (the whole text, blanks around it allowed).
std::optional<long long> parseWholeInteger(std::string_view text);
std::optional<double> parseFiniteDouble(std::string_view text);

struct RSettingsCheck {
  std::vector<std::string> errors;    // values the filter would misbehave on
  std::vector<std::string> warnings;  // values outside the dialog ranges
};

// Checks the settings of a complete string (fields as above). Fields that do
// not parse as their type are reported as errors too; settings beyond the
// string's field count are not checked.
RSettingsCheck checkSettings(const std::vector<std::string>& fields);

// Of the settings named in `changed`, those that have no effect under the
// others by the dialog's enabling rules (which pass is shown aside, since
// each command runs its own pass), each as a warning that names what it
// depends on: "destWidth has no effect while sameDestAsSource=1". Settings
// beyond the fields are not judged.
std::vector<std::string> settingsWithoutEffect(const std::vector<std::string>& fields,
                                               const std::vector<std::string>& changed);

// The refusal rules in words, for the usage text.
const char* refusedValuesDescription();

}  // namespace host

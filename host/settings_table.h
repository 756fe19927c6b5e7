// The filter's settings as the host names them: the record names of
// positions 2 to 61 of the settings string, their types and dialog ranges,
// how a value typed on the command line becomes the text of a field, and
// which values the host refuses because the filter would misbehave on them.
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

namespace host {

enum class SettingType { kInt, kBool, kDouble, kString };

struct RSettingInfo {
  const char* name;  // record name, e.g. "blockSize"
  int position;      // 2..61 in the settings string
  SettingType type;
  bool hasDialogRange;  // values outside [dialogMin, dialogMax] draw a warning
  double dialogMin;
  double dialogMax;
};

// Positions of the settings the host itself reads or sets.
inline constexpr int kPassPosition = 2;
inline constexpr int kLogFilePathPosition = 26;
inline constexpr int kUseFutureFramesPosition = 46;
inline constexpr int kFutureFramesPosition = 48;
inline constexpr int kNewestFormatVersion = 12;

// The 60 settings in string order.
std::span<const RSettingInfo> settingsTable();
// Null for an unknown name (names are case-sensitive).
const RSettingInfo* findSetting(std::string_view name);

// How many fields a settings string of format `version` (1..12) has.
int fieldCountOfVersion(int version);

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

// The refusal rules in words, for the usage text.
const char* refusedValuesDescription();

}  // namespace host

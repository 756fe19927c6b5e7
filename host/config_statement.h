// The settings statement Config("...") as the video host's scripts hold it,
// and the settings string inside it.
//
// A script line may carry an object prefix (VirtualDub.video.filters.
// instance[0].Config("...");). The string literal is read like the script
// interpreter reads it: \\ \" \' \n \t \r \a \b \f \v \0 are undone; any other
// escape is an error. A text that is not a statement is taken as the bare
// settings string, without undoing anything. Pure functions, thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// The settings string of `text`, or nullopt with `error` set (the message
// names what is wrong and where).
std::optional<std::string> settingsStringFromStatement(std::string_view text, std::string* error);

// The settings string split at every "|" (an empty string gives one empty
// field), and joined again.
std::vector<std::string> splitSettingsFields(std::string_view settings);
std::string joinSettingsFields(const std::vector<std::string>& fields);

// Checks a settings string given by the user before the filter reads it: a
// format version from 1 to 12, the field count of that version, and every
// field a number of its setting's type. False with `error` set otherwise.
bool checkUserSettingsFields(const std::vector<std::string>& fields, std::string* error);

}  // namespace host

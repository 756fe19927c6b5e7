// The settings string: the script statement Config("12|1|30|...") that
// carries all settings of an instance, its writer (the host's fssProc) and
// its parser (the script function "Config").
//
// Format version 12, 61 fields separated by "|", in the order of the
// settings schema; older versions are read with the values their missing
// positions stood for. The parser never touches
// the run-time part of the record and never checks ranges.
#pragma once

#include <string>

#include "plugin/common/instance_data.h"
#include "plugin/common/settings_schema.h"
#include "plugin/filter_interface.h"

inline constexpr const char* kNewerVersionMessage =
    "Quiventa: The config file is created with a newer version of Quiventa than you have.";

// The whole statement for the settings of `data`.
std::string formatConfigStatement(const InstanceData& data);

// Writes the statement into `buffer` of `bufferLength` bytes. A statement
// that does not fit is not cut into a broken script line: the buffer then
// receives an empty string. Never writes past the buffer.
void writeConfigStatement(const InstanceData& data, char* buffer, int bufferLength);

// Reads the settings string (the statement's argument, with the script's
// backslash escapes already undone) into `data`, modifying `text` in place.
// A string of a newer format version shows the newer-version message and
// changes nothing; the result is then false.
bool parseConfigString(InstanceData& data, char* text);

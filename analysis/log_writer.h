// The pass-1 log: one text line per analysed frame or field, CR LF ended.
//
//   label <TAB> pan x <TAB> pan y <TAB> rotation <TAB> zoom [<TAB> top-edge set] [<TAB>new_scene]
//
// Labels: "%7li" of the frame number, or for fields "%6li" of the frame
// number followed by A (first field in time) or B. Numbers: "%7.2lf" pans,
// "%7.3lf" rotation in degrees, "%7.5lf" zoom factor.
//
// The file is opened when the first line is to be written (for interlaced
// video when the second is: the first is held in memory), created or
// truncated, or opened for appending after an empty line. A file that
// cannot be opened is reported once per run and retried on every line;
// only the latest line is held meanwhile.
#pragma once

#include <string>

#include "analysis/global_fit.h"

struct InstanceData;

// One line, CR LF included. Lines are never cut: absurd values make them
// longer, and the whole line is written.
std::string formatLogLine(const InstanceData& settings, long sourceFrame,
                          const RFrameMotion& motion);

inline constexpr const char* kCannotWriteLogMessage = "Cannot write to log file!";

// Opens the log if it is time to, then writes the held line and `line`, or
// holds `line` while the file is not open.
void writeLogLine(InstanceData& data, const std::string& line);

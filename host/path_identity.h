// Whether two names the user gave lead to the same file, so that no output
// (video, preview, log, plot) replaces an input or another output. Names
// are compared as what they open: the same existing file through any
// spelling, hard or symbolic link; otherwise the same path once the folders
// are resolved (symlinked folders included). An image-sequence pattern
// ("f%04d.png") stands for all the files it names: it is the same file as
// any of them, and as another pattern that names one of the same files
// ("f%004d.png", or "f%d.png" from frame 1000 on).
//
// Pure functions of the file system; thread-safe.
#pragma once

#include <string>

namespace host {

// True when the name's last component holds a frame-number field (%d, %04d).
bool isSequencePattern(const std::string& path);

// The frame number for which `pattern` (a file name, no folder) gives
// `fileName`, or -1 when it never does.
long long sequenceFrameNumber(const std::string& pattern, const std::string& fileName);

bool isSameFile(const std::string& first, const std::string& second);

}  // namespace host

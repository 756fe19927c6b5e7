// Starting another program and leaving it running: the desktop's handler for
// a web page, for instance. The program runs detached with its standard
// streams on /dev/null, so it neither blocks the caller nor writes into the
// host's terminal, and it is never left as a zombie. On Windows it is a new
// process whose handles are closed at once.
//
// Thread-safe; the call returns once the program has been started (not
// when it ends).
#pragma once

#include <string>
#include <vector>

namespace platform {

// `arguments[0]` is looked up in PATH. False when nothing could be started
// (no such program, no arguments); the program's own failure is not seen.
bool startDetachedProgram(const std::vector<std::string>& arguments);

#ifdef _WIN32
// A Windows program gets one command line and splits it itself, so commands
// found in the registry are started as they stand: the first word (quoted or
// not) names the program. Shown normally. False when nothing was started.
bool startCommandLine(const std::string& commandLine);
#endif

}  // namespace platform

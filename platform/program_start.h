// Starting another program and leaving it running: the desktop's handler for
// a web page, for instance. The program runs detached with its standard
// streams on /dev/null, so it neither blocks the caller nor writes into the
// host's terminal, and it is never left as a zombie.
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

}  // namespace platform

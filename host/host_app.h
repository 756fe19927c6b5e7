// The quiventa program: parses the command line, loads the filter module,
// prepares the settings and runs the command. Everything the program prints
// goes to `out` (the config statement, the usage) and `err` (messages);
// the progress line goes to the process's standard error when that is a
// terminal.
//
// Exit status: 0 done, 1 runtime failure, 2 usage or settings refused (then
// nothing ran), 130 interrupted by Ctrl-C (143 and 129 for SIGTERM, SIGHUP).
//
// Side effect: sets NUMBER_OF_PROCESSORS for the filter (to --threads, else
// to the machine's core count unless it is already set) before the filter
// instance is created.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace host {

// `arguments` without the program name.
int runQuiventa(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace host

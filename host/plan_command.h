// quiventa plan: shows what pass 2 would make of a log, for people. The log
// is planned by the filter's own planner (linked into the host for this
// command) exactly as a pass-2 start does for a source of the given size;
// the summary names each channel's largest correction, the entries held at
// the correction limit, the zoom range and the scene starts, and the plot
// draws each channel's camera path, its smoothed path and the limits.
#pragma once

#include <ostream>
#include <string>

namespace host {

struct RPlanRequest {
  std::string settings;  // the settings string (no Config(...) around it)
  std::string logPath;
  int width = 0, height = 0;  // the source the log belongs to
  std::string plotPath;       // empty: no plot
};

// Returns the exit status: 0 planned, 1 planning reached its iteration cap or
// the plot cannot be written. Throws CHostError: runtime when the log is
// refused (host/log_check.h), interrupted when planning was aborted.
int runPlan(const RPlanRequest& request, std::ostream& out, std::ostream& err);

}  // namespace host

// What the host checks in a log before pass 2 plans from it. The filter's
// own reader is tolerant and silent (unreadable lines are skipped, frames the
// log does not mention get no motion, a log without a plan renders message
// frames), so a wrong or broken log would give a wrong video and a success.
// The host reads the log with that same reader first and refuses:
//  - a name that is not a regular file, or a file far larger than a log of
//    any clip (the reader holds the whole file in memory);
//  - a log that gives two entries or fewer (pass 2 would plan nothing);
//  - a value that no camera motion between two frames gives (beyond ±1e9
//    pixels or degrees, a zoom factor outside 1e-9 to 1e9): the smoothing's
//    weights and sums would overflow and it would run to its iteration cap;
//  - for render, a log whose labels do not cover the input's frames (see
//    RLogFacts::covers), unless the user insists.
//
// Label numbers are the reader's: frame numbers, for interlaced video field
// numbers (2 frame + 0 for A, + 1 for B). Pure functions; thread-safe.
#pragma once

#include <string>
#include <vector>

namespace host {

struct RLogFacts {
  std::string path;
  long long entries = 0;    // entries pass 2 will plan
  long long baseLabel = 0;  // label number of entry 0, the reference
  // Per entry: a line of the log gave it its motion (entry 0 never needs one).
  std::vector<char> labelled;

  long long lastLabel() const { return baseLabel + entries - 1; }
  // True when pass 2 has the motion of the input's frame `frame`: entry 0,
  // or an entry a line filled (both fields' entries for interlaced video).
  bool covers(long long frame, bool interlaced) const;
  // The frames (first and last) of the labels, for messages.
  std::string frameRange(bool interlaced) const;
};

// Reads `path` as pass 2 reads it (with `rollingShutter`, the top-edge values
// too). Throws CHostError (runtime) for the refusals above; messages name
// the log `shownAs` when that is given (a temporary file stands for it).
RLogFacts readPlannableLog(const std::string& path, bool rollingShutter,
                           const std::string& shownAs = {});

// The largest log file the host reads: a log of a million frames is about
// 110 MB; the bound is 1 GiB, less on a machine with less than 8 GiB.
unsigned long long maximumLogBytes();

}  // namespace host

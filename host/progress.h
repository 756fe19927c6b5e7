// Progress of a command on standard error. On a terminal: one line redrawn
// in place at most ten times a second, with a bar and the percentage of the
// whole command (both passes of stabilize), the pass's frame count and
// frames per second, and the time the command has left. Not on a terminal
// (a batch job's log): a plain line every `lineSeconds` and one at the end
// of each pass, so a log shows how far a job came. Nothing with --quiet.
//
// Estimates: the frame count of a pass may be only the container's guess
// (shown as "~n"); at the end of the pass the true count replaces it, and
// later passes of the command use the true count. The time left assumes the
// rest of the command runs at the rate of the work so far.
//
// Thread-safety: one thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace host {

enum class ProgressMode { kOff, kBar, kLines };

struct RProgressPass {
  std::string name;            // e.g. "pass 1"
  long long total = 0;         // frame calls the pass will make; 0: unknown
  bool exact = false;          // total is known, not the container's estimate
  int index = 1;               // this pass, from 1
  int count = 1;               // passes of the command
  long long laterFrames = -1;  // frame calls of the later passes; -1: as many as this one's
};

// What one line shows; `done` and `total` count this pass's frames.
struct RProgressState {
  RProgressPass pass;
  long long done = 0;
  double framesPerSecond = 0;   // this pass
  double commandFraction = -1;  // 0..1 of the whole command; < 0: unknown
  double secondsLeft = -1;      // of the whole command; < 0: unknown
};

class CProgressDisplay {
 public:
  CProgressDisplay(std::FILE* stream, ProgressMode mode, double lineSeconds = 10)
      : stream_(stream), mode_(mode), lineSeconds_(lineSeconds) {}
  ~CProgressDisplay() { finish(); }
  CProgressDisplay(const CProgressDisplay&) = delete;
  CProgressDisplay& operator=(const CProgressDisplay&) = delete;

  void start(const RProgressPass& pass);
  void update(long long done);
  // Ends the pass's line (once per start); its count becomes the true one.
  void finish();

  // The text of one line without the bar, for tests and plain lines:
  // "pass 1 of 2: frame 12 of 300, 24.0 fps, 2% of the command, 0:24 left".
  static std::string formatLine(const RProgressState& state);
  // The terminal's line: "pass 1 of 2 [=====>        ]  45% ..." .
  static std::string formatBar(const RProgressState& state, int barWidth);

 private:
  using Clock = std::chrono::steady_clock;
  RProgressState state(Clock::time_point now) const;
  void draw(Clock::time_point now, bool last);

  std::FILE* stream_;
  ProgressMode mode_;
  double lineSeconds_;
  bool active_ = false;
  RProgressPass pass_;
  long long done_ = 0;
  // The command's work so far: frames of finished passes and their time.
  long long finishedFrames_ = 0;
  double finishedSeconds_ = 0;
  Clock::time_point started_;
  Clock::time_point lastDrawn_;
  std::size_t lastLength_ = 0;
};

}  // namespace host

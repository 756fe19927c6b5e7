// The progress line on standard error: pass name, frame i of n, frames per
// second and time left, rewritten in place with a carriage return. Shown
// only when enabled (a terminal, no --quiet); redrawn at most ten times a
// second.
//
// Thread-safety: one thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace host {

class CProgressDisplay {
 public:
  CProgressDisplay(std::FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}
  ~CProgressDisplay() { finish(); }

  // `total` 0: unknown, shown without "of n" and time left.
  void start(const std::string& passName, long long total);
  void update(long long done);
  // Ends the line (once per start).
  void finish();

  // The text of one line, for tests: e.g. "pass 1: frame 12 of 300, 24.0 fps, 0:12 left".
  static std::string formatLine(const std::string& passName, long long done, long long total,
                                double framesPerSecond);

 private:
  using Clock = std::chrono::steady_clock;
  void draw(Clock::time_point now);

  std::FILE* stream_;
  bool enabled_;
  bool active_ = false;
  std::string passName_;
  long long total_ = 0;
  Clock::time_point started_;
  Clock::time_point lastDrawn_;
  std::size_t lastLength_ = 0;
  long long lastDone_ = 0;
};

}  // namespace host

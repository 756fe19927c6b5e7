#include "host/progress.h"

#include <cmath>

namespace host {

std::string CProgressDisplay::formatLine(const std::string& passName, long long done,
                                         long long total, double framesPerSecond) {
  char text[160];
  if (total > 0 && done <= total) {
    std::string left = "-:--";
    if (framesPerSecond > 0) {
      const long long seconds = std::llround(static_cast<double>(total - done) / framesPerSecond);
      char clock[32];
      if (seconds >= 3600) {
        std::snprintf(clock, sizeof clock, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
      } else {
        std::snprintf(clock, sizeof clock, "%lld:%02lld", seconds / 60, seconds % 60);
      }
      left = clock;
    }
    std::snprintf(text, sizeof text, "%s: frame %lld of %lld, %.1f fps, %s left", passName.c_str(),
                  done, total, framesPerSecond, left.c_str());
  } else {
    std::snprintf(text, sizeof text, "%s: frame %lld, %.1f fps", passName.c_str(), done,
                  framesPerSecond);
  }
  return text;
}

void CProgressDisplay::start(const std::string& passName, long long total) {
  finish();
  passName_ = passName;
  total_ = total;
  started_ = Clock::now();
  lastDrawn_ = Clock::time_point{};
  lastLength_ = 0;
  lastDone_ = 0;
  active_ = enabled_;
}

void CProgressDisplay::update(long long done) {
  if (!active_) return;
  lastDone_ = done;
  const Clock::time_point now = Clock::now();
  if (now - lastDrawn_ < std::chrono::milliseconds(100)) return;
  draw(now);
}

void CProgressDisplay::draw(Clock::time_point now) {
  const long long done = lastDone_;
  lastDrawn_ = now;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const double fps = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  const std::string line = formatLine(passName_, done, total_, fps);
  // Blanks wipe what a longer previous line left behind.
  const std::size_t pad = lastLength_ > line.size() ? lastLength_ - line.size() : 0;
  std::fprintf(stream_, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
  std::fflush(stream_);
  lastLength_ = line.size();
}

void CProgressDisplay::finish() {
  if (!active_) return;
  if (lastLength_ > 0) draw(Clock::now());
  active_ = false;
  if (lastLength_ > 0) {
    std::fputc('\n', stream_);
    std::fflush(stream_);
  }
}

}  // namespace host

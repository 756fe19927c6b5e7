#include "host/progress.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

std::string clockText(double seconds) {
  const long long whole = std::llround(seconds);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

std::string passText(const RProgressPass& pass) {
  return pass.count > 1 ? pass.name + " of " + std::to_string(pass.count) : pass.name;
}

std::string countText(const RProgressState& state) {
  std::string text = "frame " + std::to_string(state.done);
  if (state.pass.total > 0 && state.done <= state.pass.total) {
    text += std::string(" of ") + (state.pass.exact ? "" : "~") + std::to_string(state.pass.total);
  }
  char rate[32];
  std::snprintf(rate, sizeof rate, ", %.1f fps", state.framesPerSecond);
  return text + rate;
}

}  // namespace

std::string CProgressDisplay::formatLine(const RProgressState& state) {
  std::string text = passText(state.pass) + ": " + countText(state);
  if (state.commandFraction >= 0 && state.pass.count > 1) {
    text += ", " + std::to_string(std::lround(state.commandFraction * 100)) + "% of the command";
  }
  if (state.secondsLeft >= 0) text += ", " + clockText(state.secondsLeft) + " left";
  return text;
}

std::string CProgressDisplay::formatBar(const RProgressState& state, int barWidth) {
  std::string bar(static_cast<std::size_t>(barWidth), ' ');
  std::string percent = "  ?%";
  if (state.commandFraction >= 0) {
    const double fraction = std::clamp(state.commandFraction, 0.0, 1.0);
    const int filled = static_cast<int>(fraction * barWidth);
    for (int i = 0; i < filled; ++i) bar[static_cast<std::size_t>(i)] = '=';
    if (filled < barWidth) bar[static_cast<std::size_t>(filled)] = '>';
    char text[16];
    std::snprintf(text, sizeof text, "%3ld%%", std::lround(fraction * 100));
    percent = text;
  }
  std::string line = passText(state.pass) + " [" + bar + "] " + percent + "  " + countText(state);
  line += state.secondsLeft >= 0 ? ", " + clockText(state.secondsLeft) + " left" : "";
  return line;
}

void CProgressDisplay::start(const RProgressPass& pass) {
  finish();
  pass_ = pass;
  done_ = 0;
  started_ = Clock::now();
  lastDrawn_ = started_;
  lastLength_ = 0;
  active_ = mode_ != ProgressMode::kOff;
}

void CProgressDisplay::update(long long done) {
  if (!active_) return;
  done_ = done;
  const Clock::time_point now = Clock::now();
  const double interval = mode_ == ProgressMode::kBar ? 0.1 : lineSeconds_;
  if (std::chrono::duration<double>(now - lastDrawn_).count() < interval) return;
  draw(now, false);
}

RProgressState CProgressDisplay::state(Clock::time_point now) const {
  RProgressState state;
  state.pass = pass_;
  state.done = done_;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  state.framesPerSecond = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
  if (pass_.total > 0 && done_ <= pass_.total) {
    // Later passes go over the same frames unless told otherwise (a part:
    // pass 1 analyses more than pass 2 renders).
    const double later = pass_.laterFrames >= 0
                             ? static_cast<double>(pass_.laterFrames)
                             : static_cast<double>(pass_.total) * (pass_.count - pass_.index);
    const double commandFrames = static_cast<double>(finishedFrames_ + pass_.total) + later;
    const double doneFrames = static_cast<double>(finishedFrames_ + done_);
    state.commandFraction = doneFrames / commandFrames;
    const double workSeconds = finishedSeconds_ + seconds;
    const double workFrames = static_cast<double>(finishedFrames_ + done_);
    if (workFrames > 0 && workSeconds > 0) {
      state.secondsLeft = (commandFrames - doneFrames) * workSeconds / workFrames;
    }
  }
  return state;
}

void CProgressDisplay::draw(Clock::time_point now, bool last) {
  lastDrawn_ = now;
  const RProgressState shown = state(now);
  if (mode_ == ProgressMode::kLines) {
    std::fprintf(stream_, "quiventa: %s\n", formatLine(shown).c_str());
    std::fflush(stream_);
    return;
  }
  const std::string line = formatBar(shown, 24);
  // Blanks wipe what a longer previous line left behind.
  const std::size_t pad = lastLength_ > line.size() ? lastLength_ - line.size() : 0;
  std::fprintf(stream_, "\r%s%*s%s", line.c_str(), static_cast<int>(pad), "", last ? "\n" : "");
  std::fflush(stream_);
  lastLength_ = line.size();
}

void CProgressDisplay::finish() {
  if (!active_) return;
  active_ = false;
  const Clock::time_point now = Clock::now();
  // The pass has ended: what it did is its true length, whatever the
  // container guessed.
  pass_.total = done_;
  pass_.exact = true;
  draw(now, true);
  finishedFrames_ += done_;
  finishedSeconds_ += std::chrono::duration<double>(now - started_).count();
}

}  // namespace host

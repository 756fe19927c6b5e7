// How much shake a clip has: the high-frequency part of the camera path that
// pass 1 logs. The path of each channel is the running sum of the logged
// frame-to-frame motion (pan x, pan y, rotation; zoom as its logarithm); its
// high-frequency part is the path minus its centred moving average. Scene
// starts begin a new path.
//
// The default average is weighted so that it follows a steady acceleration
// exactly (the weights of a local quadratic fit); a plain average lags behind
// a curving path and would count, e.g., a pan that speeds up by 0.05 px per
// frame as 0.25 px of shake with 11 frames.
//
// Thread-safety: the functions share no state.
#pragma once

#include <string>
#include <vector>

namespace qvjitter {

struct RLogEntry {
  double panX = 0, panY = 0, rotation = 0, zoom = 1;
  bool newScene = false;
};

// The lines of a pass-1 log in file order (labels are not interpreted;
// malformed lines are skipped).
std::vector<RLogEntry> parseLog(const std::string& text);

struct RJitter {
  double panX = 0, panY = 0, rotation = 0, logZoom = 0;  // RMS
  int frames = 0;  // entries that took part
};

// `halfWindow` frames on either side form the moving average; entries closer
// than that to a scene boundary or the ends take no part.
enum class Average { kQuadratic, kPlain };

RJitter measureJitter(const std::vector<RLogEntry>& entries, int halfWindow = 5,
                      Average average = Average::kQuadratic);

}  // namespace qvjitter

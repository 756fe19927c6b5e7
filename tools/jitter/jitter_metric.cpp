#include "tools/jitter/jitter_metric.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace qvjitter {

std::vector<RLogEntry> parseLog(const std::string& text) {
  std::vector<RLogEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string label, word;
    if (!(fields >> label) || label.empty() || label[0] < '0' || label[0] > '9') continue;
    RLogEntry entry;
    double values[4];
    int count = 0;
    while (fields >> word) {
      if (word == "new_scene") {
        entry.newScene = true;
      } else if (count < 4) {
        values[count++] = std::atof(word.c_str());
      }
    }
    if (count < 4 || !(values[3] > 0)) continue;
    entry.panX = values[0];
    entry.panY = values[1];
    entry.rotation = values[2];
    entry.zoom = values[3];
    entries.push_back(entry);
  }
  return entries;
}

RJitter measureJitter(const std::vector<RLogEntry>& entries, int halfWindow, Average average) {
  // Centre weights of a least-squares quadratic over 2m + 1 points.
  const int m = halfWindow;
  std::vector<double> weights(static_cast<std::size_t>(2 * m + 1), 1.0 / (2 * m + 1));
  if (average == Average::kQuadratic) {
    const double denominator = (2.0 * m - 1) * (2.0 * m + 1) * (2.0 * m + 3);
    for (int j = -m; j <= m; ++j) {
      weights[static_cast<std::size_t>(j + m)] =
          (3.0 * (3.0 * m * m + 3.0 * m - 1) - 15.0 * j * j) / denominator;
    }
  }
  RJitter jitter;
  double sums[4] = {};
  std::size_t start = 0;
  while (start < entries.size()) {
    std::size_t end = start + 1;
    while (end < entries.size() && !entries[end].newScene) ++end;
    // Paths of this scene, from 0 at its first entry.
    std::vector<double> path[4];
    double running[4] = {};
    for (std::size_t i = start; i < end; ++i) {
      if (i > start) {
        running[0] += entries[i].panX;
        running[1] += entries[i].panY;
        running[2] += entries[i].rotation;
        running[3] += std::log(entries[i].zoom);
      }
      for (int c = 0; c < 4; ++c) path[c].push_back(running[c]);
    }
    const int length = static_cast<int>(end - start);
    for (int i = halfWindow; i + halfWindow < length; ++i) {
      for (int c = 0; c < 4; ++c) {
        double mean = 0;
        for (int j = -m; j <= m; ++j) {
          mean += weights[static_cast<std::size_t>(j + m)] * path[c][static_cast<std::size_t>(i + j)];
        }
        const double d = path[c][static_cast<std::size_t>(i)] - mean;
        sums[c] += d * d;
      }
      ++jitter.frames;
    }
    start = end;
  }
  if (jitter.frames > 0) {
    jitter.panX = std::sqrt(sums[0] / jitter.frames);
    jitter.panY = std::sqrt(sums[1] / jitter.frames);
    jitter.rotation = std::sqrt(sums[2] / jitter.frames);
    jitter.logZoom = std::sqrt(sums[3] / jitter.frames);
  }
  return jitter;
}

}  // namespace qvjitter

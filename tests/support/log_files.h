// Pass-1 logs for tests and benchmarks that start at pass 2.
#pragma once

#include <string>

namespace testing_support {

// One log line as pass 1 formats it (a frame number, or a field's such as
// "12A"), ended by CR LF.
std::string logLine(const std::string& label, double panX, double panY, double rotation,
                    double zoom, bool newScene = false);
inline std::string logLine(int frame, double panX, double panY, double rotation, double zoom,
                           bool newScene = false) {
  return logLine(std::to_string(frame), panX, panY, rotation, zoom, newScene);
}

// `frames` progressive lines (labels 1..frames) in the writer's format: a
// slow pan with random shake, seeded.
std::string shakyLogText(int frames, unsigned seed, double panPerFrame = 0.5);

// Replaces the file's content (creating it if missing); throws
// std::runtime_error when it cannot be written.
void writeTextFile(const std::string& path, const std::string& text);

}  // namespace testing_support

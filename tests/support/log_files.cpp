#include "tests/support/log_files.h"

#include <cstdio>
#include <random>
#include <stdexcept>

#include "platform/file_io.h"

namespace testing_support {

std::string logLine(const std::string& label, double panX, double panY, double rotation,
                    double zoom, bool newScene) {
  char line[200];
  std::snprintf(line, sizeof line, "%7s\t%7.2lf\t%7.2lf\t%7.3lf\t%7.5lf%s\r\n", label.c_str(), panX,
                panY, rotation, zoom, newScene ? "\tnew_scene" : "");
  return line;
}

std::string shakyLogText(int frames, unsigned seed, double panPerFrame) {
  std::mt19937 random(seed);
  std::normal_distribution<double> jitter(0.0, 2.0);
  std::string text;
  char line[200];
  for (int i = 1; i <= frames; ++i) {
    std::snprintf(line, sizeof line, "%7i\t%7.2lf\t%7.2lf\t%7.3lf\t%7.5lf\r\n", i,
                  panPerFrame + jitter(random), jitter(random), 0.1 * jitter(random),
                  1.0 + 0.001 * jitter(random));
    text += line;
  }
  return text;
}

void writeTextFile(const std::string& path, const std::string& text) {
  platform::FileHandle file = platform::createFileTruncate(path.c_str());
  const bool written = file != platform::kInvalidFileHandle &&
                       platform::writeFile(file, text.data(), text.size());
  platform::closeFile(file);
  if (!written) throw std::runtime_error("cannot write " + path);
}

}  // namespace testing_support

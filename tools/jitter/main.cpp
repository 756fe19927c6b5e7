// quiventa-jitter: compares the shake left in a stabilised clip with the
// shake of its input, from the pass-1 logs of both:
//   quiventa analyze INPUT --log before.log
//   quiventa analyze OUTPUT --log after.log
//   quiventa-jitter before.log after.log
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "tools/jitter/jitter_metric.h"

namespace {

bool load(const char* path, qvjitter::RJitter* jitter, int halfWindow,
          qvjitter::Average average) {
  std::string text;
  if (!platform::readWholeFile(path, &text)) {
    std::fprintf(stderr, "quiventa-jitter: cannot read %s\n", path);
    return false;
  }
  const auto entries = qvjitter::parseLog(text);
  if (entries.empty()) {
    std::fprintf(stderr, "quiventa-jitter: %s holds no log lines\n", path);
    return false;
  }
  *jitter = qvjitter::measureJitter(entries, halfWindow, average);
  return true;
}

void printRow(const char* name, const char* format, double before, double after) {
  char left[32] = "      -";  // nothing to remove
  if (before > 1e-9) std::snprintf(left, sizeof left, "%7.1f%%", 100.0 * after / before);
  std::printf("%-10s ", name);
  std::printf(format, before, after);
  std::printf(" %s\n", left);
}

}  // namespace

int main(int argc, char** argv) {
  qvjitter::Average average = qvjitter::Average::kQuadratic;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--plain-average") {
      average = qvjitter::Average::kPlain;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2) {
    std::fprintf(stderr, "usage: quiventa-jitter [--plain-average] BEFORE.log AFTER.log\n");
    return 2;
  }
  const int halfWindow = 5;
  qvjitter::RJitter before, after;
  if (!load(files[0], &before, halfWindow, average) ||
      !load(files[1], &after, halfWindow, average)) {
    return 1;
  }
  std::printf("high-frequency jitter (RMS of path minus its %d-frame %s moving average)\n",
              2 * halfWindow + 1,
              average == qvjitter::Average::kPlain ? "plain" : "quadratic-weighted");
  std::printf("%-10s %12s %12s %8s\n", "channel", "before", "after", "left");
  printRow("pan x px", "%12.4f %12.4f", before.panX, after.panX);
  printRow("pan y px", "%12.4f %12.4f", before.panY, after.panY);
  printRow("rotation", "%12.5f %12.5f", before.rotation, after.rotation);
  printRow("log zoom", "%12.6f %12.6f", before.logZoom, after.logZoom);
  return 0;
}

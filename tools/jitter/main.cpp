// quiventa-jitter: compares the shake left in a stabilised clip with the
// shake of its input, from the pass-1 logs of both:
//   quiventa analyze INPUT --log before.log
//   quiventa analyze OUTPUT --log after.log
//   quiventa-jitter before.log after.log
#include <cstdio>
#include <string>

#include "platform/file_io.h"
#include "tools/jitter/jitter_metric.h"

namespace {

bool load(const char* path, qvjitter::RJitter* jitter, int halfWindow) {
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
  *jitter = qvjitter::measureJitter(entries, halfWindow);
  return true;
}

double percent(double after, double before) { return before > 0 ? 100.0 * after / before : 0.0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quiventa-jitter BEFORE.log AFTER.log\n");
    return 2;
  }
  const int halfWindow = 5;
  qvjitter::RJitter before, after;
  if (!load(argv[1], &before, halfWindow) || !load(argv[2], &after, halfWindow)) return 1;
  std::printf("high-frequency jitter (RMS of path minus its %d-frame moving average)\n",
              2 * halfWindow + 1);
  std::printf("%-10s %12s %12s %8s\n", "channel", "before", "after", "left");
  std::printf("%-10s %12.4f %12.4f %7.1f%%\n", "pan x px", before.panX, after.panX,
              percent(after.panX, before.panX));
  std::printf("%-10s %12.4f %12.4f %7.1f%%\n", "pan y px", before.panY, after.panY,
              percent(after.panY, before.panY));
  std::printf("%-10s %12.5f %12.5f %7.1f%%\n", "rotation", before.rotation, after.rotation,
              percent(after.rotation, before.rotation));
  std::printf("%-10s %12.6f %12.6f %7.1f%%\n", "log zoom", before.logZoom, after.logZoom,
              percent(after.logZoom, before.logZoom));
  return 0;
}

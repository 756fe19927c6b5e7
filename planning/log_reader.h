// Reading the pass-1 log when pass 2 starts: one entry per frame (or field),
// entry 0 being the frame before the first logged one (the reference of the
// camera path, without motion).
//
// The reader is tolerant: a line that does not parse is skipped silently,
// and frames the log does not mention become entries without motion. A log
// whose last-write time equals the cached one is not read at all, so the
// plan built from it the last time stays.
#pragma once

#include <cstddef>
#include <vector>

struct InstanceData;

// The nine series, all of the same length, indexed by entry.
struct RMotionSeries {
  std::vector<double> panX, panY, rotation, logZoom;  // the entry's own motion
  // Top edge (rolling shutter); MISSING_VALUE where the log gives none.
  std::vector<double> topPanX, topPanY, topRotation, topZoom;
  std::vector<int> sceneStart;

  std::size_t size() const { return panX.size(); }
  // Appends `count` entries without motion.
  void appendEmpty(std::size_t count) { insertEmpty(false, count); }
  // Inserts `count` entries without motion before entry 0.
  void prependEmpty(std::size_t count) { insertEmpty(true, count); }

 private:
  void insertEmpty(bool atFront, std::size_t count);
};

enum class LogReadResult {
  kUnchanged,  // same last-write time as cached: keep the previous plan
  kRead,       // the series hold the file's content (possibly empty)
  kNotRead,    // the file could not be opened, stamped, sized or read
};

// Reads `logFilePath` into `series` (which must be empty). With kRead and
// with a failure after the time check, the previous plan has been released
// and logFileTime holds the file's time.
LogReadResult readLog(InstanceData& data, RMotionSeries& series);

// The parsing alone, on text already in memory (exposed for tests).
// Sets logBaseFrame.
void parseLogText(InstanceData& data, const char* text, std::size_t size, RMotionSeries& series);

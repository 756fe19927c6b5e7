#include "planning/log_reader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "plugin/common/frame_plan.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/missing_value.h"
#include "plugin/common/token_reader.h"

namespace {

constexpr const char* kSeparators = " \t\r\n";
constexpr int kFarthestEntry = 1000000;

void closeLog(InstanceData& data) {
  platform::closeFile(data.logFileHandle);
  data.logFileHandle = platform::kInvalidFileHandle;
}

// Removes every "new_scene" from the text; true if there was one.
bool removeNewScene(std::string& text) {
  static const std::string kMark = "new_scene";
  bool found = false;
  for (std::size_t at = text.find(kMark); at != std::string::npos; at = text.find(kMark, at)) {
    text.erase(at, kMark.size());
    found = true;
  }
  return found;
}

// The series while a log is parsed. Labels that come in descending order
// (an appended run that started earlier, or a log written backwards) each
// insert entries before entry 0; moving every entry up for each of them
// would make reading quadratic. So the series keep unused room in front:
// entry i lives at slot front + i, the slots before `front` hold the values
// of an entry without motion, and the room doubles when it runs out.
class CSeriesBuilder {
 public:
  explicit CSeriesBuilder(RMotionSeries& series) : series_(series) {}
  ~CSeriesBuilder() {
    for (std::vector<double>* values :
         {&series_.panX, &series_.panY, &series_.rotation, &series_.logZoom, &series_.topPanX,
          &series_.topPanY, &series_.topRotation, &series_.topZoom}) {
      values->erase(values->begin(), values->begin() + static_cast<std::ptrdiff_t>(front_));
    }
    series_.sceneStart.erase(series_.sceneStart.begin(),
                             series_.sceneStart.begin() + static_cast<std::ptrdiff_t>(front_));
  }
  CSeriesBuilder(const CSeriesBuilder&) = delete;
  CSeriesBuilder& operator=(const CSeriesBuilder&) = delete;

  std::size_t size() const { return series_.size() - front_; }
  void prependEmpty(std::size_t count) {
    if (count > front_) {
      const std::size_t room = std::max(count - front_, size() + count);
      series_.prependEmpty(room);
      front_ += room;
    }
    front_ -= count;
  }
  void appendEmpty(std::size_t count) { series_.appendEmpty(count); }
  // The slot of entry `index`.
  std::size_t slot(std::size_t index) const { return front_ + index; }
  RMotionSeries& series() { return series_; }

 private:
  RMotionSeries& series_;
  std::size_t front_ = 0;
};

void parseLine(InstanceData& data, std::string line, CSeriesBuilder& builder) {
  char* remaining = line.data();
  const char* label = readToken(remaining, kSeparators);
  if (*label < '0' || *label > '9') return;  // also the empty token

  const std::size_t labelLength = std::strlen(label);
  const char last = label[labelLength - 1];
  // The label's number; labels beyond the frame-number range are not lines
  // pass 1 wrote.
  long long frame = 0;
  for (const char* digit = label; *digit >= '0' && *digit <= '9'; ++digit) {
    frame = frame * 10 + (*digit - '0');
    if (frame > INT_MAX) return;
  }
  const long long n = last == 'A' || last == 'B' ? 2 * frame + (last == 'A' ? 0 : 1) : frame;
  if (n > INT_MAX) return;

  if (data.logBaseFrame == kLogBaseFrameUnset) data.logBaseFrame = static_cast<int>(n - 1);
  const long long d = static_cast<long long>(n) - data.logBaseFrame;
  std::size_t index;
  if (d <= 0 && static_cast<long long>(builder.size()) + 1 - d > kFarthestEntry) {
    // The entries would reach farther than the farthest entry may lie after
    // entry 0: not lines of one clip, and room for them (a few such labels,
    // each far before the last) would exhaust the memory.
    return;
  } else if (d <= 0) {
    // A label at or before entry 0 (an appended run that started earlier):
    // everything moves up and this line becomes entry 1.
    builder.prependEmpty(static_cast<std::size_t>(1 - d));
    data.logBaseFrame = static_cast<int>(n - 1);
    index = 1;
  } else if (d >= kFarthestEntry) {
    return;
  } else {
    index = static_cast<std::size_t>(d);
  }

  std::string rest = remaining;
  const int sceneStart = removeNewScene(rest) ? 1 : 0;
  char* numbers = rest.data();
  const char* fields[4];
  for (const char*& field : fields) {
    field = readToken(numbers, kSeparators);
    if (*field == '\0') return;
  }

  double motion[4];
  for (int i = 0; i < 4; ++i) motion[i] = parseDecimalDouble(fields[i]);
  // A zoom that is not a positive factor, or a value that is not finite,
  // would poison the whole camera path: such a line counts as malformed.
  for (double value : motion) {
    if (!std::isfinite(value)) return;
  }
  if (!(motion[3] > 0.0)) return;

  if (builder.size() < index + 1) builder.appendEmpty(index + 1 - builder.size());
  RMotionSeries& series = builder.series();
  index = builder.slot(index);
  series.panX[index] = motion[0];
  series.panY[index] = motion[1];
  series.rotation[index] = motion[2];
  series.logZoom[index] = std::log(motion[3]);
  series.sceneStart[index] = sceneStart;

  double top[4] = {MISSING_VALUE, MISSING_VALUE, MISSING_VALUE, MISSING_VALUE};
  if (data.rollingShutter) {
    for (double& value : top) {
      const char* field = readToken(numbers, kSeparators);
      if (*field == '\0') break;
      value = parseDecimalDouble(field);
    }
    // Unusable top-edge values count as missing: the entry then falls back
    // to the whole-frame motion.
    for (double& value : top) {
      if (!std::isfinite(value)) value = MISSING_VALUE;
    }
    if (top[3] != MISSING_VALUE && !(top[3] > 0.0)) top[3] = MISSING_VALUE;
  }
  series.topPanX[index] = top[0];
  series.topPanY[index] = top[1];
  series.topRotation[index] = top[2];
  series.topZoom[index] = top[3];
}

}  // namespace

void RMotionSeries::insertEmpty(bool atFront, std::size_t count) {
  auto insert = [&](auto& series, auto value) {
    series.insert(atFront ? series.begin() : series.end(), count, value);
  };
  for (std::vector<double>* series : {&panX, &panY, &rotation, &logZoom}) insert(*series, 0.0);
  for (std::vector<double>* series : {&topPanX, &topPanY, &topRotation, &topZoom}) {
    insert(*series, MISSING_VALUE);
  }
  insert(sceneStart, 0);
}

void parseLogText(InstanceData& data, const char* text, std::size_t size, RMotionSeries& series) {
  data.logBaseFrame = kLogBaseFrameUnset;
  CSeriesBuilder builder(series);
  std::size_t start = 0;
  while (start < size) {
    const void* found = std::memchr(text + start, '\n', size - start);
    if (found == nullptr) break;  // a last line without LF is not parsed
    const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(found) - text);
    // Bytes after a zero inside a line are not text the writer produced.
    parseLine(data, std::string(text + start, end - start).c_str(), builder);
    start = end + 1;
  }
}

LogReadResult readLog(InstanceData& data, RMotionSeries& series) {
  const char* path = data.logFilePath != nullptr ? data.logFilePath->c_str() : "";
  data.logFileHandle = platform::openFileForRead(path);
  if (data.logFileHandle == platform::kInvalidFileHandle) return LogReadResult::kNotRead;

  std::uint64_t time = 0;
  if (!platform::getLastWriteTime(data.logFileHandle, &time)) {
    closeLog(data);
    return LogReadResult::kNotRead;
  }
  if (time == data.logFileTime) {
    closeLog(data);
    return LogReadResult::kUnchanged;
  }

  releaseFramePlans(data);
  data.logFileTime = time;

  std::uint64_t size = 0;
  if (!platform::getFileSize(data.logFileHandle, &size)) {
    closeLog(data);
    return LogReadResult::kNotRead;
  }
  std::string text;
  std::size_t bytesRead = 0;
  try {
    text.resize(static_cast<std::size_t>(size));
  } catch (const std::exception&) {
    closeLog(data);
    return LogReadResult::kNotRead;
  }
  if (!platform::readFile(data.logFileHandle, text.data(), text.size(), &bytesRead) ||
      bytesRead != text.size()) {
    closeLog(data);
    return LogReadResult::kNotRead;
  }
  parseLogText(data, text.data(), text.size(), series);
  closeLog(data);
  return LogReadResult::kRead;
}

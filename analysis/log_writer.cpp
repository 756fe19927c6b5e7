#include "analysis/log_writer.h"

#include <cstdio>

#include "platform/file_io.h"
#include "platform/message_box.h"
#include "plugin/common/instance_data.h"

namespace {

void appendFormatted(std::string& out, const char* format, double value) {
  // Large enough for any double in these formats (at most 309 digits).
  char text[400];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

void appendSet(std::string& out, const RGlobalMotionInfo& set) {
  appendFormatted(out, "\t%7.2lf", set.panX);
  appendFormatted(out, "\t%7.2lf", set.panY);
  appendFormatted(out, "\t%7.3lf", set.rotation);
  appendFormatted(out, "\t%7.5lf", set.zoom);
}

void openLogFile(InstanceData& data) {
  const char* path = data.logFilePath != nullptr ? data.logFilePath->c_str() : "";
  if (!data.appendToLogFile) {
    data.logFileHandle = platform::createFileTruncate(path);
  } else {
    data.logFileHandle = platform::openOrCreateFile(path);
    if (data.logFileHandle != platform::kInvalidFileHandle) {
      // Appended runs are separated by an empty line.
      platform::seekToEnd(data.logFileHandle);
      platform::writeFile(data.logFileHandle, "\r\n", 2);
    }
  }
  if (data.logFileHandle == platform::kInvalidFileHandle && !data.logWarningShown) {
    platform::messageBox(kCannotWriteLogMessage, "Quiventa", platform::MessageBoxButtons::kOk);
    data.logWarningShown = 1;
  }
}

}  // namespace

std::string formatLogLine(const InstanceData& settings, long sourceFrame,
                          const RFrameMotion& motion) {
  char label[64];
  if (settings.interlaced) {
    std::snprintf(label, sizeof label, "%6li%c", sourceFrame / 2, sourceFrame % 2 == 0 ? 'A' : 'B');
  } else {
    std::snprintf(label, sizeof label, "%7li", sourceFrame);
  }
  std::string line = label;
  appendSet(line, motion.whole);
  if (settings.rollingShutter) appendSet(line, motion.top);
  if (motion.newScene) line += "\tnew_scene";
  line += "\r\n";
  return line;
}

void writeLogLine(InstanceData& data, const std::string& line) {
  const bool holding = data.pendingLogLine != nullptr && !data.pendingLogLine->empty();
  if (data.logFileHandle == platform::kInvalidFileHandle && (!data.interlaced || holding)) {
    openLogFile(data);
  }
  if (data.logFileHandle != platform::kInvalidFileHandle) {
    if (data.pendingLogLine != nullptr) {
      platform::writeFile(data.logFileHandle, data.pendingLogLine->data(),
                          data.pendingLogLine->size());
      delete data.pendingLogLine;
      data.pendingLogLine = nullptr;
    }
    platform::writeFile(data.logFileHandle, line.data(), line.size());
  } else if (data.pendingLogLine != nullptr) {
    *data.pendingLogLine = line;
  } else {
    data.pendingLogLine = new std::string(line);
  }
}

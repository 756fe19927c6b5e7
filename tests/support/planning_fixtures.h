// Fixtures for the pass-2 preparation suites: log files written the way pass
// 1 writes them, control of their last-write time, stand-ins for the
// progress window and the message boxes that record what the planner showed
// and asked, and an instance that plans.
//
// Every stand-in installs itself on construction and puts back what was
// installed before on destruction; use them only while no callback runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/progress_window.h"
#include "tests/support/filter_instance.h"
#include "tests/support/log_files.h"
#include "tests/support/scratch_folder.h"

namespace testing_support {

// Sets the file's last-write time to `seconds` after the epoch, so that tests
// do not depend on the file system's timestamp granularity.
void setLastWriteTime(const std::string& path, std::int64_t seconds);

// The same with the top-edge set of a rolling-shutter log.
std::string logLineWithTopEdge(int frame, double panX, double panY, double rotation, double zoom,
                               double topPanX, double topPanY, double topRotation, double topZoom);

// `lines` motionless lines from frame `first` on; with `fields`, labels
// count fields: field i is frame i / 2, A when i is even.
std::string stillLog(int lines, bool fields, int first = 1);

// Runs `body` in a child process, with message boxes answering No, and
// expects it back within two seconds: for inputs that once stalled a loop.
void expectReturnsWithinTwoSeconds(const std::function<void()>& body);

// Message boxes shown while this object lives; a Yes/No question gets
// `answer`, an OK box gets OK.
class CRecordingMessageBoxes {
 public:
  struct RMessage {
    std::string text;
    platform::MessageBoxButtons buttons;
  };

  explicit CRecordingMessageBoxes(platform::MessageBoxAnswer answer);
  ~CRecordingMessageBoxes();
  CRecordingMessageBoxes(const CRecordingMessageBoxes&) = delete;
  CRecordingMessageBoxes& operator=(const CRecordingMessageBoxes&) = delete;

  const std::vector<RMessage>& messages() const { return *messages_; }

 private:
  std::shared_ptr<std::vector<RMessage>> messages_;
  platform::MessageBoxHandler previous_;
};

// One filter instance that plans pass 2 as a host's start does, from logs
// written into a scratch folder. Each plan ends the run before (if any) and
// starts a new one; the destructor ends the last. The progress windows made
// while it lives are recorded: how many were made and are still alive, how
// often they were polled; `clicksAtPoll` says how many "Cancel" clicks
// arrive before poll number p (0-based).
class CPlanningRun {
 public:
  struct RWindows {
    int created = 0;
    int alive = 0;
    int polls = 0;
    std::function<int(int poll)> clicksAtPoll;
  };

  CPlanningRun(long width, long height);
  ~CPlanningRun();
  CPlanningRun(const CPlanningRun&) = delete;
  CPlanningRun& operator=(const CPlanningRun&) = delete;

  InstanceData& data() { return instance_.data(); }
  CFilterInstance& instance() { return instance_; }
  RWindows& windows() { return *windows_; }
  const std::string& logPath() const { return logPath_; }

  // Writes the log with the last-write time `seconds` after the epoch (by
  // default one second after the previous log's), then starts.
  void plan(const std::string& log, std::int64_t seconds = 0);
  // Starts again with the log as it is.
  void start();

 private:
  CScratchFolder folder_;
  CFilterInstance instance_;
  std::shared_ptr<RWindows> windows_ = std::make_shared<RWindows>();
  platform::ProgressWindowFactory previousFactory_;
  std::string logPath_;
  std::int64_t stamp_ = 1000000;
};

}  // namespace testing_support

#include "tests/support/planning_fixtures.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "plugin/filter/end_callback.h"
#include "plugin/filter/start_callback.h"

namespace testing_support {

void setLastWriteTime(const std::string& path, std::int64_t seconds) {
  const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    throw std::runtime_error("cannot stamp " + path);
  }
}

std::string logLineWithTopEdge(int frame, double panX, double panY, double rotation, double zoom,
                               double topPanX, double topPanY, double topRotation, double topZoom) {
  char line[200];
  std::snprintf(line, sizeof line,
                "%7i\t%7.2lf\t%7.2lf\t%7.3lf\t%7.5lf\t%7.2lf\t%7.2lf\t%7.3lf\t%7.5lf\r\n", frame,
                panX, panY, rotation, zoom, topPanX, topPanY, topRotation, topZoom);
  return line;
}

std::string stillLog(int lines, bool fields, int first) {
  std::string text;
  for (int i = first; i < first + lines; ++i) {
    text += logLine(fields ? std::to_string(i / 2) + (i % 2 == 0 ? "A" : "B") : std::to_string(i),
                    0, 0, 0, 1);
  }
  return text;
}

void expectReturnsWithinTwoSeconds(const std::function<void()>& body) {
  EXPECT_EXIT(
      {
        alarm(2);
        CRecordingMessageBoxes boxes(platform::MessageBoxAnswer::kNo);
        body();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

namespace {

class CRecordingWindow : public platform::CProgressWindow {
 public:
  explicit CRecordingWindow(std::shared_ptr<CPlanningRun::RWindows> state)
      : state_(std::move(state)) {
    ++state_->created;
    ++state_->alive;
  }
  ~CRecordingWindow() override { --state_->alive; }
  void setCaption(const std::string&) override {}
  void setStatusText(const std::string&) override {}
  int pumpMessages() override {
    const int poll = state_->polls++;
    return state_->clicksAtPoll ? state_->clicksAtPoll(poll) : 0;
  }

 private:
  std::shared_ptr<CPlanningRun::RWindows> state_;
};

}  // namespace

CRecordingMessageBoxes::CRecordingMessageBoxes(platform::MessageBoxAnswer answer)
    : messages_(std::make_shared<std::vector<RMessage>>()) {
  std::shared_ptr<std::vector<RMessage>> messages = messages_;
  previous_ =
      platform::setMessageBoxHandler([messages, answer](const std::string& text, const std::string&,
                                                        platform::MessageBoxButtons buttons) {
        messages->push_back(RMessage{text, buttons});
        return buttons == platform::MessageBoxButtons::kYesNo ? answer
                                                              : platform::MessageBoxAnswer::kOk;
      });
}

CRecordingMessageBoxes::~CRecordingMessageBoxes() {
  platform::setMessageBoxHandler(std::move(previous_));
}

CPlanningRun::CPlanningRun(long width, long height) : logPath_(folder_.path("run.log")) {
  instance_.setSourceSize(width, height);
  data().pass = 2;
  *data().logFilePath = logPath_;
  previousFactory_ = platform::setProgressWindowFactory(
      [windows = windows_]() -> std::unique_ptr<platform::CProgressWindow> {
        return std::make_unique<CRecordingWindow>(windows);
      });
}

CPlanningRun::~CPlanningRun() {
  endProc(&instance_.fa(), nullptr);
  platform::setProgressWindowFactory(std::move(previousFactory_));
}

void CPlanningRun::plan(const std::string& log, std::int64_t seconds) {
  writeTextFile(logPath_, log);
  stamp_ = seconds != 0 ? seconds : stamp_ + 1;
  setLastWriteTime(logPath_, stamp_);
  start();
}

void CPlanningRun::start() {
  endProc(&instance_.fa(), nullptr);
  startProc(&instance_.fa(), nullptr);
}

}  // namespace testing_support

// Signals against the built program, as a user at a terminal or a batch
// system sends them: the run stops cleanly, exactly once, with 128 + the
// signal, whether or not a terminal can answer the abort question, and
// leaves no temporary and no changed file behind.
#include "host/interrupt.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/host/test_media.h"
#include "tests/support/log_files.h"
#include "tests/support/scratch_folder.h"

namespace {

// The program on a pseudo-terminal: its standard error (so that planning
// shows its window, which takes Ctrl-C) and, unless told otherwise, its
// standard input.
class CTerminalRun {
 public:
  CTerminalRun(const std::vector<std::string>& arguments, bool inputFromTerminal) {
    pid_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (!inputFromTerminal) dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
      std::vector<char*> argv = {const_cast<char*>(QV_HOST_PATH)};
      for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(QV_HOST_PATH, argv.data());
      _exit(127);
    }
  }
  ~CTerminalRun() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) close(terminal_);
  }

  // Reads what the program shows until `text` appears; false after a minute.
  bool waitFor(const std::string& text) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (shown_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end || !readSome(100)) return false;
    }
    return true;
  }
  void type(const std::string& keys) {
    EXPECT_EQ(write(terminal_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  pid_t pid() const { return pid_; }
  // The exit status, reading the terminal meanwhile so the program never
  // blocks on it.
  int finish() {
    for (int waited = 0; waited < 6000 && status_ < 0; ++waited) {
      if (!readSome(10)) usleep(10000);
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 256 + WTERMSIG(status);
      }
    }
    while (readSome(0)) {
    }
    return status_;
  }
  const std::string& shown() const { return shown_; }

 private:
  bool readSome(int milliseconds) {
    pollfd descriptor{terminal_, POLLIN, 0};
    if (poll(&descriptor, 1, milliseconds) <= 0) return status_ < 0;
    char buffer[4096];
    const ssize_t count = read(terminal_, buffer, sizeof buffer);
    if (count <= 0) return false;
    shown_.append(buffer, static_cast<std::size_t>(count));
    return true;
  }

  pid_t pid_ = -1;
  int terminal_ = -1;
  int status_ = -1;
  std::string shown_;
};

class InterruptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Long enough to plan that a signal always arrives while it runs.
    testing_support::writeTextFile(path("long.log"), testing_support::shakyLogText(60000, 7));
    host_test::writeClip({.path = path("in.mp4")});
    testing_support::writeTextFile(path("out.mp4"), "precious");
  }
  std::string path(const std::string& name) const { return scratch_.path(name); }
  // Hidden names are the program's temporaries.
  long temporaries() const {
    const auto names = host_test::fileNames(scratch_.folder());
    return std::count_if(names.begin(), names.end(),
                         [](const auto& name) { return name[0] == '.'; });
  }

  testing_support::CScratchFolder scratch_;
};

TEST_F(InterruptTest, ASignalDuringPlanningStopsTheRunOnce) {
  const struct {
    bool inputFromTerminal;
    int signal;  // 0: Ctrl-C typed at the terminal, then "y"
    int status;
    const char* answer;
  } cases[] = {
      {true, 0, 130, "Really abort processing? [y/N] y"},
      {false, SIGINT, 130, "Really abort processing? yes (no terminal to answer on)"},
      {true, SIGTERM, 143, "Really abort processing? yes (the program was asked to terminate)"},
      {false, SIGHUP, 129, "yes (the program was asked to terminate)"},
  };
  for (const auto& c : cases) {
    CTerminalRun run({"render", path("in.mp4"), path("out.mp4"), "--log", path("long.log"),
                      "--force-log", "--set", "smoothHorizontalPanning=100000", "-y"},
                     c.inputFromTerminal);
    ASSERT_TRUE(run.waitFor("(Ctrl-C to cancel)")) << run.shown();
    if (c.signal == 0) {
      run.type("\x03");  // the terminal turns it into SIGINT
      ASSERT_TRUE(run.waitFor("Really abort processing? [y/N]")) << run.shown();
      run.type("y\n");
    } else {
      kill(run.pid(), c.signal);
    }
    EXPECT_EQ(run.finish(), c.status) << run.shown();
    EXPECT_NE(run.shown().find(c.answer), std::string::npos) << run.shown();
    EXPECT_EQ(host_test::fileText(path("out.mp4")), "precious");
    EXPECT_EQ(temporaries(), 0);
  }
}

TEST_F(InterruptTest, ASecondSignalEndsABlockedRunAndRemovesItsTemporaries) {
  // Nobody ever writes into the input: opening it blocks.
  ASSERT_EQ(mkfifo(path("in.fifo").c_str(), 0600), 0);
  CTerminalRun run(
      {"analyze", path("in.fifo"), "--preview", path("p%04d.png"), "--log", path("a.log")}, false);
  for (int i = 0; i < 600 && temporaries() < 2; ++i) usleep(10000);
  ASSERT_EQ(temporaries(), 2) << "the preview folder and the log";
  kill(run.pid(), SIGINT);
  usleep(200000);
  kill(run.pid(), SIGINT);
  EXPECT_EQ(run.finish(), 130) << run.shown();
  EXPECT_NE(run.shown().find("stopped at once"), std::string::npos) << run.shown();
  EXPECT_EQ(temporaries(), 0);
}

}  // namespace

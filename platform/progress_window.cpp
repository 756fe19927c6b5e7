#include "platform/progress_window.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <utility>

namespace platform {

namespace {

std::atomic<int> interruptCount{0};

extern "C" void countInterrupt(int) { interruptCount.fetch_add(1, std::memory_order_relaxed); }

// Ctrl-C is the terminal's "Cancel" button while the window is shown; the
// handler that was installed before (the host's own) comes back afterwards.
class CTerminalProgressWindow : public CProgressWindow {
 public:
  CTerminalProgressWindow() : interactive_(isatty(STDERR_FILENO) == 1) {
    interruptCount.store(0);
    struct sigaction action {};
    action.sa_handler = countInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    hooked_ = sigaction(SIGINT, &action, &previous_) == 0;
  }

  ~CTerminalProgressWindow() override {
    if (interactive_ && shown_) std::fputs("\r\033[K", stderr);
    if (hooked_) sigaction(SIGINT, &previous_, nullptr);
    if (aborted_) raise(SIGINT);
  }

  void setCaption(const std::string& caption) override {
    caption_ = caption;
    show();
  }

  void setStatusText(const std::string& text) override {
    status_ = text;
    show();
  }

  int pumpMessages() override {
    const int clicks = interruptCount.exchange(0);
    if (clicks > 0 && interactive_ && shown_) {
      // The question that follows starts on a line of its own.
      std::fputs("\n", stderr);
      shown_ = false;
    } else if (clicks == 0 && !shown_) {
      show();
    }
    return clicks;
  }

  void userAborted() override { aborted_ = true; }

 private:
  void show() {
    if (!interactive_ || status_.empty()) return;
    std::fprintf(stderr, "\r\033[K%s: %s (Ctrl-C to cancel)", caption_.c_str(), status_.c_str());
    std::fflush(stderr);
    shown_ = true;
  }

  bool interactive_;
  bool hooked_ = false;
  bool shown_ = false;
  bool aborted_ = false;
  struct sigaction previous_ {};
  std::string caption_;
  std::string status_;
};

std::mutex factoryMutex;
ProgressWindowFactory& installedFactory() {
  static ProgressWindowFactory factory;
  return factory;
}

}  // namespace

std::unique_ptr<CProgressWindow> createProgressWindow() {
  ProgressWindowFactory factory;
  {
    std::lock_guard<std::mutex> lock(factoryMutex);
    factory = installedFactory();
  }
  if (factory) return factory();
  return std::make_unique<CTerminalProgressWindow>();
}

ProgressWindowFactory setProgressWindowFactory(ProgressWindowFactory factory) {
  std::lock_guard<std::mutex> lock(factoryMutex);
  return std::exchange(installedFactory(), std::move(factory));
}

}  // namespace platform

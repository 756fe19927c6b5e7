#include "platform/progress_window.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "platform/message_box.h"

namespace platform {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kStopSignalCount = 3;

std::atomic<int> interruptCount{0};
// The latest signal that asked to stop; 0 for none.
std::atomic<int> stopSignal{0};

extern "C" void countInterrupt(int signalNumber) {
  stopSignal.store(signalNumber, std::memory_order_relaxed);
  interruptCount.fetch_add(1, std::memory_order_relaxed);
}

bool isHandlerFunction(const struct sigaction& action) {
  if (action.sa_flags & SA_SIGINFO) return action.sa_sigaction != nullptr;
  return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

// Ctrl-C is the terminal's "Cancel" button while the window is shown, and
// so are the termination requests SIGTERM and SIGHUP; the handlers that were
// installed before (the host's own) come back afterwards.
//
// The confirmation that follows a cancel is asked on the terminal only when
// there is one to answer it and the signal was Ctrl-C: a termination request,
// or a Ctrl-C with standard input not a terminal, is its own answer. A signal
// that arrives while the question waits for its answer confirms it too. The
// handlers are installed without SA_RESTART so that such a signal ends the
// wait for the answer.
class CTerminalProgressWindow : public CProgressWindow {
 public:
  CTerminalProgressWindow() : interactive_(isatty(STDERR_FILENO) == 1) {
    interruptCount.store(0);
    stopSignal.store(0);
    struct sigaction action {};
    action.sa_handler = countInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int i = 0; i < kStopSignalCount; ++i) {
      hooked_[i] = sigaction(kStopSignals[i], &action, &previous_[i]) == 0;
    }
    previousHandler_ = setMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, MessageBoxButtons buttons) {
          return answer(text, caption, buttons);
        });
  }

  ~CTerminalProgressWindow() override {
    if (interactive_ && shown_) std::fputs("\r\033[K", stderr);
    setMessageBoxHandler(std::move(previousHandler_));
    for (int i = 0; i < kStopSignalCount; ++i) {
      if (hooked_[i]) sigaction(kStopSignals[i], &previous_[i], nullptr);
    }
    // A confirmed abort, or a signal that came after the last poll, is
    // passed on to the handler that was there before, so that a host that
    // stops on it stops here too. A host without a handler of its own is not
    // killed by it: for such a host the abort ends with the planning.
    const int signalNumber = stopSignal.load();
    if ((aborted_ || interruptCount.load() > 0) && signalNumber != 0) {
      for (int i = 0; i < kStopSignalCount; ++i) {
        if (kStopSignals[i] == signalNumber && hooked_[i] && isHandlerFunction(previous_[i])) {
          raise(signalNumber);
        }
      }
    }
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

  MessageBoxAnswer answer(const std::string& text, const std::string& caption,
                          MessageBoxButtons buttons) {
    if (buttons != MessageBoxButtons::kYesNo) return ask(text, caption, buttons);
    const int signalNumber = stopSignal.load();
    const char* reason = signalNumber == SIGTERM || signalNumber == SIGHUP
                             ? "the program was asked to terminate"
                         : !isatty(STDIN_FILENO) ? "no terminal to answer on"
                                                 : nullptr;
    if (reason != nullptr) {
      std::fprintf(stderr, "%s: %s yes (%s)\n", caption.c_str(), text.c_str(), reason);
      return MessageBoxAnswer::kYes;
    }
    const MessageBoxAnswer given = ask(text, caption, buttons);
    // Ctrl-C again while the question waited: that is the answer.
    if (interruptCount.exchange(0) > 0) {
      std::fputs("yes\n", stderr);
      return MessageBoxAnswer::kYes;
    }
    return given;
  }

  MessageBoxAnswer ask(const std::string& text, const std::string& caption,
                       MessageBoxButtons buttons) {
    return previousHandler_ ? previousHandler_(text, caption, buttons)
                            : defaultMessageBox(text, caption, buttons);
  }

  bool interactive_;
  bool hooked_[kStopSignalCount] = {};
  bool shown_ = false;
  bool aborted_ = false;
  struct sigaction previous_[kStopSignalCount] {};
  MessageBoxHandler previousHandler_;
  std::string caption_;
  std::string status_;
};

}  // namespace

std::unique_ptr<CProgressWindow> createSystemProgressWindow() {
  return std::make_unique<CTerminalProgressWindow>();
}

}  // namespace platform

#include "platform/progress_window.h"

#include <gtest/gtest.h>

#include <csignal>

#include "platform/message_box.h"

namespace {

volatile std::sig_atomic_t received = 0;
extern "C" void remember(int signalNumber) { received = signalNumber; }

// The terminal window takes the stop signals while planning runs and hands
// a confirmed abort on only to a handler the program had: one without a
// handler must not be killed by it.
TEST(ProgressWindowTest, AConfirmedAbortReachesOnlyAHandlerThatWasThere) {
  struct sigaction none {
  }, remembering{}, previousInt{}, previousTerm{};
  none.sa_handler = SIG_DFL;
  remembering.sa_handler = remember;
  sigemptyset(&none.sa_mask);
  sigemptyset(&remembering.sa_mask);
  sigaction(SIGINT, &none, &previousInt);
  sigaction(SIGTERM, &remembering, &previousTerm);
  received = 0;
  {
    std::unique_ptr<platform::CProgressWindow> window = platform::createProgressWindow();
    std::raise(SIGINT);
    EXPECT_EQ(window->pumpMessages(), 1);
    window->userAborted();
  }
  {
    std::unique_ptr<platform::CProgressWindow> window = platform::createProgressWindow();
    std::raise(SIGTERM);
    EXPECT_EQ(window->pumpMessages(), 1);
    // A termination request is its own answer, terminal or not.
    EXPECT_EQ(platform::messageBox("Really abort processing?", "Quiventa",
                                   platform::MessageBoxButtons::kYesNo),
              platform::MessageBoxAnswer::kYes);
    window->userAborted();
    EXPECT_EQ(received, 0) << "only when the window closes";
  }
  EXPECT_EQ(received, SIGTERM);
  sigaction(SIGINT, &previousInt, nullptr);
  sigaction(SIGTERM, &previousTerm, nullptr);
}

}  // namespace

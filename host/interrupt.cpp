#include "host/interrupt.h"

#include <csignal>

#include "host/host_error.h"

namespace host {
namespace {

volatile std::sig_atomic_t receivedSignal = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

extern "C" void onInterrupt(int signalNumber) {
  receivedSignal = signalNumber;
  // The next one is not caught: a user who presses Ctrl-C twice wants out.
  std::signal(signalNumber, SIG_DFL);
}

}  // namespace

CInterruptGuard::CInterruptGuard() {
  receivedSignal = 0;
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  // Writes under way finish rather than fail with EINTR.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous[i]);
}

CInterruptGuard::~CInterruptGuard() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous[i], nullptr);
}

int pendingInterrupt() { return receivedSignal; }

void stopIfInterrupted() {
  const int signalNumber = receivedSignal;
  if (signalNumber == 0) return;
  throw CHostError(FailureKind::kInterrupted, signalNumber == SIGINT
                                                  ? "interrupted (Ctrl-C); no output was written"
                                                  : "stopped by a signal; no output was written");
}

}  // namespace host

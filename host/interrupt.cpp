#include "host/interrupt.h"

#include <unistd.h>

#include <csignal>

#include "host/forced_stop.h"
#include "host/host_error.h"

namespace host {
namespace {

volatile std::sig_atomic_t receivedSignal = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = 3;
struct sigaction previous[kSignalCount];

extern "C" void onInterrupt(int signalNumber) {
  if (receivedSignal == 0) {
    receivedSignal = signalNumber;
    return;
  }
  // Asked twice: the user wants out now, but still without leftovers.
  removeRegisteredTemporaries();
  static const char kText[] = "\nquiventa: stopped at once; no output was written\n";
  const ssize_t ignored = write(STDERR_FILENO, kText, sizeof kText - 1);
  (void)ignored;
  _exit(128 + receivedSignal);
}

}  // namespace

CInterruptGuard::CInterruptGuard() {
  receivedSignal = 0;
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  // Writes under way finish rather than fail with EINTR.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) sigaddset(&action.sa_mask, kSignals[i]);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &previous[i]);
}

CInterruptGuard::~CInterruptGuard() {
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &previous[i], nullptr);
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

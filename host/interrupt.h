// Ctrl-C and termination requests (SIGINT, SIGTERM, SIGHUP) while the
// program runs. The first signal only raises a flag, which the frame loop
// checks after each frame (and the host before and after each filter start)
// so that the run stops cleanly: the filter run ends, temporaries are
// removed, an existing output stays as it was, and the program exits with
// 128 + the signal number.
//
// A second signal, for a program that does not come to the next check (a
// read that blocks), ends it at once: the handler removes the registered
// temporaries (host/forced_stop.h) and exits with the status of the first
// signal. While the filter plans pass 2, its progress window takes the
// signals instead and passes them on here when it closes.
//
// Thread-safety: the flag is lock-free; guards are installed by one thread
// and do not nest.
#pragma once

namespace host {

class CInterruptGuard {
 public:
  // Clears the flag and installs the handlers.
  CInterruptGuard();
  // Puts back the handlers that were there before.
  ~CInterruptGuard();
  CInterruptGuard(const CInterruptGuard&) = delete;
  CInterruptGuard& operator=(const CInterruptGuard&) = delete;
};

// The first signal received since the guard was installed, 0 for none.
int pendingInterrupt();
// Throws CHostError (interrupted) when a signal arrived.
void stopIfInterrupted();

}  // namespace host

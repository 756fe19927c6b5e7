// Ctrl-C (and termination requests) while a run is under way: the first
// signal only raises a flag, which the frame loop checks after each frame so
// that it can stop cleanly (end the filter run, remove the temporary output).
// A second signal ends the program at once, as usual.
//
// Thread-safety: the flag is lock-free; guards are installed by one thread.
#pragma once

namespace host {

class CInterruptGuard {
 public:
  // Clears the flag and installs the handlers for SIGINT, SIGTERM, SIGHUP.
  CInterruptGuard();
  // Puts back the handlers that were there before.
  ~CInterruptGuard();
  CInterruptGuard(const CInterruptGuard&) = delete;
  CInterruptGuard& operator=(const CInterruptGuard&) = delete;
};

// The signal received since the guard was installed, 0 for none.
int pendingInterrupt();
// Throws CHostError (interrupted) when a signal arrived.
void stopIfInterrupted();

}  // namespace host

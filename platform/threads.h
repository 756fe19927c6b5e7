// Worker threads and locks as both passes use them: threads are created
// suspended, resumed one by one as soon as they are set up, and joined all at
// once without time-out. A lock guards one shared counter at a time.
//
// On Windows these are the system's own: CreateThread in the suspended state,
// ResumeThread, WaitForMultipleObjects over all handles (in groups of the 64
// one wait can take) and critical sections.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace platform {

// One worker. The procedure does not run before resume(); the owner must
// join (waitForAllThreads) before destroying the object. Should it not, the
// destructor still waits for a released procedure to return, and lets a
// never-released thread end without running the procedure at all.
// resume() and join() belong to the owning thread.
class CWorkerThread {
 public:
  using Procedure = unsigned (*)(void* parameter);

  // Creates the thread in the suspended state. Null when the system refuses
  // (or `procedure` is null).
  static std::unique_ptr<CWorkerThread> createSuspended(Procedure procedure, void* parameter);

  ~CWorkerThread();
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  void resume();
  // Waits for the procedure to return; returns its exit code. Releases a
  // thread not yet resumed rather than waiting for ever; joining again
  // returns the same code.
  unsigned join();

 private:
  CWorkerThread(Procedure procedure, void* parameter);
  void run();

  Procedure procedure_;
  void* parameter_;
#ifdef _WIN32
  friend void waitForAllThreads(std::span<const std::unique_ptr<CWorkerThread>> threads);
  // The thread procedure that CreateThread starts (a DWORD WINAPI function).
  static unsigned long __stdcall entry(void* self);
  void* handle_ = nullptr;  // the thread's HANDLE
  bool resumed_ = false;
  // Set before a never-resumed thread is released, so it ends at once.
  bool abandoned_ = false;
  unsigned exitCode_ = 0;
#else
  std::mutex mutex_;
  std::condition_variable resumed_;
  bool running_ = false;
  bool joined_ = false;
  unsigned exitCode_ = 0;
  std::thread thread_;
#endif
};

// Waits until every thread has ended (no time-out, no limit on the count).
// Null entries (threads that could not be created) are skipped.
void waitForAllThreads(std::span<const std::unique_ptr<CWorkerThread>> threads);

#ifdef _WIN32
class CCriticalSection {
 public:
  CCriticalSection();
  ~CCriticalSection();
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;
  void lock();
  void unlock();

 private:
  // Room for a CRITICAL_SECTION without including <windows.h> here.
  alignas(void*) unsigned char section_[64];
};
#else
class CCriticalSection {
 public:
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};
#endif

}  // namespace platform

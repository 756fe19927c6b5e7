#include "platform/threads.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "CCriticalSection::section_ is too small");

std::unique_ptr<CWorkerThread> CWorkerThread::createSuspended(Procedure procedure,
                                                              void* parameter) {
  if (procedure == nullptr) return nullptr;
  std::unique_ptr<CWorkerThread> worker(new CWorkerThread(procedure, parameter));
  // Suspended, so the caller can record the thread before it runs; the
  // default stack size, normal priority.
  worker->handle_ =
      CreateThread(nullptr, 0, &CWorkerThread::entry, worker.get(), CREATE_SUSPENDED, nullptr);
  if (worker->handle_ == nullptr) return nullptr;
  return worker;
}

CWorkerThread::CWorkerThread(Procedure procedure, void* parameter)
    : procedure_(procedure), parameter_(parameter) {}

unsigned long __stdcall CWorkerThread::entry(void* self) {
  static_cast<CWorkerThread*>(self)->run();
  return 0;
}

void CWorkerThread::run() {
  // A worker its owner never released ends without running: its parameter
  // may already be half torn down by the owner's error path.
  if (abandoned_) return;
  exitCode_ = procedure_(parameter_);
}

CWorkerThread::~CWorkerThread() {
  if (handle_ == nullptr) return;
  if (!resumed_) {
    // Written before the thread first runs; ResumeThread orders it.
    abandoned_ = true;
    ResumeThread(handle_);
  }
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
}

void CWorkerThread::resume() {
  if (handle_ == nullptr || resumed_) return;
  resumed_ = true;
  ResumeThread(handle_);
}

unsigned CWorkerThread::join() {
  if (handle_ == nullptr) return exitCode_;
  // Waiting for a procedure that was never released would never end.
  resume();
  WaitForSingleObject(handle_, INFINITE);
  return exitCode_;
}

void waitForAllThreads(std::span<const std::unique_ptr<CWorkerThread>> threads) {
  std::vector<HANDLE> handles;
  handles.reserve(threads.size());
  for (const auto& thread : threads) {
    if (!thread || thread->handle_ == nullptr) continue;
    thread->resume();
    handles.push_back(thread->handle_);
  }
  // One wait takes at most MAXIMUM_WAIT_OBJECTS (64) handles; waiting for
  // all of each group in turn is waiting for all of them.
  for (std::size_t first = 0; first < handles.size(); first += MAXIMUM_WAIT_OBJECTS) {
    const std::size_t count = std::min<std::size_t>(MAXIMUM_WAIT_OBJECTS, handles.size() - first);
    WaitForMultipleObjects(static_cast<DWORD>(count), handles.data() + first, TRUE, INFINITE);
  }
}

CCriticalSection::CCriticalSection() {
  InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_));
}

CCriticalSection::~CCriticalSection() {
  DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_));
}

void CCriticalSection::lock() {
  EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_));
}

void CCriticalSection::unlock() {
  LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_));
}

}  // namespace platform

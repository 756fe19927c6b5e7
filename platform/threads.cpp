#include "platform/threads.h"

#include <system_error>

namespace platform {

std::unique_ptr<CWorkerThread> CWorkerThread::createSuspended(Procedure procedure,
                                                              void* parameter) {
  if (procedure == nullptr) return nullptr;
  // The constructor is private, so make_unique cannot reach it; the object
  // is owned from the first instant all the same.
  std::unique_ptr<CWorkerThread> worker(new CWorkerThread(procedure, parameter));
  try {
    // The thread starts now but parks in run() until resume(), which keeps
    // the "set up, then release" order of the callers.
    worker->thread_ = std::thread([self = worker.get()] { self->run(); });
  } catch (const std::system_error&) {
    return nullptr;
  }
  return worker;
}

CWorkerThread::CWorkerThread(Procedure procedure, void* parameter)
    : procedure_(procedure), parameter_(parameter) {}

CWorkerThread::~CWorkerThread() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A worker its owner never released is let go without running: its
    // parameter may already be half torn down by the owner's error path.
    if (!running_) joined_ = true;
  }
  resumed_.notify_one();
  thread_.join();
}

void CWorkerThread::resume() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
  }
  resumed_.notify_one();
}

unsigned CWorkerThread::join() {
  if (thread_.joinable()) {
    // Waiting for a procedure that was never released would never end.
    resume();
    thread_.join();
    joined_ = true;
  }
  return exitCode_;
}

void CWorkerThread::run() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // joined_ before running_ means the object is being destroyed unreleased.
    resumed_.wait(lock, [this] { return running_ || joined_; });
    if (!running_) return;
  }
  exitCode_ = procedure_(parameter_);
}

void waitForAllThreads(std::span<const std::unique_ptr<CWorkerThread>> threads) {
  for (const auto& thread : threads) {
    if (thread) thread->join();
  }
}

}  // namespace platform

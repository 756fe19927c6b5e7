#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {

unsigned setFlag(void* parameter) {
  static_cast<std::atomic<bool>*>(parameter)->store(true);
  return 42;
}

TEST(WorkerThreadTest, ProcedureRunsOnlyAfterResume) {
  std::atomic<bool> ran{false};
  std::unique_ptr<CWorkerThread> worker = CWorkerThread::createSuspended(&setFlag, &ran);
  ASSERT_NE(worker, nullptr);
  // Gives a wrongly started thread the chance to show itself; not a timing check.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ran.load());
  worker->resume();
  EXPECT_EQ(worker->join(), 42u);
  EXPECT_TRUE(ran.load());
  EXPECT_EQ(worker->join(), 42u);
}

TEST(WorkerThreadTest, UnresumedThreadsEndWithoutHanging) {
  std::atomic<bool> destroyedRan{false};
  CWorkerThread::createSuspended(&setFlag, &destroyedRan).reset();
  EXPECT_FALSE(destroyedRan.load());

  // Joining is a request to finish, so it releases the thread first.
  std::atomic<bool> joinedRan{false};
  auto worker = CWorkerThread::createSuspended(&setFlag, &joinedRan);
  ASSERT_NE(worker, nullptr);
  EXPECT_EQ(worker->join(), 42u);
  EXPECT_TRUE(joinedRan.load());
}

struct RJobQueue {
  CCriticalSection lock;
  int next = 0;
  int count = 0;
  std::vector<std::atomic<int>> hits;
};

struct RWorkerState {
  RJobQueue* queue;
  unsigned processed = 0;
};

unsigned drainQueue(void* parameter) {
  auto* state = static_cast<RWorkerState*>(parameter);
  for (;;) {
    int job;
    {
      std::lock_guard<CCriticalSection> guard(state->queue->lock);
      if (state->queue->next == state->queue->count) break;
      job = state->queue->next++;
    }
    state->queue->hits[job].fetch_add(1);
    ++state->processed;
  }
  return state->processed;
}

TEST(WorkerThreadTest, JobQueueHandsOutEveryIndexExactlyOnce) {
  constexpr int kJobs = 10000;
  constexpr int kThreads = 4;
  RJobQueue queue;
  queue.count = kJobs;
  queue.hits = std::vector<std::atomic<int>>(kJobs);
  std::vector<RWorkerState> states(kThreads, RWorkerState{&queue});
  std::vector<std::unique_ptr<CWorkerThread>> workers;
  for (RWorkerState& state : states) {
    workers.push_back(CWorkerThread::createSuspended(&drainQueue, &state));
    ASSERT_NE(workers.back(), nullptr);
    workers.back()->resume();
  }
  workers.push_back(nullptr);  // a failed creation in the owner's list
  waitForAllThreads(workers);

  unsigned total = 0;
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(workers[i]->join(), states[i].processed);
    total += states[i].processed;
  }
  EXPECT_EQ(total, static_cast<unsigned>(kJobs));
  for (int i = 0; i < kJobs; ++i) ASSERT_EQ(queue.hits[i].load(), 1) << "job " << i;
}

}  // namespace
}  // namespace platform

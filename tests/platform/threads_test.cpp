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

}  // namespace
}  // namespace platform

#include "analysis/analysis_threads.h"

#include <algorithm>
#include <memory>
#include <vector>

unsigned analysisWorker(void* parameter) {
  RAnalysisJob& job = *static_cast<RAnalysisJob*>(parameter);
  for (;;) {
    int index = -1;
    job.lock.lock();
    if (job.nextJob < job.jobCount) index = job.nextJob++;
    job.lock.unlock();
    if (index < 0) return 0;
    runBlockJob(job.level, index);
  }
}

bool runAnalysisLevel(RAnalysisJob& job, int threadCount) {
  job.nextJob = 0;
  job.jobCount = job.level.columns * job.level.rows;
  if (job.jobCount <= 0) return true;
  const int count = std::max(1, std::min(job.jobCount, threadCount));
  std::vector<std::unique_ptr<platform::CWorkerThread>> threads;
  threads.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<platform::CWorkerThread> thread =
        platform::CWorkerThread::createSuspended(analysisWorker, &job);
    if (!thread) break;
    thread->resume();
    threads.push_back(std::move(thread));
  }
  // Whatever jobs no thread took (none could be created) run here.
  if (threads.empty()) analysisWorker(&job);
  platform::waitForAllThreads(threads);
  return !threads.empty();
}

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

namespace {

struct RBand {
  const std::function<void(int, int)>* procedure;
  int first, end;
};

unsigned bandWorker(void* parameter) {
  const RBand& band = *static_cast<const RBand*>(parameter);
  (*band.procedure)(band.first, band.end);
  return 0;
}

}  // namespace

void runInBands(int count, int threadCount, int minimumBand, int alignment,
                const std::function<void(int first, int end)>& band) {
  if (count <= 0) return;
  const int unit = std::max(1, alignment);
  const int bands = std::max(1, std::min(threadCount, count / std::max(1, minimumBand)));
  std::vector<RBand> work;
  int first = 0;
  for (int b = 1; b <= bands; ++b) {
    int end = b == bands
                  ? count
                  : static_cast<int>(static_cast<long long>(count) * b / bands) / unit * unit;
    end = std::max(end, first);
    if (end > first) work.push_back({&band, first, end});
    first = end;
  }
  std::vector<std::unique_ptr<platform::CWorkerThread>> threads;
  for (std::size_t b = 1; b < work.size(); ++b) {
    std::unique_ptr<platform::CWorkerThread> thread =
        platform::CWorkerThread::createSuspended(bandWorker, &work[b]);
    if (thread) {
      thread->resume();
      threads.push_back(std::move(thread));
    } else {
      bandWorker(&work[b]);
    }
  }
  if (!work.empty()) bandWorker(&work[0]);
  platform::waitForAllThreads(threads);
}

// The block jobs of one refined pyramid level on worker threads: one job per
// block, handed out one at a time from a shared counter, so quick and slow
// blocks balance across the threads. All threads are joined before the next
// finer level starts.
#pragma once

#include <functional>

#include "analysis/block_matching.h"
#include "platform/threads.h"

// The level's jobs and the counter the workers share. Owned by the frame
// call; the lock lives as long as the frame call.
struct RAnalysisJob {
  RLevelJob level;
  int nextJob = 0;  // guarded by lock
  int jobCount = 0;
  platform::CCriticalSection lock;
};

// Thread procedure: takes jobs until none is left; returns 0.
unsigned analysisWorker(void* parameter);

// Runs every job of `job.level` on min(jobCount, threadCount) workers and
// waits for all of them. A level without jobs starts no thread. Returns false
// only when not a single worker could be created (the jobs then ran on the
// calling thread instead).
bool runAnalysisLevel(RAnalysisJob& job, int threadCount);

// Work that splits into independent rows (or other items): `band(first,
// end)` runs for consecutive bands covering [0, count), the first on the
// calling thread and the others on up to threadCount - 1 workers, and this
// returns when all have finished. Bands hold at least `minimumBand` items
// (fewer items stay on the calling thread, not worth a thread) and start at
// multiples of `alignment`. A worker that cannot be created leaves its band
// to the calling thread, so the result never depends on the threads.
void runInBands(int count, int threadCount, int minimumBand, int alignment,
                const std::function<void(int first, int end)>& band);

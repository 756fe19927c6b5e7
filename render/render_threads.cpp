#include "render/render_threads.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "render/border_extrapolation.h"
#include "render/edge_compensation.h"
#include "render/row_tables.h"
#include "render/samplers.h"

unsigned renderWorker(void* parameter) {
  RenderJob& job = *static_cast<RenderJob*>(parameter);
  const RFramePlan& entry = job.entries[job.outputEntry];
  const std::int64_t* a = entry.transform;
  const VFBitmap& sourceBitmap = job.delayed ? entry.frameBitmap->bitmap : job.activation->src;
  const RFrameView source = RFrameView::of(sourceBitmap);
  const VFBitmap& destination = job.activation->dst;
  const int width = static_cast<int>(destination.w);
  auto* destinationBase = reinterpret_cast<unsigned char*>(destination.data);
  const RRowTableItem* rowTable = entry.currentRowTable;

  for (;;) {
    job.workLock.lock();
    const int start = job.nextPixel;
    if (start < job.pixelCount) job.nextPixel += kPixelsPerRun;
    job.workLock.unlock();
    if (start >= job.pixelCount) return 0;

    const int end = std::min(start + kPixelsPerRun, job.pixelCount);
    std::int64_t X = 0, Y = 0;
    for (int i = start; i < end; ++i) {
      const int y = i / width, x = i % width;
      if (i == start || x == 0) {
        X = wrapAdd(a[0], wrapAdd(wrapMul(x, a[2]), wrapMul(y, a[4])));
        Y = wrapAdd(a[1], wrapAdd(wrapMul(x, a[3]), wrapMul(y, a[5])));
      } else {
        X = wrapAdd(X, a[2]);
        Y = wrapAdd(Y, a[3]);
      }
      std::int64_t sx = X, sy = Y;
      if (rowTable != nullptr) applyRowTable(rowTable, source.height, X, Y, &sx, &sy);
      Pixel32* pixel = reinterpret_cast<Pixel32*>(destinationBase + destination.pitch * y) + x;
      *pixel = sampleFrame(source, job.resampling, sx, sy);
      if (!compensateEdge(job, source.width, source.height, sx, sy, pixel) && job.extrapolate) {
        registerBorderPixel(job, x, y);
      }
    }
  }
}

void renderFrame(const FilterActivation* activation, RFramePlan* entries,
                 const RRenderRequest& request) {
  const int resampling = request.resampling;
  RenderJob job;
  job.activation = activation;
  job.entries = entries;
  job.outputEntry = request.outputEntry;
  job.lastEntry = request.lastEntry;
  job.resampling = resampling;
  job.delayed = request.delayed;
  job.noFrameSearch = request.noFrameSearch;
  job.extrapolate = request.extrapolate && borderPixelTableExists();
  job.soft = request.soft;
  job.widthX = request.widthX;
  job.widthY = request.widthY;
  job.nextPixel = 0;
  job.pixelCount = static_cast<int>(activation->dst.w * activation->dst.h);
  if (job.pixelCount <= 0) return;
  if (resampling != 0 && resampling != 1 && bicubicWeights() == nullptr) buildBicubicWeights(-0.6);

  const int count = std::max(1, std::min(request.threadCount, job.pixelCount));
  std::vector<std::unique_ptr<platform::CWorkerThread>> threads;
  threads.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<platform::CWorkerThread> thread =
        platform::CWorkerThread::createSuspended(renderWorker, &job);
    if (!thread) break;
    thread->resume();
    threads.push_back(std::move(thread));
  }
  if (threads.empty()) renderWorker(&job);  // no thread could be made: render here
  platform::waitForAllThreads(threads);
  if (!job.borderList.empty()) extrapolateBorder(job);
}

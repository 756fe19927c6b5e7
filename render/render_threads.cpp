#include "render/render_threads.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/kernel_set.h"
#include "render/border_extrapolation.h"
#include "render/edge_compensation.h"
#include "render/render_kernels.h"
#include "render/row_tables.h"
#include "render/samplers.h"

namespace {

// One pixel the whole way: sample, edge compensation, border registration.
void renderPixel(RenderJob& job, const RFrameView& source, std::int64_t X, std::int64_t Y,
                 Pixel32* pixel, int x, int y) {
  *pixel = sampleFrame(source, job.resampling, X, Y);
  if (!compensateEdge(job, source.width, source.height, X, Y, pixel) && job.extrapolate) {
    registerBorderPixel(job, x, y);
  }
}

// The plain loop: the position in full at the run's start and at each row
// start, then one addition per pixel.
void renderRunPlain(RenderJob& job, const RFrameView& source, int start, int end) {
  const RFramePlan& entry = job.entries[job.outputEntry];
  const std::int64_t* a = entry.transform;
  const VFBitmap& destination = job.activation->dst;
  const int width = static_cast<int>(destination.w);
  auto* destinationBase = reinterpret_cast<unsigned char*>(destination.data);
  const RRowTableItem* rowTable = entry.currentRowTable;
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
    renderPixel(job, source, sx, sy, pixel, x, y);
  }
}

// The same pixels row piece by row piece: positions that need no other frame
// (which also have every tap inside) go to the span kernels in one piece,
// the others one by one as above. The positions are the plain loop's:
// modulo 2^64, the full computation and the additions agree.
void renderRunInSpans(RenderJob& job, const RFrameView& source, const RRenderKernels& kernels,
                      int start, int end) {
  const std::int64_t* a = job.entries[job.outputEntry].transform;
  const VFBitmap& destination = job.activation->dst;
  const int width = static_cast<int>(destination.w);
  auto* destinationBase = reinterpret_cast<unsigned char*>(destination.data);
  void (*span)(const RSpan&) = job.resampling == 0   ? kernels.nearestSpan
                               : job.resampling == 1 ? kernels.bilinearSpan
                                                     : kernels.bicubicSpan;
  const RBicubicTable* table = bicubicWeights();
  const RInsideBounds inside = fullyInsideBounds(job, source.width, source.height);
  RSpan piece{source.data, source.pitch, 0,
              0,           a[2],         a[3],
              0,           nullptr,      table != nullptr ? table->front().data() : nullptr};
  for (int i = start; i < end;) {
    const int y = i / width, firstX = i % width;
    const int endX = std::min(width, firstX + (end - i));
    Pixel32* row = reinterpret_cast<Pixel32*>(destinationBase + destination.pitch * y);
    const std::int64_t rowX = wrapAdd(a[0], wrapAdd(wrapMul(firstX, a[2]), wrapMul(y, a[4])));
    const std::int64_t rowY = wrapAdd(a[1], wrapAdd(wrapMul(firstX, a[3]), wrapMul(y, a[5])));
    auto positionX = [&](int x) { return wrapAdd(rowX, wrapMul(x - firstX, a[2])); };
    auto positionY = [&](int x) { return wrapAdd(rowY, wrapMul(x - firstX, a[3])); };
    // Without wrap-around the integer pixel of each coordinate is monotone
    // along the row, so the pixels that need no other frame form one
    // interval: its end is found by bisection instead of pixel by pixel.
    const std::int64_t limit = std::int64_t{1} << 61;
    const std::int64_t length = endX - firstX;
    const bool monotone = rowX > -limit && rowX < limit && rowY > -limit && rowY < limit &&
                          a[2] > -limit / length && a[2] < limit / length &&
                          a[3] > -limit / length && a[3] < limit / length;
    for (int x = firstX; x < endX;) {
      const std::int64_t X = positionX(x), Y = positionY(x);
      if (!inside.contains(X, Y)) {
        // Neighbouring pixels that need other frames walk them together.
        REdgeLanes lanes;
        const int groupX = x;
        for (; lanes.count < kEdgeLanes && x < endX; ++x) {
          const std::int64_t laneX = positionX(x), laneY = positionY(x);
          if (inside.contains(laneX, laneY)) break;
          const int k = lanes.count++;
          lanes.X[k] = laneX;
          lanes.Y[k] = laneY;
          lanes.pixels[k] = row + x;
          *lanes.pixels[k] = sampleFrame(source, job.resampling, laneX, laneY);
        }
        compensateEdgeLanes(job, source.width, source.height, kernels, lanes);
        for (int k = 0; k < lanes.count; ++k) {
          if (!lanes.found[k] && job.extrapolate) registerBorderPixel(job, groupX + k, y);
        }
        continue;
      }
      int last = x;
      if (monotone) {
        int outside = endX;  // treated as outside
        while (outside - last > 1) {
          const int middle = last + (outside - last) / 2;
          if (inside.contains(positionX(middle), positionY(middle))) {
            last = middle;
          } else {
            outside = middle;
          }
        }
      } else {
        while (last + 1 < endX && inside.contains(positionX(last + 1), positionY(last + 1))) ++last;
      }
      piece.X = X;
      piece.Y = Y;
      piece.count = last - x + 1;
      piece.out = row + x;
      span(piece);
      x = last + 1;
    }
    i += endX - firstX;
  }
}

}  // namespace

unsigned renderWorker(void* parameter) {
  RenderJob& job = *static_cast<RenderJob*>(parameter);
  const RFramePlan& entry = job.entries[job.outputEntry];
  const VFBitmap& sourceBitmap = job.delayed ? entry.frameBitmap->bitmap : job.activation->src;
  const RFrameView source = RFrameView::of(sourceBitmap);
  // Rolling-shutter rows bend the positions; those frames take the plain loop
  // (with the samplers' own fast paths).
  const RRenderKernels* kernels = renderKernels(platform::kernelSet());
  // Positions that need no other frame have every tap inside, unless
  // negative transition widths widen the soft test beyond the frame.
  const bool insideHasTaps = !job.soft || (job.widthX >= 0 && job.widthY >= 0);
  const bool spans = kernels != nullptr && entry.currentRowTable == nullptr && insideHasTaps &&
                     (job.resampling == 0 || job.resampling == 1 || bicubicWeights() != nullptr);
  for (;;) {
    job.workLock.lock();
    const int start = job.nextPixel;
    if (start < job.pixelCount) job.nextPixel += kPixelsPerRun;
    job.workLock.unlock();
    if (start >= job.pixelCount) return 0;
    const int end = std::min(start + kPixelsPerRun, job.pixelCount);
    if (spans) {
      renderRunInSpans(job, source, *kernels, start, end);
    } else {
      renderRunPlain(job, source, start, end);
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

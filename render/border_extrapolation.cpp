#include "render/border_extrapolation.h"

#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

struct RBorderTable {
  int width = 0, height = 0;
  std::vector<RBorderPixel*> pixels;
};

std::unique_ptr<RBorderTable>& sharedTable() {
  static std::unique_ptr<RBorderTable> table;
  return table;
}

}  // namespace

void createBorderPixelTable(int width, int height) {
  auto table = std::make_unique<RBorderTable>();
  table->width = width;
  table->height = height;
  table->pixels.assign(
      static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)),
      nullptr);
  sharedTable() = std::move(table);
}

void releaseBorderPixelTable() {
  if (sharedTable()) {
    for (RBorderPixel* pixel : sharedTable()->pixels) delete pixel;
  }
  sharedTable().reset();
}

bool borderPixelTableExists() { return sharedTable() != nullptr; }

void registerBorderPixel(RenderJob& job, int x, int y) {
  RBorderTable* table = sharedTable().get();
  const int width = static_cast<int>(job.activation->dst.w);
  const std::size_t index = static_cast<std::size_t>(y) * width + x;
  if (table == nullptr || index >= table->pixels.size() || table->width != width) return;
  auto* pixel = new RBorderPixel{x, y, 0.0, 0.0, 0.0, 0.0};
  job.borderLock.lock();
  table->pixels[index] = pixel;
  job.borderList.push_back(static_cast<std::int32_t>(index));
  job.borderLock.unlock();
}

void extrapolateBorder(RenderJob& job) {
  RBorderTable& table = *sharedTable();
  const VFBitmap& destination = job.activation->dst;
  const int w = static_cast<int>(destination.w);
  const int h = static_cast<int>(destination.h);
  auto pixelAt = [&](std::int32_t index) -> Pixel32& {
    const int x = index % w, y = index / w;
    return reinterpret_cast<Pixel32*>(reinterpret_cast<unsigned char*>(destination.data) +
                                      destination.pitch * y)[x];
  };

  // 1. The rim: covered pixels next to a border pixel.
  std::unordered_set<std::int32_t> rimSet(1009);
  auto consider = [&](std::int32_t neighbour) {
    if (table.pixels[static_cast<std::size_t>(neighbour)] == nullptr) rimSet.insert(neighbour);
  };
  for (std::int32_t i : job.borderList) {
    const int x = i % w;
    if (i >= w) consider(i - w);
    if (i < (h - 1) * w) consider(i + w);
    if (x > 0) consider(i - 1);
    if (x < w - 1) consider(i + 1);
  }
  // A fixed order of summation keeps the colours independent of the order
  // in which the threads registered their pixels.
  std::vector<std::int32_t> rim(rimSet.begin(), rimSet.end());
  std::sort(rim.begin(), rim.end());

  // 2. Accumulate, 3. write.
  for (std::int32_t i : job.borderList) {
    RBorderPixel& b = *table.pixels[static_cast<std::size_t>(i)];
    for (std::int32_t j : rim) {
      const int xj = j % w, yj = j / w;
      const Pixel32 colour = pixelAt(j);
      const long long dx = b.x - xj, dy = b.y - yj;
      const double weight = 1.0 / static_cast<double>(dx * dx + dy * dy);
      b.redSum += ((colour >> 16) & 0xFF) * weight;
      b.greenSum += ((colour >> 8) & 0xFF) * weight;
      b.blueSum += (colour & 0xFF) * weight;
      b.weightSum += weight;
    }
  }
  for (std::int32_t i : job.borderList) {
    RBorderPixel*& b = table.pixels[static_cast<std::size_t>(i)];
    Pixel32 colour = 0;
    if (b->weightSum > 0) {
      const auto channel = [&](double sum) {
        return static_cast<Pixel32>(sum / b->weightSum + 0.5);
      };
      colour = channel(b->redSum) << 16 | channel(b->greenSum) << 8 | channel(b->blueSum);
    }
    pixelAt(i) = colour;
    delete b;
    b = nullptr;
  }
  job.borderList.clear();
}

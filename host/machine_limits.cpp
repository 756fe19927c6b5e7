#include "host/machine_limits.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

#include "host/host_error.h"

namespace host {
namespace {

constexpr int kThreadsPerCore = 8;
constexpr int kFewestMaximumThreads = 16;

std::uint64_t limitOf(int resource) {
  struct rlimit limit {};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  return limit.rlim_cur;
}

// cgroup v2 ("max" when unlimited), else v1.
std::uint64_t controlGroupLimit() {
  for (const char* path :
       {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
    std::ifstream file(path);
    unsigned long long bytes = 0;
    if (file >> bytes && bytes > 0) return bytes;
  }
  return UINT64_MAX;
}

// Bytes per picture element the run keeps besides the frame copies: the
// host's source, destination and last-picture bitmaps (4 bytes each), the
// filter's border table (8) and border records, the encoder's converted
// frames and lookahead (about 60 pictures of 1.5 bytes).
constexpr std::uint64_t kDestinationBytesPerPixel = 4 + 8 + 16 + 96;
constexpr std::uint64_t kSourceBytesPerPixel = 4 + 4 + 16;
// Pass 1: two pyramids of six 32-bit values per pixel, 4/3 for the levels.
constexpr std::uint64_t kAnalysisBytesPerPixel = 2 * 24 * 4 / 3;

std::uint64_t saturatingProduct(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
  return a * b;
}
std::uint64_t saturatingSum(std::uint64_t a, std::uint64_t b) {
  return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}
std::uint64_t pixels(long long width, long long height) {
  return saturatingProduct(static_cast<std::uint64_t>(std::max(width, 0LL)),
                           static_cast<std::uint64_t>(std::max(height, 0LL)));
}

}  // namespace

int machineCores() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

int maximumProcessorCount() {
  return std::max(kFewestMaximumThreads, kThreadsPerCore * machineCores());
}

std::uint64_t usableMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  std::uint64_t bytes = pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) *
                                                        static_cast<std::uint64_t>(pageSize)
                                                  : UINT64_MAX;
  bytes = std::min({bytes, limitOf(RLIMIT_AS), limitOf(RLIMIT_DATA), controlGroupLimit()});
  return bytes;
}

std::string formatBytes(std::uint64_t bytes) {
  char text[32];
  const double gigabytes = static_cast<double>(bytes) / 1e9;
  if (gigabytes >= 10) {
    std::snprintf(text, sizeof text, "%.0f GB", gigabytes);
  } else if (gigabytes >= 1) {
    std::snprintf(text, sizeof text, "%.1f GB", gigabytes);
  } else {
    std::snprintf(text, sizeof text, "%.0f MB", static_cast<double>(bytes) / 1e6);
  }
  return text;
}

std::uint64_t runMemoryBytes(const RRunPictures& p) {
  const std::uint64_t source = pixels(p.sourceWidth, p.sourceHeight);
  std::uint64_t bytes = saturatingProduct(source, kSourceBytesPerPixel);
  bytes = saturatingSum(bytes, saturatingProduct(pixels(p.destinationWidth, p.destinationHeight),
                                                 kDestinationBytesPerPixel));
  bytes = saturatingSum(bytes,
                        saturatingProduct(saturatingProduct(source, 4),
                                          static_cast<std::uint64_t>(std::max(p.heldFrames, 0LL))));
  if (p.analysis) bytes = saturatingSum(bytes, saturatingProduct(source, kAnalysisBytesPerPixel));
  return bytes;
}

void requireMemoryFor(const RRunPictures& pictures, const std::string& what, std::uint64_t usable) {
  const std::uint64_t needed = runMemoryBytes(pictures);
  if (needed <= usable) return;
  failUsage(what + " needs about " + formatBytes(needed) + " of memory; this machine has " +
            formatBytes(usable));
}

}  // namespace host

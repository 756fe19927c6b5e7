#include "platform/kernel_set.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

KernelSet detectFastest() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return KernelSet::kAvx2;
  return KernelSet::kSse2;
#else
  return KernelSet::kPlain;
#endif
}

KernelSet initialSet() {
  const char* plain = std::getenv("QUIVENTA_PLAIN_KERNELS");
  if (plain != nullptr && plain[0] != '\0' && std::strcmp(plain, "0") != 0) {
    return KernelSet::kPlain;
  }
  return fastestKernelSet();
}

std::atomic<KernelSet>& current() {
  static std::atomic<KernelSet> set{initialSet()};
  return set;
}

}  // namespace

KernelSet fastestKernelSet() {
  static const KernelSet fastest = detectFastest();
  return fastest;
}

KernelSet kernelSet() { return current().load(std::memory_order_relaxed); }

KernelSet useKernelSet(KernelSet set) {
  if (static_cast<int>(set) > static_cast<int>(fastestKernelSet())) set = fastestKernelSet();
  current().store(set, std::memory_order_relaxed);
  return set;
}

const char* kernelSetName(KernelSet set) {
  switch (set) {
    case KernelSet::kPlain:
      return "plain";
    case KernelSet::kSse2:
      return "SSE2";
    case KernelSet::kAvx2:
      return "AVX2";
  }
  return "?";
}

}  // namespace platform

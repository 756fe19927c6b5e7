#include "render/render_kernels.h"

const RRenderKernels* renderKernels(platform::KernelSet set) {
  switch (set) {
    case platform::KernelSet::kSse2:
      return &render_sse2::kKernels;
    case platform::KernelSet::kAvx2:
      return &render_avx2::kKernels;
    case platform::KernelSet::kPlain:
      break;
  }
  return nullptr;
}

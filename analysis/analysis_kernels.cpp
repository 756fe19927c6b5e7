#include "analysis/analysis_kernels.h"

const RAnalysisKernels* analysisKernels(platform::KernelSet set) {
  switch (set) {
    case platform::KernelSet::kSse2:
      return &analysis_sse2::kKernels;
    case platform::KernelSet::kAvx2:
      return &analysis_avx2::kKernels;
    case platform::KernelSet::kPlain:
      break;
  }
  return nullptr;
}

#include "tests/support/kernel_sets.h"

namespace testing_support {

std::vector<platform::KernelSet> vectorKernelSets() {
  std::vector<platform::KernelSet> sets;
  for (platform::KernelSet set : {platform::KernelSet::kSse2, platform::KernelSet::kAvx2}) {
    if (static_cast<int>(set) <= static_cast<int>(platform::fastestKernelSet())) {
      sets.push_back(set);
    }
  }
  return sets;
}

}  // namespace testing_support

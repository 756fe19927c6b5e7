// The kernel sets a comparison runs through, and a scope that restores the
// set in force.
#pragma once

#include <vector>

#include "platform/kernel_set.h"

namespace testing_support {

// Every vector set this processor runs (those a fast path must match).
std::vector<platform::KernelSet> vectorKernelSets();

class CKernelSetScope {
 public:
  explicit CKernelSetScope(platform::KernelSet set) : saved_(platform::kernelSet()) {
    platform::useKernelSet(set);
  }
  ~CKernelSetScope() { platform::useKernelSet(saved_); }
  CKernelSetScope(const CKernelSetScope&) = delete;
  CKernelSetScope& operator=(const CKernelSetScope&) = delete;

 private:
  platform::KernelSet saved_;
};

}  // namespace testing_support

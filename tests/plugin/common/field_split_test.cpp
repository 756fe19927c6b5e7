#include "plugin/common/field_split.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/filter_instance.h"

namespace {

using testing_support::CFilterInstance;

TEST(FieldSplitTest, RestoreIsBitIdentical) {
  CFilterInstance instance;
  instance.setSourceSize(720, 576);
  instance.state().lCurrentSourceFrame = 10;
  InstanceData& data = instance.data();
  data.ignoreOutsideTop = 5;
  data.ignoreOutsideBottom = 7;
  data.ignoreInsideTop = 9;
  data.ignoreInsideBottom = 3;
  data.previousFrames = 30;
  data.futureFrames = 25;
  // Byte snapshots, padding included: every value must come back bit for bit.
  unsigned char src[sizeof(VFBitmap)], dst[sizeof(VFBitmap)], before[sizeof(InstanceData)];
  std::memcpy(src, &instance.src(), sizeof src);
  std::memcpy(dst, &instance.dst(), sizeof dst);
  std::memcpy(before, &instance.data(), sizeof before);
  for (int secondRow = 0; secondRow <= 1; ++secondRow) {
    for (int first = 0; first <= 1; ++first) {
      for (int pass : {1, 2}) {
        splitField(&instance.fa(), FieldStep::kBegin, {secondRow, first, pass});
        splitField(&instance.fa(), FieldStep::kEnd);
        EXPECT_EQ(std::memcmp(&instance.src(), src, sizeof src), 0);
        EXPECT_EQ(std::memcmp(&instance.dst(), dst, sizeof dst), 0);
        EXPECT_EQ(std::memcmp(&instance.data(), before, sizeof before), 0);
        EXPECT_EQ(instance.state().lCurrentSourceFrame, 10);
      }
    }
  }
}

}  // namespace

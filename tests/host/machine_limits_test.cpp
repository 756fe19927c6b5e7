#include "host/machine_limits.h"

#include <gtest/gtest.h>

#include "host/host_error.h"

namespace {

TEST(MachineLimitsTest, RunsWhosePicturesWouldExhaustTheMemoryAreRefused) {
  constexpr std::uint64_t kGigabyte = 1000000000;
  const struct {
    host::RRunPictures pictures;
    std::uint64_t usable;
    bool refused;
  } cases[] = {
      {{1920, 1080, 1920, 1080, 10001, false}, 64 * kGigabyte, true},  // 10,000 held copies
      {{1920, 1080, 1920, 1080, 31, false}, 2 * kGigabyte, false},     // a usual pass 2
      {{320, 240, 32768, 32768, 1, false}, 64 * kGigabyte, true},      // the largest destination
      {{7680, 4320, 8, 8, 0, true}, 4 * kGigabyte, false},             // pass 1 of 8K video
  };
  for (const auto& c : cases) {
    bool refused = false;
    try {
      host::requireMemoryFor(c.pictures, "run", c.usable);
    } catch (const host::CHostError& error) {
      refused = true;
      EXPECT_EQ(error.kind(), host::FailureKind::kUsage);
      EXPECT_NE(std::string(error.what()).find("this machine has"), std::string::npos);
    }
    EXPECT_EQ(refused, c.refused) << host::formatBytes(host::runMemoryBytes(c.pictures));
  }
  EXPECT_GT(host::usableMemoryBytes(), 0u);
}

}  // namespace

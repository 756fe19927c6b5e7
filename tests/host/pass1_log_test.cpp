#include "host/pass1_log.h"

#include <gtest/gtest.h>

#include "host/host_error.h"
#include "tests/host/test_media.h"
#include "tests/support/log_files.h"
#include "tests/support/scratch_folder.h"

namespace {

// A filter that stops writing at a line end (an interrupted or failing pass)
// leaves a log that looks whole: only the count of lines tells, and the old
// log must survive it.
TEST(Pass1LogTest, ALogShortOfLinesIsRefusedEvenWhenItsLastLineIsWhole) {
  testing_support::CScratchFolder scratch;
  const std::string path = scratch.path("clip.log");
  testing_support::writeTextFile(path, "old log\r\n");
  const std::string lines = "1\t0\t0\t0\t1.0\r\n2\t0\t0\t0\t1.0\r\n";
  for (const long long expected : {3LL, 2LL}) {
    host::CPass1Log log(path, false);
    testing_support::writeTextFile(log.writePath(), lines);
    try {
      log.verify(expected);
      log.commit();
    } catch (const host::CHostError&) {  // refused: the old log stays
    }
    EXPECT_EQ(host_test::fileText(path), expected == 3 ? "old log\r\n" : lines);
  }
}

}  // namespace

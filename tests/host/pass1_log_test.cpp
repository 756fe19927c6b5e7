#include "host/pass1_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/host_error.h"

namespace fs = std::filesystem;

namespace {

std::string read(const std::string& file) {
  std::ifstream stream(file, std::ios::binary);
  std::stringstream content;
  content << stream.rdbuf();
  return content.str();
}

TEST(Pass1LogTest, TheLogIsReplacedOnlyWhenEveryLineArrived) {
  std::string pattern = (fs::temp_directory_path() / "qv-log-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const std::string path = (dir / "clip.log").string();
  const std::string old = "      1\t   0.50\t   0.00\t  0.000\t1.00000\r\n";
  const std::string lines =
      "      1\t   1.00\t   0.00\t  0.000\t1.00000\r\n      2\t   2.00\t   0.00\t  "
      "0.000\t1.00000\r\n";

  const struct {
    bool append;
    std::string written;  // what the filter adds to the temporary
    bool complete;
  } cases[] = {
      {false, lines, true},
      {false, lines.substr(0, 40), false},  // a full disk: the second line is missing
      {false, lines.substr(0, 60), false},  // ... or cut in the middle
      {false, "", false},                   // "Cannot write to log file!"
      {true, "\r\n" + lines, true},         // appended after an empty line
      {true, lines, false},                 // the empty line is missing
  };
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::binary) << old;
    {
      host::CPass1Log log(path, c.append);
      EXPECT_EQ(fs::path(log.writePath()).parent_path(), dir);
      EXPECT_EQ(read(log.writePath()), c.append ? old : "");
      std::ofstream(log.writePath(),
                    std::ios::binary | (c.append ? std::ios::app : std::ios::trunc))
          << c.written;
      EXPECT_EQ(read(path), old) << "nothing moves before the commit";
      if (c.complete) {
        log.verify(2);
        log.commit();
      } else {
        EXPECT_THROW(log.verify(2), host::CHostError) << c.written;
      }
    }
    EXPECT_EQ(read(path), c.complete ? (c.append ? old : "") + c.written : old) << c.written;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << "the temporary is gone";
  }

  EXPECT_EQ(host::expectedLogLines(60, false), 59);
  EXPECT_EQ(host::expectedLogLines(60, true), 119);  // the first field has no line
  EXPECT_EQ(host::expectedLogLines(1, true), 0);     // the held line of one frame is dropped
  fs::remove_all(dir);
}

}  // namespace

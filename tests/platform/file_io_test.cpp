#include "platform/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "tests/support/scratch_folder.h"

namespace platform {
namespace {

class FileIoTest : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return folder_.path(name); }

  // Writes `content` through the interface under test.
  void writeNew(const std::string& file, const std::string& content) {
    FileHandle fd = createFileTruncate(file.c_str());
    ASSERT_NE(fd, kInvalidFileHandle);
    EXPECT_TRUE(writeFile(fd, content.data(), content.size()));
    closeFile(fd);
  }

  std::string content(const std::string& file) {
    std::string result;
    EXPECT_TRUE(readWholeFile(file, &result));
    return result;
  }

  testing_support::CScratchFolder folder_;
  const std::string dir_ = folder_.folder().string();
};

// Opening to append, seeking and sizes are the log writer's and reader's
// daily work and checked through them.
TEST_F(FileIoTest, CreateTruncatesAndLetsOthersRead) {
  const std::string file = path("log");
  writeNew(file, "a long first pass log");
  writeNew(file, "short");
  EXPECT_EQ(content(file), "short");
  // Others may read the log: 0644 before the umask.
  const mode_t umask = ::umask(0);
  ::umask(umask);
  struct stat info;
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644 & ~umask);
}

TEST_F(FileIoTest, LastWriteTimeHasFullNanosecondResolution) {
  const std::string file = path("stamped");
  writeNew(file, "x");
  FileHandle fd = openFileForRead(file.c_str());
  ASSERT_NE(fd, kInvalidFileHandle);

  auto stampAndRead = [&](time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    EXPECT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    std::uint64_t stamp = 0;
    EXPECT_TRUE(getLastWriteTime(fd, &stamp));
    return stamp;
  };
  EXPECT_EQ(stampAndRead(1'600'000'000, 123'456'789), 1'600'000'000'123'456'789u);
  EXPECT_EQ(stampAndRead(1'600'000'000, 123'456'790), 1'600'000'000'123'456'790u);
  // The epoch itself must not look like "no time cached".
  EXPECT_NE(stampAndRead(0, 0), 0u);
  closeFile(fd);
}

TEST_F(FileIoTest, UnusablePathsAndHandlesFailCleanly) {
  for (const std::string& bad : {path("no/such/file"), dir_}) {
    EXPECT_EQ(createFileTruncate(bad.c_str()), kInvalidFileHandle) << bad;
    EXPECT_EQ(openOrCreateFile(bad.c_str()), kInvalidFileHandle) << bad;
    EXPECT_EQ(openFileForRead(bad.c_str()), kInvalidFileHandle) << bad;
  }
  EXPECT_EQ(openFileForRead(path("missing").c_str()), kInvalidFileHandle);
  EXPECT_EQ(createFileTruncate(nullptr), kInvalidFileHandle);

  std::string ignored = "kept";
  EXPECT_FALSE(readWholeFile(path("missing"), &ignored));
  EXPECT_EQ(ignored, "kept");

  char byte = 0;
  std::size_t got = 99;
  std::uint64_t value = 0;
  EXPECT_FALSE(seekToEnd(kInvalidFileHandle));
  EXPECT_FALSE(writeFile(kInvalidFileHandle, &byte, 1));
  EXPECT_FALSE(readFile(kInvalidFileHandle, &byte, 1, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(getLastWriteTime(kInvalidFileHandle, &value));
  EXPECT_FALSE(getFileSize(kInvalidFileHandle, &value));
  closeFile(kInvalidFileHandle);
}

}  // namespace
}  // namespace platform

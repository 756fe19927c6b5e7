#include "platform/message_box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

// Puts a descriptor on standard input for one scope.
class CScopedStdin {
 public:
  explicit CScopedStdin(int fd) : saved_(::dup(STDIN_FILENO)) {
    std::clearerr(stdin);
    ::dup2(fd, STDIN_FILENO);
  }
  ~CScopedStdin() {
    ::dup2(saved_, STDIN_FILENO);
    ::close(saved_);
    std::clearerr(stdin);
  }
  CScopedStdin(const CScopedStdin&) = delete;
  CScopedStdin& operator=(const CScopedStdin&) = delete;

 private:
  int saved_;
};

TEST(MessageBoxTest, DefaultAnswersNoWithoutTerminalEvenIfInputSaysYes) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "yes\n", 4), 4);
  ::close(fds[1]);
  {
    CScopedStdin input(fds[0]);
    testing::internal::CaptureStderr();
    EXPECT_EQ(defaultMessageBox("Overwrite?", "Quiventa", MessageBoxButtons::kYesNo),
              MessageBoxAnswer::kNo);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Quiventa: Overwrite?\n");
  }
  ::close(fds[0]);
}

}  // namespace
}  // namespace platform

#include "platform/message_box.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {
namespace {

struct RCall {
  std::string text;
  std::string caption;
  MessageBoxButtons buttons;
};

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

TEST(MessageBoxTest, InstalledHandlerAnswersAndIsHandedBack) {
  std::vector<RCall> calls;
  MessageBoxHandler recorder = [&calls](const std::string& text, const std::string& caption,
                                        MessageBoxButtons buttons) {
    calls.push_back({text, caption, buttons});
    return MessageBoxAnswer::kYes;
  };
  MessageBoxHandler before = setMessageBoxHandler(recorder);
  EXPECT_FALSE(before);  // the default is in effect

  EXPECT_EQ(messageBox("Overwrite log?", "Quiventa", MessageBoxButtons::kYesNo),
            MessageBoxAnswer::kYes);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "Overwrite log?");
  EXPECT_EQ(calls[0].caption, "Quiventa");
  EXPECT_EQ(calls[0].buttons, MessageBoxButtons::kYesNo);

  MessageBoxHandler previous = setMessageBoxHandler(before);
  ASSERT_TRUE(previous);
  previous("again", "c", MessageBoxButtons::kOk);
  EXPECT_EQ(calls.size(), 2u);

  // With the default back, the recorder sees nothing more.
  testing::internal::CaptureStderr();
  EXPECT_EQ(messageBox("done", "Quiventa", MessageBoxButtons::kOk), MessageBoxAnswer::kOk);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Quiventa: done\n");
  EXPECT_EQ(calls.size(), 2u);
}

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

  int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(null, 0);
  {
    CScopedStdin input(null);
    testing::internal::CaptureStderr();
    EXPECT_EQ(defaultMessageBox("q", "c", MessageBoxButtons::kYesNo), MessageBoxAnswer::kNo);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "c: q\n");
  }
  ::close(null);
}

}  // namespace
}  // namespace platform

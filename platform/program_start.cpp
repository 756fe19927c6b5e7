#include "platform/program_start.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace platform {

bool startDetachedProgram(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return false;
  // A shell that starts the program in the background and ends at once: the
  // program is then an orphan that init reaps, and the only child we wait
  // for is the shell. "command -v" makes a missing program the shell's
  // failure instead of a silent background error.
  std::vector<std::string> words = {
      "/bin/sh", "-c",
      "command -v \"$1\" >/dev/null || exit 127; \"$@\" </dev/null >/dev/null 2>&1 &", "sh"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t shell = 0;
  if (posix_spawn(&shell, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(shell, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform

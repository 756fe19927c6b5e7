#include "platform/message_box.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cctype>
#include <cstdio>
#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex handlerMutex;
MessageBoxHandler installedHandler;  // empty: the default is in effect

MessageBoxHandler currentHandler() {
  std::lock_guard<std::mutex> lock(handlerMutex);
  return installedHandler;
}

#ifndef _WIN32
// One line from standard input; false at end of input before any character.
bool readAnswerLine(std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  return c != EOF || !line->empty();
}

bool isYes(const std::string& line) {
  std::size_t begin = 0;
  std::size_t end = line.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(line[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(line[end - 1]))) --end;
  std::string word;
  for (std::size_t i = begin; i < end; ++i) {
    word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(line[i]))));
  }
  return word == "y" || word == "yes";
}
#endif

}  // namespace

MessageBoxAnswer messageBox(const std::string& text, const std::string& caption,
                            MessageBoxButtons buttons) {
  // Called outside the lock, so a handler may itself show a box or swap the
  // handler without deadlocking.
  MessageBoxHandler handler = currentHandler();
  if (!handler) return defaultMessageBox(text, caption, buttons);
  return handler(text, caption, buttons);
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(handlerMutex);
  return std::exchange(installedHandler, std::move(handler));
}

// Windows shows a real message box (message_box_win32.cpp).
#ifndef _WIN32
MessageBoxAnswer defaultMessageBox(const std::string& text, const std::string& caption,
                                   MessageBoxButtons buttons) {
  if (buttons == MessageBoxButtons::kOk) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return MessageBoxAnswer::kOk;
  }
  // Batch runs (stdin a file or pipe) must never block on, or be answered
  // by, their input data; they get the safe answer.
  if (!::isatty(STDIN_FILENO)) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return MessageBoxAnswer::kNo;
  }
  std::fprintf(stderr, "%s: %s [y/N] ", caption.c_str(), text.c_str());
  std::fflush(stderr);
  std::string line;
  if (!readAnswerLine(&line)) {
    std::clearerr(stdin);  // a later question may still get an answer
    std::fputc('\n', stderr);
    return MessageBoxAnswer::kNo;
  }
  return isYes(line) ? MessageBoxAnswer::kYes : MessageBoxAnswer::kNo;
}

#endif

}  // namespace platform

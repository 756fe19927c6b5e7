// A small modeless progress window: a caption, a status line and a way for
// the user to ask for cancellation, polled by a long computation on the
// host's thread.
//
// The default window is the terminal: the status goes to standard error
// (when it is a terminal) and Ctrl-C, while the window exists, counts as a
// click on "Cancel" instead of ending the program. Tests and graphical hosts
// install their own factory.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

class CProgressWindow {
 public:
  virtual ~CProgressWindow() = default;
  virtual void setCaption(const std::string& caption) = 0;
  virtual void setStatusText(const std::string& text) = 0;
  // Handles pending input; returns how many cancel clicks arrived since the
  // previous call.
  virtual int pumpMessages() = 0;
  // The user confirmed that the computation is to stop. The terminal window
  // passes the Ctrl-C on to the program when it closes, so a host that stops
  // on Ctrl-C stops here too.
  virtual void userAborted() {}
};

using ProgressWindowFactory = std::function<std::unique_ptr<CProgressWindow>()>;

// Null when the window cannot be created.
std::unique_ptr<CProgressWindow> createProgressWindow();

// Installs a factory (an empty one restores the terminal window); returns
// the previous one.
ProgressWindowFactory setProgressWindowFactory(ProgressWindowFactory factory);

}  // namespace platform

// A small modeless progress window: a caption, a status line and a way for
// the user to ask for cancellation, polled by a long computation on the
// host's thread.
//
// The default window is the terminal: the status goes to standard error
// (when it is a terminal), and Ctrl-C, SIGTERM and SIGHUP, while the window
// exists, count as a click on "Cancel" instead of ending the program. While
// it exists the window also answers the confirmation question that follows
// a cancel when nobody can answer it on the terminal (a termination request,
// or standard input not a terminal): the signal stands, the answer is Yes.
// Tests and graphical hosts install their own factory.
//
// On Windows the default window is a real modeless dialog made from the
// module's template kProgressTemplateId: a status line, a hidden progress
// bar and "Cancel"; polling it dispatches every pending message of the
// calling thread, so the host's windows stay responsive.
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
  // passes the signal on when it closes, to the handler that was installed
  // before it, so a host that stops on the signal stops here too; with no
  // handler installed nothing is raised (the default action would kill the
  // program).
  virtual void userAborted() {}
};

#ifdef _WIN32
// The module's progress template and its controls (ui/resources).
inline constexpr int kProgressTemplateId = 1062;
inline constexpr int kProgressStatusId = 1005;
inline constexpr int kProgressBarId = 1003;
#endif

using ProgressWindowFactory = std::function<std::unique_ptr<CProgressWindow>()>;

// Null when the window cannot be created.
std::unique_ptr<CProgressWindow> createProgressWindow();

// Installs a factory (an empty one restores the terminal window); returns
// the previous one.
ProgressWindowFactory setProgressWindowFactory(ProgressWindowFactory factory);

// The system's own window (the terminal's on POSIX, the progress dialog on
// Windows), which createProgressWindow gives when no factory is installed.
// Null when it cannot be created.
std::unique_ptr<CProgressWindow> createSystemProgressWindow();

}  // namespace platform

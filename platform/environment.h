// The few facts the filter learns from its surroundings: environment
// variables, the user's local application-data folder and the width of the
// desktop. Process-wide; not meant to be changed while worker threads run.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Null when the variable is not set. On Windows the process's environment
// block (GetEnvironmentVariable), not the C runtime's copy of it.
std::optional<std::string> getEnvironmentVariable(const char* name);
void setEnvironmentVariable(const char* name, const char* value);
void unsetEnvironmentVariable(const char* name);

// The per-user, non-roaming data folder: $XDG_DATA_HOME if set and not
// empty, else $HOME/.local/share; on Windows the shell's local
// application-data folder. Null when it cannot be determined. No trailing
// separator.
std::optional<std::string> localAppDataFolder();

// Where files go when no user folder exists: the system's temporary folder
// ($TMPDIR if set and not empty, else /tmp), with a trailing '/'; on Windows
// the root of the drive that holds Windows ("C:\").
std::string fallbackDataFolder();

// Path separator of this platform, used where file paths are assembled.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The folder of the shared object (or program) this code is linked into,
// without a trailing separator: where the module finds the files it ships
// with. Empty when it cannot be determined.
std::string moduleDirectory();

// Whether the environment names a display a dialog could open on: X11
// (DISPLAY), Wayland (WAYLAND_DISPLAY), or a Qt platform chosen explicitly
// (QT_QPA_PLATFORM, e.g. offscreen). Says nothing about whether it answers.
// Always true on Windows, where every process has a desktop.
bool displayNamed();

// Horizontal resolution of the desktop in pixels. Without a display there is
// no small screen to fit, so the value is large (1920) unless set; on
// Windows it is the primary screen's width (GetSystemMetrics) unless set.
// Values below 1 are ignored. Safe to read from any thread.
int desktopHorizontalResolution();
void setDesktopHorizontalResolution(int pixels);

}  // namespace platform

// The one way host operations fail: an exception that carries the line shown
// to the user (without the "quiventa: " prefix) and the kind of failure,
// which decides the exit status. Everything that holds a resource cleans up
// in its destructor, so throwing from deep inside a run leaves no temporary
// file behind and calls the filter's end and deinit callbacks.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

enum class FailureKind {
  kUsage,        // the command line or the settings: exit status 2, nothing ran
  kRuntime,      // files, codecs, the module: exit status 1
  kInterrupted,  // Ctrl-C: exit status 130
};

class CHostError : public std::runtime_error {
 public:
  CHostError(FailureKind kind, const std::string& message)
      : std::runtime_error(message), kind_(kind) {}
  FailureKind kind() const { return kind_; }

 private:
  FailureKind kind_;
};

[[noreturn]] inline void failUsage(const std::string& message) {
  throw CHostError(FailureKind::kUsage, message);
}
[[noreturn]] inline void failRuntime(const std::string& message) {
  throw CHostError(FailureKind::kRuntime, message);
}

inline int exitStatusOf(FailureKind kind) {
  switch (kind) {
    case FailureKind::kUsage:
      return 2;
    case FailureKind::kRuntime:
      return 1;
    case FailureKind::kInterrupted:
      return 130;
  }
  return 1;
}

}  // namespace host

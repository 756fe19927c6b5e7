#include "host/path_identity.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cctype>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace host {
namespace {

// The literal text before and after the frame-number field of a pattern.
struct RPatternParts {
  std::string prefix, suffix;
};

std::optional<RPatternParts> splitPattern(const std::string& pattern) {
  RPatternParts parts;
  std::string* side = &parts.prefix;
  bool found = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      *side += pattern[i];
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      *side += '%';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j]))) ++j;
    if (found || j >= pattern.size() || pattern[j] != 'd') return std::nullopt;
    found = true;
    side = &parts.suffix;
    i = j;
  }
  if (!found) return std::nullopt;
  return parts;
}

std::string expandPattern(const std::string& pattern, long long number) {
  char name[4096];
  if (av_get_frame_filename2(name, sizeof name, pattern.c_str(), static_cast<int>(number),
                             AV_FRAME_FILENAME_FLAGS_MULTIPLE) < 0) {
    return "";
  }
  return name;
}

// Folder and name, the folder resolved through existing links.
fs::path resolved(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error).lexically_normal();
  fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  if (error) folder = absolute.parent_path();
  return folder / absolute.filename();
}

bool sameSingleFile(const std::string& first, const std::string& second) {
  std::error_code error;
  if (fs::exists(first, error) && fs::exists(second, error)) {
    const bool same = fs::equivalent(first, second, error);
    if (!error) return same;
  }
  return resolved(first) == resolved(second);
}

// Frame numbers at which fields of different widths meet: each width from
// one to seven digits, at both of its ends.
constexpr long long kSampleNumbers[] = {0,    1,     9,     10,     99,     100,     999,    1000,
                                        9999, 10000, 99999, 100000, 999999, 1000000, 9999999};

}  // namespace

bool isSequencePattern(const std::string& path) {
  return av_filename_number_test(fs::path(path).filename().string().c_str()) != 0;
}

long long sequenceFrameNumber(const std::string& pattern, const std::string& fileName) {
  const std::optional<RPatternParts> parts = splitPattern(pattern);
  if (!parts || fileName.size() <= parts->prefix.size() + parts->suffix.size()) return -1;
  if (fileName.compare(0, parts->prefix.size(), parts->prefix) != 0) return -1;
  if (fileName.compare(fileName.size() - parts->suffix.size(), parts->suffix.size(),
                       parts->suffix) != 0) {
    return -1;
  }
  const std::string digits = fileName.substr(
      parts->prefix.size(), fileName.size() - parts->prefix.size() - parts->suffix.size());
  if (digits.size() > 9) return -1;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  }
  const long long number = std::stoll(digits);
  return expandPattern(pattern, number) == fileName ? number : -1;
}

bool isSameFile(const std::string& first, const std::string& second) {
  const bool firstPattern = isSequencePattern(first), secondPattern = isSequencePattern(second);
  if (!firstPattern && !secondPattern) return sameSingleFile(first, second);
  const fs::path a(first), b(second);
  if (firstPattern && secondPattern) {
    if (!sameSingleFile(a.parent_path().empty() ? "." : a.parent_path().string(),
                        b.parent_path().empty() ? "." : b.parent_path().string())) {
      return false;
    }
    for (long long number : kSampleNumbers) {
      const std::string name = expandPattern(a.filename().string(), number);
      if (!name.empty() && name == expandPattern(b.filename().string(), number)) return true;
    }
    // Also where the files exist under other names (hard links).
    const std::string one = expandPattern(first, 1), other = expandPattern(second, 1);
    return !one.empty() && !other.empty() && sameSingleFile(one, other);
  }
  const fs::path& pattern = firstPattern ? a : b;
  const fs::path& single = firstPattern ? b : a;
  const long long number =
      sequenceFrameNumber(pattern.filename().string(), single.filename().string());
  if (number >= 0) {
    return sameSingleFile(expandPattern(pattern.string(), number), single.string());
  }
  // A file the pattern names under another name (a link into the sequence).
  for (long long candidate : {0LL, 1LL}) {
    const std::string name = expandPattern(pattern.string(), candidate);
    std::error_code error;
    if (!name.empty() && fs::exists(name, error) && sameSingleFile(name, single.string())) {
      return true;
    }
  }
  return false;
}

}  // namespace host

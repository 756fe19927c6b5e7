#include "host/pass1_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/host_error.h"
#include "host/output_target.h"
#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace host {
namespace {

long long lineCount(const std::string& text) {
  return static_cast<long long>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

long long expectedLogLines(long long frames, bool interlaced) {
  if (frames < 2) return 0;
  return interlaced ? 2 * frames - 1 : frames - 1;
}

void requireRegularLogPath(const std::string& path) {
  requireRegularOutput(path, "the log file", "give --log a regular file");
}

CPass1Log::CPass1Log(const std::string& path, bool append) : path_(path), append_(append) {
  requireRegularLogPath(path);
  std::error_code error;
  if (append && fs::exists(path, error) && !platform::readWholeFile(path, &before_)) {
    failRuntime("cannot read the log file " + path + " to append to it");
  }
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string hiddenName = ".";
  hiddenName += target.filename().string();
  hiddenName += ".tmp-XXXXXX";
  std::string pattern = (folder / hiddenName).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) {
    failRuntime("cannot write the log file " + path + ": " + std::strerror(errno));
  }
  writePath_ = pattern;
  registered_ = std::make_unique<CRegisteredTemporary>(writePath_, false);
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, 0666 & ~mask);
  close(descriptor);
  if (!before_.empty()) {
    platform::FileHandle file = platform::createFileTruncate(writePath_.c_str());
    const bool written = file != platform::kInvalidFileHandle &&
                         platform::writeFile(file, before_.data(), before_.size());
    platform::closeFile(file);
    if (!written) {
      fs::remove(writePath_, error);
      failRuntime("cannot write the log file " + path + ": the disk may be full");
    }
  }
}

CPass1Log::~CPass1Log() {
  if (committed_) return;
  std::error_code ignored;
  fs::remove(writePath_, ignored);
}

void CPass1Log::verify(long long expectedLines) {
  std::string text;
  if (!platform::readWholeFile(writePath_, &text)) {
    failRuntime("pass 1 wrote no readable log to " + path_ + " (the log was not changed)");
  }
  // An appending filter starts with an empty line when it opens the file.
  const long long separator = append_ && expectedLines > 0 ? 1 : 0;
  const bool kept = text.compare(0, before_.size(), before_) == 0;
  const long long written = kept ? lineCount(text) - lineCount(before_) - separator : -1;
  const bool complete = text.empty() || text.back() == '\n';
  if (!kept || written != expectedLines || !complete) {
    failRuntime("pass 1 wrote " + std::to_string(std::max(written, 0LL)) + " of the " +
                std::to_string(expectedLines) + " lines of the log " + path_ +
                (complete ? "" : " and stopped in the middle of a line") +
                "; is the disk full? (the log was not changed)");
  }
}

void CPass1Log::commit() {
  std::error_code error;
  fs::rename(writePath_, path_, error);
  if (error) failRuntime("cannot move the finished log to " + path_ + ": " + error.message());
  committed_ = true;
}

}  // namespace host

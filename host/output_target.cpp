#include "host/output_target.h"

#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/host_error.h"
#include "host/path_identity.h"

namespace fs = std::filesystem;

namespace host {
namespace {

std::string lowerExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// Files created by mkstemp are private; the output gets the usual mode.
void giveDefaultMode(int descriptor) {
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, 0666 & ~mask);
}

}  // namespace

OutputKind outputKindFor(const std::string& path) {
  const std::string extension = lowerExtension(path);
  if (isSequencePattern(path)) {
    if (extension != ".png") {
      failUsage("image sequences are written as PNG: name the output like frames%04d.png, not " +
                path);
    }
    return OutputKind::kPngSequence;
  }
  if (extension == ".mp4" || extension == ".mkv" || extension == ".mov") {
    return OutputKind::kH264File;
  }
  if (extension == ".y4m") return OutputKind::kY4m;
  failUsage("cannot write " + path +
            ": the output name must end in .mp4, .mkv, .mov or .y4m, or be a %d pattern ending "
            "in .png");
}

const char* muxerNameFor(const std::string& path) {
  switch (outputKindFor(path)) {
    case OutputKind::kPngSequence:
      return "image2";
    case OutputKind::kY4m:
      return "yuv4mpegpipe";
    case OutputKind::kH264File:
      break;
  }
  const std::string extension = lowerExtension(path);
  if (extension == ".mkv") return "matroska";
  if (extension == ".mov") return "mov";
  return "mp4";
}

bool outputExists(const std::string& path) {
  std::error_code error;
  if (!isSequencePattern(path)) return fs::exists(fs::symlink_status(path, error));
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  const std::string pattern = fs::path(path).filename().string();
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (sequenceFrameNumber(pattern, entry.path().filename().string()) >= 0) return true;
  }
  return false;
}

void requireRegularOutput(const std::string& path, const std::string& role,
                          const std::string& hint) {
  struct stat status {};
  // A new name, or a sequence pattern that names no file itself.
  if (path.empty() || stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return;
  const char* what = S_ISDIR(status.st_mode)                              ? "a folder"
                     : S_ISFIFO(status.st_mode)                           ? "a FIFO"
                     : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? "a device"
                                                                          : "not a regular file";
  failUsage(role + " " + path + " is " + what + ": " + hint);
}

std::string logPathBeside(const std::string& path) {
  if (!isSequencePattern(path)) return path + ".log";
  const fs::path target(path);
  std::string name = target.filename().string();
  const std::size_t percent = name.rfind('%');
  const std::size_t field = name.find('d', percent);
  if (percent != std::string::npos && field != std::string::npos) {
    name.erase(percent, field - percent + 1);
  }
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  while (!name.empty() && std::strchr("._- ", name.back()) != nullptr) name.pop_back();
  if (name.empty()) name = "frames";
  return (target.parent_path() / (name + ".log")).string();
}

COutputTarget::COutputTarget(const std::string& path) : finalPath_(path) {
  const fs::path target(path);
  std::error_code error;
  if (fs::is_directory(target, error)) failRuntime("cannot write " + path + ": it is a folder");
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const std::string name = target.filename().string();
  sequence_ = outputKindFor(path) == OutputKind::kPngSequence;

  if (sequence_) {
    std::string pattern = (folder / ".quiventa-tmp-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      failRuntime("cannot write to folder " + folder.string() + ": " + std::strerror(errno));
    }
    temporary_ = pattern;
    registered_ = std::make_unique<CRegisteredTemporary>(temporary_, true);
    writePath_ = (fs::path(pattern) / name).string();
    return;
  }
  const std::string extension = target.extension().string();
  // Built by appending: GCC 12 warns falsely about "literal" + string&& at -O3.
  std::string hiddenName = ".";
  hiddenName += target.stem().string();
  hiddenName += ".tmp-XXXXXX";
  hiddenName += extension;
  std::string pattern = (folder / hiddenName).string();
  const int descriptor = mkstemps(pattern.data(), static_cast<int>(extension.size()));
  if (descriptor < 0) {
    failRuntime("cannot write " + path + ": " + std::strerror(errno));
  }
  temporary_ = pattern;
  registered_ = std::make_unique<CRegisteredTemporary>(temporary_, false);
  giveDefaultMode(descriptor);
  close(descriptor);
  writePath_ = pattern;
}

COutputTarget::~COutputTarget() {
  if (committed_ || temporary_.empty()) return;
  std::error_code ignored;
  fs::remove_all(temporary_, ignored);
}

void COutputTarget::commit() {
  std::error_code error;
  if (!sequence_) {
    fs::rename(temporary_, finalPath_, error);
    if (error)
      failRuntime("cannot rename the finished output to " + finalPath_ + ": " + error.message());
    committed_ = true;
    return;
  }
  fs::path folder = fs::path(finalPath_).parent_path();
  if (folder.empty()) folder = ".";
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(temporary_, error)) {
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  // Frames of an earlier sequence of this name that this run did not write
  // would otherwise pass for frames of this one.
  const std::string pattern = fs::path(finalPath_).filename().string();
  std::vector<fs::path> stale;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (sequenceFrameNumber(pattern, name) >= 0 && entry.is_regular_file(error) &&
        !fs::exists(fs::path(temporary_) / name, error)) {
      stale.push_back(entry.path());
    }
  }
  for (const fs::path& file : files) {
    fs::rename(file, folder / file.filename(), error);
    if (error) {
      failRuntime("cannot move " + file.filename().string() + " into " + folder.string() + ": " +
                  error.message());
    }
  }
  for (const fs::path& file : stale) fs::remove(file, error);
  fs::remove(temporary_, error);
  committed_ = true;
}

}  // namespace host

#include "tools/clipgen/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qvclip {
namespace {

std::string systemMessage(int error) { return std::strerror(error); }

}  // namespace

COutputFile::~COutputFile() { abandon(); }

bool COutputFile::open(const std::string& path, std::string* error) {
  abandon();
  struct stat info;
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    if (error) *error = "cannot write " + path + ": it is a folder";
    return false;
  }
  std::vector<char> name(path.begin(), path.end());
  const char suffix[] = ".tmp-XXXXXX";
  name.insert(name.end(), suffix, suffix + sizeof(suffix));  // with the terminating zero
  const int descriptor = ::mkstemp(name.data());
  if (descriptor < 0) {
    if (error) *error = "cannot create a file beside " + path + ": " + systemMessage(errno);
    return false;
  }
  // mkstemp creates the file readable by its owner only; a clip is an
  // ordinary file.
  ::fchmod(descriptor, 0644);
  file_.reset(::fdopen(descriptor, "wb"));
  if (!file_) {
    const int saved = errno;
    ::close(descriptor);
    ::unlink(name.data());
    if (error) *error = "cannot write " + path + ": " + systemMessage(saved);
    return false;
  }
  path_ = path;
  temporaryPath_ = name.data();
  return true;
}

bool COutputFile::write(const void* data, std::size_t size, std::string* error) {
  if (!file_) {
    if (error) *error = "internal error: writing to a file that is not open";
    return false;
  }
  if (size > 0 && std::fwrite(data, 1, size, file_.get()) != size) {
    const int saved = errno;
    if (error) *error = "cannot write " + path_ + ": " + systemMessage(saved);
    abandon();
    return false;
  }
  return true;
}

bool COutputFile::commit(std::string* error) {
  if (!file_) {
    if (error) *error = "internal error: committing a file that is not open";
    return false;
  }
  const bool flushed = std::fflush(file_.get()) == 0;
  int saved = errno;
  const bool closed = std::fclose(file_.release()) == 0;
  if (!closed) saved = errno;
  if (!flushed || !closed) {
    if (error) *error = "cannot write " + path_ + ": " + systemMessage(saved);
    abandon();
    return false;
  }
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    if (error) *error = "cannot rename the finished file to " + path_ + ": " + systemMessage(errno);
    abandon();
    return false;
  }
  temporaryPath_.clear();
  return true;
}

void COutputFile::abandon() {
  file_.reset();
  if (!temporaryPath_.empty()) {
    ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
}

}  // namespace qvclip

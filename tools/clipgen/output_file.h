// A file that appears under its name only when it is complete: the content
// goes to a temporary file beside the target ("NAME.tmp-XXXXXX") and commit()
// renames it over the target. Until then an existing file of that name keeps
// its content; an output that is abandoned (destroyed without commit, or a
// failed write) removes its temporary file.
//
// Thread-safety: one object is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace qvclip {

class COutputFile {
 public:
  COutputFile() = default;
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;
  ~COutputFile();

  // False with a message when the temporary file cannot be created (missing
  // or read-only folder, target is a folder).
  bool open(const std::string& path, std::string* error);
  // False with a message when the bytes could not all be written (disk full).
  bool write(const void* data, std::size_t size, std::string* error);
  bool write(const std::string& text, std::string* error) {
    return write(text.data(), text.size(), error);
  }
  // Flushes, closes and renames onto the target. False with a message on
  // failure, in which case the temporary file is removed.
  bool commit(std::string* error);
  // Removes the temporary file; the target is untouched.
  void abandon();

 private:
  struct RCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, RCloser> file_;
  std::string path_, temporaryPath_;
};

}  // namespace qvclip

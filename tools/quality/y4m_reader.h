// Reads the luma plane of a YUV4MPEG2 (.y4m) clip frame by frame: what the
// clip generator, FFmpeg and the host write. Only 8-bit planar clips (4:2:0,
// 4:2:2, 4:4:4, 4:1:1 or mono) are read; chroma is skipped.
//
// Thread-safety: one reader is used by one thread at a time.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace qvquality {

// 8-bit luma, row y (from the top) at luma[y * width].
struct RLumaFrame {
  int width = 0, height = 0;
  std::vector<std::uint8_t> luma;

  int at(int x, int y) const { return luma[static_cast<std::size_t>(y) * width + x]; }
};

class CY4mReader {
 public:
  // Throws std::runtime_error naming the file when it cannot be opened or its
  // header is not that of a readable clip.
  explicit CY4mReader(const std::string& path);

  int width() const { return width_; }
  int height() const { return height_; }
  bool interlaced() const { return interlaced_; }

  // False at the end of the clip; throws std::runtime_error for a frame cut
  // short or a malformed frame header.
  bool readFrame(RLumaFrame& frame);

 private:
  std::string path_;
  std::ifstream file_;
  int width_ = 0, height_ = 0;
  bool interlaced_ = false;
  std::size_t chromaBytes_ = 0;  // both chroma planes of one frame
};

}  // namespace qvquality

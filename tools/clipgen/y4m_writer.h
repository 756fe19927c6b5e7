// Writes frames as a YUV4MPEG2 (.y4m) clip, which FFmpeg and so the host read
// without any codec.
//
// Colour: RGB is converted to Y'CbCr with the BT.601 matrix in limited
// ("studio") range: Y' = 16 + 219 * (0.299 R + 0.587 G + 0.114 B) / 255,
// Cb and Cr = 128 + 224 * (B - Y or R - Y scaled to +-0.5) / 255, rounded to
// nearest. The header says XCOLORRANGE=LIMITED; FFmpeg assumes BT.601 for
// y4m, so a reader converting back gets the same colours within rounding.
//
// Chroma: C444 (full chroma resolution, the default) or C420jpeg (chroma
// averaged over 2 x 2 pixels, sited at their centre; even sizes only, not for
// interlaced clips, where it would mix the fields).
//
// Interlacing: the header marks the field order ("It" upper field first,
// "Ib" lower field first, "Ip" progressive).
//
// The clip is written through COutputFile: it appears under its name only
// after finish() succeeds.
//
// Thread-safety: one writer is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/clipgen/clip_generator.h"
#include "tools/clipgen/output_file.h"

namespace qvclip {

enum class EChroma { k444, k420 };
enum class EFieldOrder { kProgressive, kUpperFirst, kLowerFirst };

struct RY4mFormat {
  int width = 0, height = 0;
  int fpsNumerator = 25, fpsDenominator = 1;
  EFieldOrder fieldOrder = EFieldOrder::kProgressive;
  EChroma chroma = EChroma::k444;
};

// The three planes of one pixel, BT.601 limited range.
void rgbToYCbCr(std::uint32_t pixel, std::uint8_t* y, std::uint8_t* cb, std::uint8_t* cr);

// The stream header line, ending in '\n'.
std::string y4mHeader(const RY4mFormat& format);

class CY4mWriter {
 public:
  // False with a message for an unusable format or an unwritable path.
  bool open(const std::string& path, const RY4mFormat& format, std::string* error);
  // The frame must have the format's size.
  bool writeFrame(const RFrame& frame, std::string* error);
  bool finish(std::string* error);

 private:
  RY4mFormat format_;
  COutputFile file_;
  std::vector<std::uint8_t> planes_;
};

}  // namespace qvclip

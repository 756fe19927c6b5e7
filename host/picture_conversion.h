// Colour conversion between FFmpeg's pictures and the host's 32-bit
// bottom-up bitmaps (0x00RRGGBB words, bottom line first), with swscale: one
// class per direction.
//
// Each converter has a swscale context of its own, so several convert at
// once, each on its own thread; converters made from the same parameters
// give the same bytes, whichever of them converts a picture. (swscale's own
// slice threads are not used: they change the bytes.)
//
// Thread-safety: an instance on one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/av_handles.h"
#include "plugin/filter_interface.h"

namespace host {

// Decoded pictures into bitmaps. Colours: the picture's matrix and range
// are honoured, the stream's where the picture states none (unspecified
// matrices: BT.709 from 720 lines up, else BT.601; unspecified range:
// limited); the bitmap holds full-range RGB, scaled to the bitmap's size
// when the picture's differs.
class CPictureToBitmap {
 public:
  // `stream`: the video stream the pictures come from.
  explicit CPictureToBitmap(const AVStream& stream);

  // Converts `picture` into `bitmap` (its w, h, pitch and data describe the
  // target). False when swscale cannot (a format or size it does not take).
  bool convert(const AVFrame& picture, const VFBitmap& bitmap);

 private:
  AvScaleContext scaler_;
  AVColorSpace streamSpace_;
  AVColorRange streamRange_;
};

// What an encoder takes: pictures of this size and format, with these colours.
struct REncoderPictures {
  int width = 0, height = 0;  // the coded size: at least the bitmaps'
  AVPixelFormat format = AV_PIX_FMT_NONE;
  int matrix = 0;          // swscale's colour matrix (SWS_CS_...); unused for RGB24
  bool fullRange = false;  // unused for RGB24
};

// Bitmaps into pictures for an encoder. A bitmap smaller than the pictures
// is padded by repeating its last column and row.
class CBitmapToPicture {
 public:
  // Throws CHostError (runtime) naming `outputName` when swscale has no
  // conversion to the format.
  CBitmapToPicture(const REncoderPictures& pictures, const std::string& outputName);

  // A picture of the encoder's size and format to convert into.
  AvFrame allocatePicture() const;
  // Converts `bitmap` into `picture` (one of allocatePicture's, made
  // writable by the caller).
  void convert(const VFBitmap& bitmap, AVFrame* picture);

 private:
  REncoderPictures pictures_;
  AvScaleContext scaler_;
  // Odd sides are encoded padded: the bitmap is copied into this top-down
  // picture of the coded size first, its last column and row repeated.
  std::vector<std::uint8_t> padded_;
};

}  // namespace host

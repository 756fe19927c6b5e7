// Decodes the input's video stream into the host's 32-bit bottom-up bitmaps
// (0x00RRGGBB words, bottom line first), converting colours with swscale.
//
// Colours: the stream's matrix and range are honoured (unspecified matrices:
// BT.709 from 720 lines up, else BT.601; unspecified range: limited); the
// bitmap holds full-range RGB, scaled to the bitmap's size when the stream's
// pictures differ from the size its header announced. A stream whose picture
// size changes in the middle is refused: motion cannot be measured between
// pictures of different sizes, and the output has one size.
//
// Corrupt data: packets the decoder rejects and pictures it flags as corrupt
// are skipped and counted, never handed on.
//
// Thread-safety: one thread.
#pragma once

#include <cstdint>

#include "host/av_handles.h"
#include "plugin/filter_interface.h"

namespace host {

class CVideoDecoder {
 public:
  // Throws CHostError (runtime) when FFmpeg has no decoder for the stream.
  explicit CVideoDecoder(const AVStream& stream);

  // A packet of the video stream; null starts draining at the end.
  void send(const AVPacket* packet);
  // Converts the next decoded picture into `bitmap` (its w, h, pitch and
  // data describe the target) and gives its time in the stream's time base
  // (AV_NOPTS_VALUE when unknown). False when no picture is ready. Throws
  // CHostError (runtime) when the picture size differs from the first one's.
  bool receive(const VFBitmap& bitmap, std::int64_t* pts);

  int corruptFrames() const { return corruptFrames_; }

 private:
  bool convert(const AVFrame& frame, const VFBitmap& bitmap);

  AvCodecContext codec_;
  AvFrame frame_;
  AvScaleContext scaler_;
  AVColorSpace streamSpace_;
  AVColorRange streamRange_;
  int corruptFrames_ = 0;
  long long pictures_ = 0;
  int firstWidth_ = 0, firstHeight_ = 0;
};

}  // namespace host

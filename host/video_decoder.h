// Decodes the input's video stream into pictures for host/picture_conversion.h.
//
// A stream whose picture size changes in the middle is refused: motion
// cannot be measured between pictures of different sizes, and the output has
// one size.
//
// Corrupt data: packets the decoder rejects and pictures it flags as corrupt
// are skipped and counted, never handed on.
//
// Thread-safety: one thread.
#pragma once

#include <cstdint>

#include "host/av_handles.h"

namespace host {

class CVideoDecoder {
 public:
  // Throws CHostError (runtime) when FFmpeg has no decoder for the stream.
  explicit CVideoDecoder(const AVStream& stream);

  // A packet of the video stream; null starts draining at the end.
  void send(const AVPacket* packet);
  // Gives the next decoded picture (a reference to the decoder's, in the
  // unreferenced `picture`) and its time in the stream's time base
  // (AV_NOPTS_VALUE when unknown). False when no picture is ready. Throws
  // CHostError (runtime) when the picture size differs from the first one's.
  bool receive(AVFrame* picture, std::int64_t* pts);

  int corruptFrames() const { return corruptFrames_; }

 private:
  AvCodecContext codec_;
  int corruptFrames_ = 0;
  long long pictures_ = 0;
  int firstWidth_ = 0, firstHeight_ = 0;
};

}  // namespace host

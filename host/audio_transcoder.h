// Re-encodes one audio stream of the input for an output container that
// cannot hold its codec: decode, resample to what the encoder takes, cut
// into the encoder's frame size, encode, and hand the packets to the muxer.
//
// Timing: the output samples continue from the time of the first decoded
// input sample, so the track starts where the input's did and stays in sync
// with the video, which keeps the input's timestamps.
//
// Thread-safety: one thread.
#pragma once

#include <cstdint>

#include "host/av_handles.h"

namespace host {

class CAudioTranscoder {
 public:
  // Adds the output stream to `output` (before its header is written).
  // Throws CHostError (runtime) when FFmpeg lacks the decoder or encoder.
  CAudioTranscoder(const AVStream& input, AVFormatContext& output, AVCodecID codecId);

  // A packet of the input stream (its time base); corrupt packets are skipped.
  void write(const AVPacket& packet);
  // Drains decoder, resampler and encoder into the muxer.
  void finish();

 private:
  void convertAndQueue(const AVFrame* frame);
  void encodeQueued(bool flushAll);
  void encodeFrame(const AVFrame* frame);
  void receiveDecoded();

  AVFormatContext& output_;
  AVStream* stream_ = nullptr;
  AVRational inputTimeBase_;
  AvCodecContext decoder_;
  AvCodecContext encoder_;
  AvResampleContext resampler_;
  AvAudioFifo fifo_;
  AvFrame decoded_;
  AvFrame converted_;
  AvPacket packet_;
  std::int64_t nextPts_ = AV_NOPTS_VALUE;
  int frameSize_ = 1024;
};

// Writes a packet to the muxer, turning failure into CHostError (runtime).
void writeMuxedPacket(AVFormatContext& output, AVPacket* packet);

}  // namespace host

// The input file: FFmpeg's demuxer over any format it reads, the video
// stream the host processes, and the packets of every stream in file order.
//
// Thread-safety: one thread. Times are in the video stream's time base unless
// a name says otherwise.
#pragma once

#include <string>

#include "host/av_handles.h"

namespace host {

class CMediaInput {
 public:
  // Opens `path` and picks its main video stream. Throws CHostError
  // (runtime) naming the path when it cannot be opened or has no video
  // (an attached picture such as cover art is no video).
  explicit CMediaInput(const std::string& path);

  AVFormatContext& context() const { return *context_; }
  int videoStreamIndex() const { return videoStream_; }
  // Video streams other than attached pictures (cover art).
  int videoStreamCount() const;
  const AVStream& videoStream() const { return *context_->streams[videoStream_]; }
  // Frames per second: the stream's average rate, else its base rate, else 25.
  AVRational frameRate() const { return frameRate_; }
  // Frame count from the container, else from duration and rate; 0 when
  // neither is known. Only an estimate for progress.
  long long estimatedFrameCount() const;
  // The container states the frame count (else it is guessed from the duration).
  bool frameCountIsExact() const { return videoStream().nb_frames > 0; }

  // The next packet of any stream; false at the end of the file. A read
  // error in the middle is taken as the end and counted.
  bool readPacket(AVPacket* packet);
  int readErrors() const { return readErrors_; }

 private:
  AvInputFormat context_;
  int videoStream_ = -1;
  AVRational frameRate_{25, 1};
  int readErrors_ = 0;
};

}  // namespace host

#include "host/media_input.h"

#include <cmath>

#include "host/host_error.h"

namespace host {

CMediaInput::CMediaInput(const std::string& path) {
  AVFormatContext* raw = nullptr;
  int error = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
  if (error < 0) failRuntime("cannot open input " + path + ": " + avErrorText(error));
  context_.reset(raw);
  error = avformat_find_stream_info(context_.get(), nullptr);
  if (error < 0) failRuntime("cannot read input " + path + ": " + avErrorText(error));
  videoStream_ = av_find_best_stream(context_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (videoStream_ < 0 ||
      (context_->streams[videoStream_]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    failRuntime("input " + path + " has no video stream");
  }
  const AVStream& stream = videoStream();
  if (stream.codecpar->width < 1 || stream.codecpar->height < 1) {
    failRuntime("input " + path + ": the video stream has no frame size");
  }
  if (stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0) {
    frameRate_ = stream.avg_frame_rate;
  } else if (stream.r_frame_rate.num > 0 && stream.r_frame_rate.den > 0) {
    frameRate_ = stream.r_frame_rate;
  }
}

int CMediaInput::videoStreamCount() const {
  int count = 0;
  for (unsigned i = 0; i < context_->nb_streams; ++i) {
    const AVStream& stream = *context_->streams[i];
    if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      ++count;
    }
  }
  return count;
}

long long CMediaInput::estimatedFrameCount() const {
  const AVStream& stream = videoStream();
  if (stream.nb_frames > 0) return stream.nb_frames;
  double seconds = 0;
  if (stream.duration > 0 && stream.duration != AV_NOPTS_VALUE) {
    seconds = static_cast<double>(stream.duration) * av_q2d(stream.time_base);
  } else if (context_->duration > 0 && context_->duration != AV_NOPTS_VALUE) {
    seconds = static_cast<double>(context_->duration) / AV_TIME_BASE;
  }
  return std::llround(seconds * av_q2d(frameRate_));
}

bool CMediaInput::readPacket(AVPacket* packet) {
  const int error = av_read_frame(context_.get(), packet);
  if (error >= 0) return true;
  if (error != AVERROR_EOF) ++readErrors_;
  return false;
}

}  // namespace host

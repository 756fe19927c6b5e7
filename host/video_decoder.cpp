#include "host/video_decoder.h"

#include <string>

#include "host/host_error.h"

namespace host {
CVideoDecoder::CVideoDecoder(const AVStream& stream) {
  const AVCodec* decoder = avcodec_find_decoder(stream.codecpar->codec_id);
  if (decoder == nullptr) {
    failRuntime(std::string("FFmpeg has no decoder for the video codec ") +
                avcodec_get_name(stream.codecpar->codec_id));
  }
  codec_.reset(avcodec_alloc_context3(decoder));
  if (!codec_) throw std::bad_alloc();
  int error = avcodec_parameters_to_context(codec_.get(), stream.codecpar);
  if (error >= 0) {
    codec_->pkt_timebase = stream.time_base;
    codec_->thread_count = 0;  // as many as the machine has
    error = avcodec_open2(codec_.get(), decoder, nullptr);
  }
  if (error < 0) failRuntime("cannot open the video decoder: " + avErrorText(error));
}

void CVideoDecoder::send(const AVPacket* packet) {
  const int error = avcodec_send_packet(codec_.get(), packet);
  if (error < 0 && error != AVERROR_EOF && error != AVERROR(EAGAIN)) ++corruptFrames_;
}

bool CVideoDecoder::receive(AVFrame* picture, std::int64_t* pts) {
  // A decoder reports each broken picture once, so this ends.
  while (true) {
    const int error = avcodec_receive_frame(codec_.get(), picture);
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return false;
    if (error < 0) {
      ++corruptFrames_;
      continue;
    }
    const bool corrupt =
        (picture->flags & AV_FRAME_FLAG_CORRUPT) || picture->decode_error_flags != 0;
    if (!corrupt && pictures_ == 0) {
      firstWidth_ = picture->width;
      firstHeight_ = picture->height;
    }
    if (!corrupt && (picture->width != firstWidth_ || picture->height != firstHeight_)) {
      failRuntime("the video changes its picture size from " + std::to_string(firstWidth_) + "x" +
                  std::to_string(firstHeight_) + " to " + std::to_string(picture->width) + "x" +
                  std::to_string(picture->height) + " at frame " + std::to_string(pictures_) +
                  ": the stabiliser needs one size throughout (cut the clip there)");
    }
    // Without a size or format there is nothing to convert.
    if (corrupt || picture->width < 1 || picture->height < 1 ||
        picture->format == AV_PIX_FMT_NONE) {
      ++corruptFrames_;
      av_frame_unref(picture);
      continue;
    }
    *pts = picture->best_effort_timestamp;
    ++pictures_;
    return true;
  }
}

}  // namespace host

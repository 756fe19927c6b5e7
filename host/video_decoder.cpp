#include "host/video_decoder.h"

#include <string>

#include "host/host_error.h"

namespace host {
namespace {

bool isFullRangeFormat(AVPixelFormat format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
         format == AV_PIX_FMT_YUVJ411P;
}

}  // namespace

CVideoDecoder::CVideoDecoder(const AVStream& stream)
    : frame_(allocateFrame()),
      streamSpace_(stream.codecpar->color_space),
      streamRange_(stream.codecpar->color_range) {
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

bool CVideoDecoder::receive(const VFBitmap& bitmap, std::int64_t* pts) {
  // A decoder reports each broken picture once, so this ends.
  while (true) {
    const int error = avcodec_receive_frame(codec_.get(), frame_.get());
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return false;
    if (error < 0) {
      ++corruptFrames_;
      continue;
    }
    const bool corrupt = (frame_->flags & AV_FRAME_FLAG_CORRUPT) || frame_->decode_error_flags != 0;
    if (!corrupt && pictures_ == 0) {
      firstWidth_ = frame_->width;
      firstHeight_ = frame_->height;
    }
    if (!corrupt && (frame_->width != firstWidth_ || frame_->height != firstHeight_)) {
      failRuntime("the video changes its picture size from " + std::to_string(firstWidth_) + "x" +
                  std::to_string(firstHeight_) + " to " + std::to_string(frame_->width) + "x" +
                  std::to_string(frame_->height) + " at frame " + std::to_string(pictures_) +
                  ": the stabiliser needs one size throughout (cut the clip there)");
    }
    if (corrupt || !convert(*frame_, bitmap)) {
      ++corruptFrames_;
      av_frame_unref(frame_.get());
      continue;
    }
    *pts = frame_->best_effort_timestamp;
    av_frame_unref(frame_.get());
    ++pictures_;
    return true;
  }
}

bool CVideoDecoder::convert(const AVFrame& frame, const VFBitmap& bitmap) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  if (frame.width < 1 || frame.height < 1 || format == AV_PIX_FMT_NONE) return false;
  scaler_.reset(
      sws_getCachedContext(scaler_.release(), frame.width, frame.height, format,
                           static_cast<int>(bitmap.w), static_cast<int>(bitmap.h), AV_PIX_FMT_BGR0,
                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP,
                           nullptr, nullptr, nullptr));
  if (!scaler_) return false;

  const AVColorSpace space =
      frame.colorspace != AVCOL_SPC_UNSPECIFIED ? frame.colorspace : streamSpace_;
  const AVColorRange range =
      frame.color_range != AVCOL_RANGE_UNSPECIFIED ? frame.color_range : streamRange_;
  const int fullRange = (range == AVCOL_RANGE_JPEG || isFullRangeFormat(format)) ? 1 : 0;
  // Fails harmlessly for RGB sources, which have no matrix.
  sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(swsColorMatrix(space, frame.height)),
                           fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);

  // Writing the top picture line into the last stored row, upwards, gives
  // the bottom-up layout in one pass.
  std::uint8_t* lastRow =
      reinterpret_cast<std::uint8_t*>(bitmap.data) + (bitmap.h - 1) * bitmap.pitch;
  std::uint8_t* const planes[4] = {lastRow, nullptr, nullptr, nullptr};
  const int strides[4] = {-static_cast<int>(bitmap.pitch), 0, 0, 0};
  return sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) ==
         static_cast<int>(bitmap.h);
}

}  // namespace host

// Ownership of FFmpeg's C handles: each lives in a unique_ptr whose deleter
// is the library's own release function, so no path out of a function leaks
// a codec, a frame or an open file.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace host {

struct RInputFormatDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output context also closes its file when it has one.
struct ROutputFormatDeleter {
  void operator()(AVFormatContext* context) const {
    if (context == nullptr) return;
    if (context->oformat != nullptr && !(context->oformat->flags & AVFMT_NOFILE)) {
      avio_closep(&context->pb);
    }
    avformat_free_context(context);
  }
};
struct RCodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct RFrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct RPacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct RScaleContextDeleter {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct RResampleContextDeleter {
  void operator()(SwrContext* context) const { swr_free(&context); }
};
struct RAudioFifoDeleter {
  void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct RAvFreeDeleter {
  void operator()(void* memory) const { av_free(memory); }
};

using AvInputFormat = std::unique_ptr<AVFormatContext, RInputFormatDeleter>;
using AvOutputFormat = std::unique_ptr<AVFormatContext, ROutputFormatDeleter>;
using AvCodecContext = std::unique_ptr<AVCodecContext, RCodecContextDeleter>;
using AvFrame = std::unique_ptr<AVFrame, RFrameDeleter>;
using AvPacket = std::unique_ptr<AVPacket, RPacketDeleter>;
using AvScaleContext = std::unique_ptr<SwsContext, RScaleContextDeleter>;
using AvResampleContext = std::unique_ptr<SwrContext, RResampleContextDeleter>;
using AvAudioFifo = std::unique_ptr<AVAudioFifo, RAudioFifoDeleter>;
using AvBuffer = std::unique_ptr<std::uint8_t, RAvFreeDeleter>;

// Allocation that throws a runtime failure instead of returning null.
AvFrame allocateFrame();
AvPacket allocatePacket();
// Zeroed, 64-byte aligned pixel memory.
AvBuffer allocateBuffer(std::size_t size);

// FFmpeg's text for an error code.
std::string avErrorText(int error);

// The colour matrix of swscale for a stream's colour space; unspecified
// matrices follow what players assume: BT.709 from 720 lines up, else BT.601.
int swsColorMatrix(AVColorSpace space, int height);

}  // namespace host

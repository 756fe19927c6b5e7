#include "tests/host/test_media.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <memory>
#include <numbers>

#include "host/av_handles.h"

namespace host_test {
namespace {

// The host's own owners of FFmpeg handles.
using Output = host::AvOutputFormat;
using Input = host::AvInputFormat;
using Codec = host::AvCodecContext;
using Frame = host::AvFrame;
using Packet = host::AvPacket;

constexpr int kBand = 16;

// Draws clip frame i into a top-down RGB24 picture.
void drawClipFrame(std::vector<std::uint8_t>& rgb, int width, int height, int frame) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &rgb[(y * width + x) * 3];
      if (y < kBand) {
        const std::uint8_t v = ((frame >> (x / kBand)) & 1) ? 255 : 0;
        p[0] = p[1] = p[2] = v;
      } else {
        p[0] = static_cast<std::uint8_t>(60 + (x + frame * 3) % 120);
        p[1] = static_cast<std::uint8_t>(60 + (y * 2) % 120);
        p[2] = static_cast<std::uint8_t>(90 + ((x / 8 + y / 8) % 2) * 60);
      }
    }
  }
}

class CClipWriter {
 public:
  explicit CClipWriter(const RClipRecipe& recipe) : recipe_(recipe) {}

  bool write() {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, nullptr, recipe_.path.c_str()) < 0)
      return false;
    output_.reset(raw);
    if (recipe_.video && !openVideo(recipe_.width, recipe_.height)) return false;
    if (recipe_.audio != ClipAudio::kNone && !openAudio()) return false;
    if (avio_open(&output_->pb, recipe_.path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(output_.get(), nullptr) < 0) return false;

    const int samplesPerFrame = kAudioRate * recipe_.rate.den / recipe_.rate.num;
    const int totalSamples = samplesPerFrame * recipe_.frames;
    int audioWritten = 0;
    for (int i = 0; i < recipe_.frames; ++i) {
      if (recipe_.video && !writeVideoFrame(i)) return false;
      // Audio up to the end of this frame keeps the file interleaved.
      while (audio_ && audioWritten < std::min(totalSamples, (i + 1) * samplesPerFrame)) {
        const int count = std::min(audioFrameSize_, totalSamples - audioWritten);
        if (!writeAudioFrame(audioWritten, count, samplesPerFrame)) return false;
        audioWritten += count;
      }
    }
    if (video_ && !encode(video_.get(), videoStream_, nullptr, -1)) return false;
    if (audio_ && !encode(audio_.get(), audioStream_, nullptr, -1)) return false;
    return av_write_trailer(output_.get()) >= 0;
  }

 private:
  bool openVideo(int width, int height) {
    const AVCodec* codec = recipe_.mjpeg ? avcodec_find_encoder(AV_CODEC_ID_MJPEG)
                                         : avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return false;
    video_.reset(avcodec_alloc_context3(codec));
    video_->width = width;
    video_->height = height;
    video_->pix_fmt = recipe_.mjpeg ? AV_PIX_FMT_YUVJ420P : av_get_pix_fmt(recipe_.pixelFormat);
    video_->sample_aspect_ratio = recipe_.sampleAspect;
    video_->time_base = av_inv_q(recipe_.rate);
    video_->framerate = recipe_.rate;
    video_->color_range = recipe_.mjpeg ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    video_->colorspace = AVCOL_SPC_BT709;
    video_->color_primaries = AVCOL_PRI_BT709;
    video_->color_trc = AVCOL_TRC_BT709;
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    if (!recipe_.mjpeg) {
      av_dict_set(&options, "preset", "veryfast", 0);
      av_dict_set(&options, "crf", "12", 0);
    } else {
      video_->flags |= AV_CODEC_FLAG_QSCALE;
      video_->global_quality = FF_QP2LAMBDA * 3;
    }
    const int error = avcodec_open2(video_.get(), codec, &options);
    av_dict_free(&options);
    if (error < 0) return false;
    // A second stream carries the same packets.
    for (AVStream** stream : {&videoStream_, &secondVideoStream_}) {
      if (*stream != nullptr || (stream == &secondVideoStream_ && !recipe_.secondVideoStream)) {
        continue;
      }
      *stream = avformat_new_stream(output_.get(), nullptr);
      avcodec_parameters_from_context((*stream)->codecpar, video_.get());
      (*stream)->time_base = video_->time_base;
      (*stream)->avg_frame_rate = recipe_.rate;
      (*stream)->sample_aspect_ratio = recipe_.sampleAspect;
    }
    picture_.reset(av_frame_alloc());
    picture_->format = video_->pix_fmt;
    picture_->width = width;
    picture_->height = height;
    av_frame_get_buffer(picture_.get(), 0);
    scaler_.reset(sws_getContext(recipe_.width, recipe_.height, AV_PIX_FMT_RGB24, width, height,
                                 video_->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr));
    sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(SWS_CS_ITU709), recipe_.mjpeg ? 1 : 0, 0, 1 << 16,
                             1 << 16);
    rgb_.resize(static_cast<std::size_t>(recipe_.width * recipe_.height * 3 + 64));
    return scaler_ != nullptr;
  }

  bool openAudio() {
    const bool aac = recipe_.audio == ClipAudio::kAac;
    const AVCodec* codec =
        recipe_.audio == ClipAudio::kFlac ? avcodec_find_encoder(AV_CODEC_ID_FLAC)
        : recipe_.audio == ClipAudio::kOpus
            ? avcodec_find_encoder_by_name("libopus")
            : avcodec_find_encoder(aac ? AV_CODEC_ID_AAC : AV_CODEC_ID_PCM_S16LE);
    if (codec == nullptr) return false;
    audio_.reset(avcodec_alloc_context3(codec));
    audio_->sample_rate = kAudioRate;
    audio_->sample_fmt = aac ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&audio_->ch_layout, 1);
    audio_->bit_rate = 128000;
    audio_->time_base = AVRational{1, kAudioRate};
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(audio_.get(), codec, nullptr) < 0) return false;
    audioFrameSize_ = audio_->frame_size > 0 ? audio_->frame_size : 1024;
    audioStream_ = avformat_new_stream(output_.get(), nullptr);
    avcodec_parameters_from_context(audioStream_->codecpar, audio_.get());
    audioStream_->time_base = audio_->time_base;
    return true;
  }

  bool writeVideoFrame(int i) {
    if (i == recipe_.resizeAtFrame) {
      // MJPEG pictures carry their own size: the stream goes on at half size.
      if (!encode(video_.get(), videoStream_, nullptr, -1)) return false;
      if (!openVideo(recipe_.width / 2, recipe_.height / 2)) return false;
    }
    drawClipFrame(rgb_, recipe_.width, recipe_.height, i);
    av_frame_make_writable(picture_.get());
    const std::uint8_t* planes[1] = {rgb_.data()};
    const int strides[1] = {recipe_.width * 3};
    sws_scale(scaler_.get(), planes, strides, 0, recipe_.height, picture_->data,
              picture_->linesize);
    picture_->pts = i;
    return encode(video_.get(), videoStream_, picture_.get(), i);
  }

  bool writeAudioFrame(int first, int count, int samplesPerFrame) {
    Frame frame(av_frame_alloc());
    frame->nb_samples = count;
    frame->format = audio_->sample_fmt;
    frame->sample_rate = kAudioRate;
    av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout);
    av_frame_get_buffer(frame.get(), 0);
    for (int s = 0; s < count; ++s) {
      const int n = first + s;
      const double value = toneAmplitude(n / samplesPerFrame) *
                           std::sin(2 * std::numbers::pi * 1000.0 * n / kAudioRate);
      if (audio_->sample_fmt == AV_SAMPLE_FMT_FLTP) {
        reinterpret_cast<float*>(frame->data[0])[s] = static_cast<float>(value);
      } else {
        reinterpret_cast<std::int16_t*>(frame->data[0])[s] =
            static_cast<std::int16_t>(std::lround(value * 32767));
      }
    }
    frame->pts = first;
    return encode(audio_.get(), audioStream_, frame.get(), -1);
  }

  bool encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame, int frameIndex) {
    if (avcodec_send_frame(codec, frame) < 0) return false;
    Packet packet(av_packet_alloc());
    while (avcodec_receive_packet(codec, packet.get()) >= 0) {
      if (codec == video_.get() && recipe_.corruptFrame >= 0 &&
          packet->pts == recipe_.corruptFrame) {
        for (int b = 0; b < packet->size; ++b) packet->data[b] = static_cast<std::uint8_t>(b * 7);
      }
      av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (stream == videoStream_ && secondVideoStream_ != nullptr) {
        Packet copy(av_packet_clone(packet.get()));
        copy->stream_index = secondVideoStream_->index;
        if (av_interleaved_write_frame(output_.get(), copy.get()) < 0) return false;
      }
      if (av_interleaved_write_frame(output_.get(), packet.get()) < 0) return false;
    }
    (void)frameIndex;
    return true;
  }

  const RClipRecipe& recipe_;
  Output output_;
  Codec video_;
  Codec audio_;
  AVStream* videoStream_ = nullptr;
  AVStream* secondVideoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  Frame picture_;
  host::AvScaleContext scaler_;
  std::vector<std::uint8_t> rgb_;
  int audioFrameSize_ = 1024;
};

Codec openDecoder(const AVStream& stream) {
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  Codec context(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(context.get(), stream.codecpar);
  context->pkt_timebase = stream.time_base;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

int readBand(const std::vector<std::uint8_t>& rgb, int stride, int width, int height, int band) {
  int value = 0;
  const int y = band * kBand + kBand / 2;
  if (y >= height) return -1;
  for (int bit = 0; bit < width / kBand && bit < 30; ++bit) {
    const std::uint8_t* p = &rgb[y * stride + (bit * kBand + kBand / 2) * 3];
    if (p[1] > 128) value |= 1 << bit;
  }
  return value;
}

}  // namespace

void writeClip(const RClipRecipe& recipe) {
  CClipWriter writer(recipe);
  if (!writer.write()) ADD_FAILURE() << "could not write the test clip " << recipe.path;
}

RVideoFrames readVideo(const std::string& path, const PictureVisitor& visit) {
  RVideoFrames result;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    ADD_FAILURE() << "cannot open " << path;
    return result;
  }
  Input input(raw);
  avformat_find_stream_info(input.get(), nullptr);
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return result;
  const AVStream& stream = *input->streams[index];
  Codec decoder = openDecoder(stream);
  if (!decoder) return result;
  result.width = stream.codecpar->width;
  result.height = stream.codecpar->height;
  result.codec = avcodec_get_name(stream.codecpar->codec_id);
  const char* format = av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream.codecpar->format));
  result.pixelFormat = format != nullptr ? format : "";
  result.sampleAspect = stream.sample_aspect_ratio;
  // swscale writes whole vectors, so rows get room beyond the pixels.
  const int stride = (result.width * 3 + 63) / 64 * 64;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(stride * (result.height + 1)));
  host::AvScaleContext scaler;
  Frame frame(av_frame_alloc());
  Packet packet(av_packet_alloc());
  auto receive = [&]() {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      scaler.reset(sws_getCachedContext(
          scaler.release(), frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
          result.width, result.height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr));
      std::uint8_t* planes[1] = {rgb.data()};
      const int strides[1] = {stride};
      sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
      if (visit) visit(rgb.data(), stride, result.width, result.height);
      result.times.push_back(static_cast<double>(frame->best_effort_timestamp) *
                             av_q2d(stream.time_base));
      result.clipStamps.push_back(readBand(rgb, stride, result.width, result.height, 0));
      result.filterStamps.push_back(readBand(rgb, stride, result.width, result.height, 1));
      const int y = 40;
      const int x = 8;
      std::uint32_t color = 0;
      if (y < result.height && x < result.width) {
        const std::uint8_t* p = &rgb[y * stride + x * 3];
        color = (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
      }
      result.markColors.push_back(color);
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index) {
      avcodec_send_packet(decoder.get(), packet.get());
      receive();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  receive();
  return result;
}

RAudioTrack readAudio(const std::string& path) {
  RAudioTrack track;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return track;
  Input input(raw);
  avformat_find_stream_info(input.get(), nullptr);
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return track;
  const AVStream& stream = *input->streams[index];
  Codec decoder = openDecoder(stream);
  if (!decoder) return track;
  track.present = true;
  track.codec = avcodec_get_name(stream.codecpar->codec_id);
  host::AvResampleContext resampler;
  Frame frame(av_frame_alloc());
  Packet packet(av_packet_alloc());
  bool first = true;
  auto receive = [&]() {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      if (first) {
        first = false;
        track.start = static_cast<double>(frame->best_effort_timestamp) * av_q2d(stream.time_base);
        AVChannelLayout mono;
        av_channel_layout_default(&mono, 1);
        SwrContext* swr = nullptr;
        swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLT, kAudioRate, &frame->ch_layout,
                            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                            nullptr);
        resampler.reset(swr);
        swr_init(resampler.get());
      }
      std::vector<float> out(static_cast<std::size_t>(frame->nb_samples) * 2 + 64);
      std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(out.data())};
      const int got =
          swr_convert(resampler.get(), planes, static_cast<int>(out.size()),
                      const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
      if (got > 0) track.samples.insert(track.samples.end(), out.begin(), out.begin() + got);
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index) {
      avcodec_send_packet(decoder.get(), packet.get());
      receive();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  receive();
  return track;
}

int toneFrameAt(const RAudioTrack& track, double from, double to) {
  const long begin = std::lround((from - track.start) * kAudioRate);
  const long end = std::lround((to - track.start) * kAudioRate);
  if (begin < 0 || end > static_cast<long>(track.samples.size()) || end <= begin) return -1;
  double sum = 0;
  for (long s = begin; s < end; ++s) sum += double(track.samples[s]) * track.samples[s];
  const double amplitude = std::sqrt(sum / static_cast<double>(end - begin)) * std::numbers::sqrt2;
  return static_cast<int>(std::lround((amplitude - 0.1) / 0.08));
}

}  // namespace host_test

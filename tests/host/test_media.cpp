#include "tests/host/test_media.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/av_handles.h"
#include "platform/file_io.h"

namespace host_test {
namespace {

// The host's own owners of FFmpeg handles.
using Codec = host::AvCodecContext;
using Frame = host::AvFrame;
using Packet = host::AvPacket;

constexpr int kBand = 16;
constexpr int kAudioRate = 48000;
constexpr AVRational kFrameRate{25, 1};
constexpr int kSamplesPerFrame = kAudioRate / 25;

// Draws clip frame i into a top-down RGB24 picture: the stamp above a
// gray ramp that moves with the frames.
void drawClipFrame(std::vector<std::uint8_t>& rgb, int width, int height, int frame) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool bit = (frame >> (x / kBand)) & 1;
      const int gray = y < kBand ? (bit ? 255 : 0) : 60 + (x + 2 * y + 3 * frame) % 120;
      std::fill_n(&rgb[(y * width + x) * 3], 3, static_cast<std::uint8_t>(gray));
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

    const int totalSamples = kSamplesPerFrame * recipe_.frames;
    int audioWritten = 0;
    for (int i = 0; i < recipe_.frames; ++i) {
      if (recipe_.video && !writeVideoFrame(i)) return false;
      // Audio up to the end of this frame keeps the file interleaved.
      while (audio_ && audioWritten < (i + 1) * kSamplesPerFrame) {
        const int count = std::min(audioFrameSize_, totalSamples - audioWritten);
        if (!writeAudioFrame(audioWritten, count)) return false;
        audioWritten += count;
      }
    }
    if (video_ && !encode(video_.get(), videoStream_, nullptr)) return false;
    if (audio_ && !encode(audio_.get(), audioStream_, nullptr)) return false;
    return av_write_trailer(output_.get()) >= 0;
  }

 private:
  AVStream* newStream(const AVCodecContext& codec) {
    AVStream* stream = avformat_new_stream(output_.get(), nullptr);
    avcodec_parameters_from_context(stream->codecpar, &codec);
    stream->time_base = codec.time_base;
    stream->avg_frame_rate = codec.framerate;
    return stream;
  }

  bool openVideo(int width, int height) {
    const bool mjpeg = recipe_.mjpeg;
    const AVCodec* codec =
        mjpeg ? avcodec_find_encoder(AV_CODEC_ID_MJPEG) : avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return false;
    video_.reset(avcodec_alloc_context3(codec));
    video_->width = width;
    video_->height = height;
    video_->pix_fmt = mjpeg ? AV_PIX_FMT_YUVJ420P : av_get_pix_fmt(recipe_.pixelFormat);
    video_->time_base = av_inv_q(kFrameRate);
    video_->framerate = kFrameRate;
    video_->color_range = mjpeg ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    if (mjpeg) {
      video_->flags |= AV_CODEC_FLAG_QSCALE;
      video_->global_quality = FF_QP2LAMBDA * 3;
    } else {
      av_dict_set(&options, "preset", "veryfast", 0);
      av_dict_set(&options, "crf", "12", 0);
    }
    const int error = avcodec_open2(video_.get(), codec, &options);
    av_dict_free(&options);
    if (error < 0) return false;
    // At the change of size the streams stay; a second one carries the same packets.
    if (videoStream_ == nullptr) videoStream_ = newStream(*video_);
    if (secondVideoStream_ == nullptr && recipe_.secondVideoStream) {
      secondVideoStream_ = newStream(*video_);
    }
    picture_.reset(av_frame_alloc());
    picture_->format = video_->pix_fmt;
    picture_->width = width;
    picture_->height = height;
    av_frame_get_buffer(picture_.get(), 0);
    scaler_.reset(sws_getContext(recipe_.width, recipe_.height, AV_PIX_FMT_RGB24, width, height,
                                 video_->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr));
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
    audioStream_ = newStream(*audio_);
    return true;
  }

  bool writeVideoFrame(int i) {
    if (i == recipe_.resizeAtFrame) {
      // MJPEG pictures carry their own size: the stream goes on at half size.
      if (!encode(video_.get(), videoStream_, nullptr)) return false;
      if (!openVideo(recipe_.width / 2, recipe_.height / 2)) return false;
    }
    drawClipFrame(rgb_, recipe_.width, recipe_.height, i);
    av_frame_make_writable(picture_.get());
    const std::uint8_t* planes[1] = {rgb_.data()};
    const int strides[1] = {recipe_.width * 3};
    sws_scale(scaler_.get(), planes, strides, 0, recipe_.height, picture_->data,
              picture_->linesize);
    picture_->pts = i;
    return encode(video_.get(), videoStream_, picture_.get());
  }

  bool writeAudioFrame(int first, int count) {
    Frame frame(av_frame_alloc());
    frame->nb_samples = count;
    frame->format = audio_->sample_fmt;
    frame->sample_rate = kAudioRate;
    av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout);
    av_frame_get_buffer(frame.get(), 0);
    for (int s = 0; s < count; ++s) {
      const int n = first + s;
      const double amplitude = 0.1 + 0.08 * (n / kSamplesPerFrame % 10);
      const double value = amplitude * std::sin(2 * std::numbers::pi * 1000.0 * n / kAudioRate);
      if (audio_->sample_fmt == AV_SAMPLE_FMT_FLTP) {
        reinterpret_cast<float*>(frame->data[0])[s] = static_cast<float>(value);
      } else {
        reinterpret_cast<std::int16_t*>(frame->data[0])[s] =
            static_cast<std::int16_t>(std::lround(value * 32767));
      }
    }
    frame->pts = first;
    return encode(audio_.get(), audioStream_, frame.get());
  }

  bool encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    if (avcodec_send_frame(codec, frame) < 0) return false;
    Packet packet(av_packet_alloc());
    while (avcodec_receive_packet(codec, packet.get()) >= 0) {
      if (codec == video_.get() && packet->pts == recipe_.corruptFrame) {
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
    return true;
  }

  const RClipRecipe& recipe_;
  host::AvOutputFormat output_;
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

// Hands every decoded frame of the file's main stream of `type` to `take`;
// false when there is no such stream to decode.
bool decodeStream(const std::string& path, AVMediaType type,
                  const std::function<void(const AVStream&, AVFrame&)>& take) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return false;
  host::AvInputFormat input(raw);
  avformat_find_stream_info(input.get(), nullptr);
  const int index = av_find_best_stream(input.get(), type, -1, -1, nullptr, 0);
  if (index < 0) return false;
  const AVStream& stream = *input->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  Codec decoder(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(decoder.get(), stream.codecpar);
  decoder->pkt_timebase = stream.time_base;
  if (codec == nullptr || avcodec_open2(decoder.get(), codec, nullptr) < 0) return false;
  Frame frame(av_frame_alloc());
  Packet packet(av_packet_alloc());
  for (bool more = true; more;) {
    more = av_read_frame(input.get(), packet.get()) >= 0;
    if (!more || packet->stream_index == index) {
      avcodec_send_packet(decoder.get(), more ? packet.get() : nullptr);
    }
    av_packet_unref(packet.get());
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      take(stream, *frame);
      av_frame_unref(frame.get());
    }
  }
  return true;
}

int readBand(const std::uint8_t* rgb, int stride, int width, int height, int band) {
  int value = 0;
  const int y = band * kBand + kBand / 2;
  if (y >= height) return -1;
  for (int bit = 0; bit < width / kBand && bit < 30; ++bit) {
    if (rgb[y * stride + (bit * kBand + kBand / 2) * 3 + 1] > 128) value |= 1 << bit;
  }
  return value;
}

}  // namespace

void writeClip(const RClipRecipe& recipe) {
  CClipWriter writer(recipe);
  if (!writer.write()) ADD_FAILURE() << "could not write the test clip " << recipe.path;
}

void writeGeneratedClip(const std::string& path, const qvclip::RClipSettings& settings,
                        qvclip::RY4mFormat format, const FrameStore& store) {
  if (format.width == 0) {
    format.width = settings.width;
    format.height = settings.height;
  }
  const qvclip::CClipGenerator generator(settings);
  qvclip::CY4mWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(path, format, &error)) << error;
  qvclip::RFrame generated, stored{format.width, format.height, {}};
  stored.pixels.resize(static_cast<std::size_t>(format.width) * format.height);
  for (int n = 0; n < settings.frameCount; ++n) {
    generator.renderFrame(n, generated, 2);
    if (store) store(generated, stored);
    ASSERT_TRUE(writer.writeFrame(store ? stored : generated, &error)) << error;
  }
  ASSERT_TRUE(writer.finish(&error)) << error;
}

RVideoFrames readVideo(const std::string& path, const PictureVisitor& visit) {
  RVideoFrames result;
  std::vector<std::uint8_t> rgb;
  int stride = 0;
  host::AvScaleContext scaler;
  const bool decoded =
      decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVStream& stream, AVFrame& frame) {
        if (rgb.empty()) {
          result.width = stream.codecpar->width;
          result.height = stream.codecpar->height;
          const char* format =
              av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream.codecpar->format));
          result.pixelFormat = format != nullptr ? format : "";
          result.sampleAspect = stream.sample_aspect_ratio;
          // swscale writes whole vectors, so rows get room beyond the pixels.
          stride = (result.width * 3 + 63) / 64 * 64;
          rgb.resize(static_cast<std::size_t>(stride * (result.height + 1)));
        }
        // Pictures of another size are scaled to the stream's.
        scaler.reset(sws_getCachedContext(
            scaler.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
            result.width, result.height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr));
        std::uint8_t* planes[1] = {rgb.data()};
        sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, &stride);
        if (visit) visit(rgb.data(), stride, result.width, result.height);
        result.times.push_back(static_cast<double>(frame.best_effort_timestamp) *
                               av_q2d(stream.time_base));
        result.clipStamps.push_back(readBand(rgb.data(), stride, result.width, result.height, 0));
        result.filterStamps.push_back(readBand(rgb.data(), stride, result.width, result.height, 1));
        const bool marked = result.height > 40 && result.width > 8;
        const std::uint8_t* mark = marked ? &rgb[40 * stride + 8 * 3] : nullptr;
        result.markColors.push_back(marked ? (mark[0] << 16) | (mark[1] << 8) | mark[2] : 0);
      });
  if (!decoded) ADD_FAILURE() << "no video to read in " << path;
  return result;
}

RAudioTrack readAudio(const std::string& path) {
  RAudioTrack track;
  host::AvResampleContext resampler;
  track.present =
      decodeStream(path, AVMEDIA_TYPE_AUDIO, [&](const AVStream& stream, AVFrame& frame) {
        if (!resampler) {
          track.codec = avcodec_get_name(stream.codecpar->codec_id);
          track.start = static_cast<double>(frame.best_effort_timestamp) * av_q2d(stream.time_base);
          AVChannelLayout mono;
          av_channel_layout_default(&mono, 1);
          SwrContext* swr = nullptr;
          swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLT, kAudioRate, &frame.ch_layout,
                              static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
                              nullptr);
          resampler.reset(swr);
          swr_init(resampler.get());
        }
        std::vector<float> out(static_cast<std::size_t>(frame.nb_samples) * 2 + 64);
        std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(out.data())};
        const int got =
            swr_convert(resampler.get(), planes, static_cast<int>(out.size()),
                        const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
        if (got > 0) track.samples.insert(track.samples.end(), out.begin(), out.begin() + got);
      });
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

std::string fileText(const std::string& path) {
  std::string text;
  platform::readWholeFile(path, &text);
  return text;
}

std::set<std::string> fileNames(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename());
  }
  return names;
}

}  // namespace host_test

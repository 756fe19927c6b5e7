#include "tests/host/test_media.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "host/av_handles.h"
#include "host/media_input.h"
#include "host/picture_conversion.h"
#include "host/video_decoder.h"
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

// Draws clip frame i into a bottom-up bitmap: the stamp above a gray ramp
// that moves with the frames.
void drawClipFrame(std::vector<Pixel32>& pixels, int width, int height, int frame) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool bit = (frame >> (x / kBand)) & 1;
      const std::uint32_t gray = y < kBand ? (bit ? 255 : 0) : 60 + (x + 2 * y + 3 * frame) % 120;
      pixels[(height - 1 - y) * width + x] = gray * 0x010101;
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
    // The host's own conversion of bitmaps: the clip is drawn as a filter draws.
    converter_.emplace(host::REncoderPictures{width, height, video_->pix_fmt, SWS_CS_ITU601, mjpeg},
                       recipe_.path);
    picture_ = converter_->allocatePicture();
    pixels_.resize(static_cast<std::size_t>(width * height));
    bitmap_.w = width, bitmap_.h = height, bitmap_.pitch = width * 4, bitmap_.data = pixels_.data();
    return true;
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
    drawClipFrame(pixels_, static_cast<int>(bitmap_.w), static_cast<int>(bitmap_.h), i);
    av_frame_make_writable(picture_.get());
    converter_->convert(bitmap_, picture_.get());
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
  std::optional<host::CBitmapToPicture> converter_;
  std::vector<Pixel32> pixels_;
  VFBitmap bitmap_;
  int audioFrameSize_ = 1024;
};

// Every packet of the input's stream `index`, then null for the end.
void forEachPacket(host::CMediaInput& input, int index,
                   const std::function<void(const AVPacket*)>& take) {
  const Packet packet = host::allocatePacket();
  while (input.readPacket(packet.get())) {
    if (packet->stream_index == index) take(packet.get());
    av_packet_unref(packet.get());
  }
  take(nullptr);
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

// Pictures as the host reads them; their times straight from FFmpeg.
RVideoFrames readVideo(const std::string& path, const PictureVisitor& visit) {
  RVideoFrames result;
  host::CMediaInput input(path);
  const AVStream& stream = input.videoStream();
  result.width = stream.codecpar->width;
  result.height = stream.codecpar->height;
  const char* format = av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream.codecpar->format));
  result.pixelFormat = format != nullptr ? format : "";
  result.sampleAspect = stream.sample_aspect_ratio;
  std::vector<Pixel32> pixels(static_cast<std::size_t>(result.width * result.height));
  VFBitmap bitmap;
  bitmap.w = result.width, bitmap.h = result.height, bitmap.pitch = result.width * 4;
  bitmap.data = pixels.data();
  const auto rgbAt = [&](int x, int y) {
    return pixels[(result.height - 1 - y) * result.width + x];
  };
  const auto band = [&](int number) {
    const int y = number * kBand + kBand / 2;
    int value = 0;
    for (int bit = 0; bit < result.width / kBand && bit < 30 && y < result.height; ++bit) {
      if ((rgbAt(bit * kBand + kBand / 2, y) >> 8 & 0xFF) > 128) value |= 1 << bit;
    }
    return y < result.height ? value : -1;
  };
  host::CVideoDecoder decoder(stream);
  host::CPictureToBitmap converter(stream);
  const Frame picture = host::allocateFrame();
  forEachPacket(input, input.videoStreamIndex(), [&](const AVPacket* packet) {
    decoder.send(packet);
    for (std::int64_t pts = 0; decoder.receive(picture.get(), &pts);
         av_frame_unref(picture.get())) {
      EXPECT_TRUE(converter.convert(*picture, bitmap)) << path;
      if (visit) visit(rgbAt, result.width, result.height);
      result.times.push_back(static_cast<double>(picture->best_effort_timestamp) *
                             av_q2d(stream.time_base));
      result.clipStamps.push_back(band(0));
      result.filterStamps.push_back(band(1));
      result.markColors.push_back(result.height > 40 && result.width > 8 ? rgbAt(8, 40) : 0);
    }
  });
  return result;
}

RAudioTrack readAudio(const std::string& path) {
  RAudioTrack track;
  host::CMediaInput input(path);
  const int index = av_find_best_stream(&input.context(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return track;
  track.present = true;
  const AVStream& stream = *input.context().streams[index];
  track.codec = avcodec_get_name(stream.codecpar->codec_id);
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  const Codec decoder(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(decoder.get(), stream.codecpar);
  decoder->pkt_timebase = stream.time_base;
  EXPECT_EQ(avcodec_open2(decoder.get(), codec, nullptr), 0) << path;
  const Frame frame = host::allocateFrame();
  forEachPacket(input, index, [&](const AVPacket* packet) {
    avcodec_send_packet(decoder.get(), packet);
    for (; avcodec_receive_frame(decoder.get(), frame.get()) >= 0; av_frame_unref(frame.get())) {
      if (track.samples.empty()) {
        track.start = static_cast<double>(frame->best_effort_timestamp) * av_q2d(stream.time_base);
      }
      // The clips' tone is mono at 48 kHz, and every codec here keeps it so:
      // 16-bit or float samples, as they come.
      EXPECT_TRUE(frame->sample_rate == kAudioRate && frame->ch_layout.nb_channels == 1) << path;
      const auto format = av_get_packed_sample_fmt(static_cast<AVSampleFormat>(frame->format));
      for (int s = 0; s < frame->nb_samples; ++s) {
        track.samples.push_back(format == AV_SAMPLE_FMT_S16
                                    ? reinterpret_cast<const std::int16_t*>(frame->data[0])[s] /
                                          32768.0f
                                    : reinterpret_cast<const float*>(frame->data[0])[s]);
      }
    }
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

#include "host/media_output.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "host/host_error.h"
#include "host/video_format.h"

namespace host {
namespace {

// Sets an option of the encoder; false when it has none of that name.
bool encoderOption(AVDictionary** settings, const AVCodec& codec, const char* name,
                   const std::string& value) {
  if (codec.priv_class == nullptr) return false;
  const AVClass* privateClass = codec.priv_class;
  if (av_opt_find(&privateClass, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) == nullptr) {
    return false;
  }
  av_dict_set(settings, name, value.c_str(), 0);
  return true;
}

void copyDisplayMatrix(const AVStream& from, AVStream& to) {
  size_t size = 0;
  const std::uint8_t* matrix = av_stream_get_side_data(&from, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (matrix == nullptr || size == 0) return;
  std::uint8_t* copy = av_stream_new_side_data(&to, AV_PKT_DATA_DISPLAYMATRIX, size);
  if (copy != nullptr) std::memcpy(copy, matrix, size);
}

// Whether the container really takes a copy of the stream: FFmpeg's codec
// query says yes to codecs its muxer then refuses when it writes the header
// (FLAC in MP4 is "experimental", FLAC and Opus in MOV have no tag). A
// header written into memory with the one stream tells for certain.
bool muxerTakesCopyOf(const AVOutputFormat* format, const AVStream& stream) {
  if (avformat_query_codec(format, stream.codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
    return false;
  }
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, format, nullptr, nullptr) < 0 || raw == nullptr) {
    return false;
  }
  AvOutputFormat trial(raw);
  AVStream* copy = avformat_new_stream(trial.get(), nullptr);
  if (copy == nullptr || avcodec_parameters_copy(copy->codecpar, stream.codecpar) < 0) {
    return false;
  }
  copy->codecpar->codec_tag = 0;
  copy->time_base = stream.time_base;
  if (avio_open_dyn_buf(&trial->pb) < 0) return false;
  // The trial's own complaints are not the user's business.
  const int level = av_log_get_level();
  av_log_set_level(AV_LOG_QUIET);
  const bool taken = avformat_write_header(trial.get(), nullptr) >= 0;
  av_log_set_level(level);
  std::uint8_t* bytes = nullptr;
  avio_close_dyn_buf(trial->pb, &bytes);
  av_free(bytes);
  trial->pb = nullptr;
  return taken;
}

}  // namespace

RVideoProperties videoPropertiesOf(const AVStream& stream, AVRational frameRate) {
  RVideoProperties properties;
  properties.timeBase = stream.time_base;
  properties.frameRate = frameRate;
  properties.sampleAspect = stream.sample_aspect_ratio.num > 0
                                ? stream.sample_aspect_ratio
                                : stream.codecpar->sample_aspect_ratio;
  properties.range = stream.codecpar->color_range;
  properties.primaries = stream.codecpar->color_primaries;
  properties.transfer = stream.codecpar->color_trc;
  properties.space = stream.codecpar->color_space;
  properties.chromaLocation = stream.codecpar->chroma_location;
  properties.sourceHeight = stream.codecpar->height;
  properties.sourceFormat = static_cast<AVPixelFormat>(stream.codecpar->format);
  // Full-range formats of JPEG-style decoders carry their range in the format.
  const auto format = static_cast<AVPixelFormat>(stream.codecpar->format);
  if (properties.range == AVCOL_RANGE_UNSPECIFIED &&
      (format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
       format == AV_PIX_FMT_YUVJ444P)) {
    properties.range = AVCOL_RANGE_JPEG;
  }
  return properties;
}

CMediaOutput::CMediaOutput(const std::string& writePath, const std::string& namedPath,
                           const REncodingOptions& options)
    : writePath_(writePath),
      namedPath_(namedPath),
      kind_(outputKindFor(namedPath)),
      options_(options),
      packet_(allocatePacket()) {
  AVFormatContext* raw = nullptr;
  const int error =
      avformat_alloc_output_context2(&raw, nullptr, muxerNameFor(namedPath), writePath.c_str());
  if (error < 0 || raw == nullptr) {
    failRuntime("cannot set up the output " + namedPath + ": " + avErrorText(error));
  }
  context_.reset(raw);
  // FFmpeg writes and reads y4m's deeper formats (C422p10 ...), which the
  // format's first readers did not know.
  if (kind_ == OutputKind::kY4m) context_->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
}

CMediaOutput::~CMediaOutput() = default;

std::string CMediaOutput::addVideo(int width, int height, const RVideoProperties& properties,
                                   const AVStream* inputVideo) {
  RVideoFormatRequest request;
  request.kind = kind_;
  request.width = width;
  request.height = height;
  request.inputFormat = properties.sourceFormat;
  request.options = &options_;
  request.outputName = namedPath_;
  const RVideoFormat chosen = chooseVideoFormat(request);
  const AVCodec* codec = chosen.codec;
  const AVPixelFormat format = chosen.format;
  codedWidth_ = chosen.codedWidth;
  codedHeight_ = chosen.codedHeight;

  video_.reset(avcodec_alloc_context3(codec));
  if (!video_) throw std::bad_alloc();
  video_->width = codedWidth_;
  video_->height = codedHeight_;
  video_->pix_fmt = format;
  callerTimeBase_ = properties.timeBase;
  // Containers with real timestamps keep the input's; the others count
  // frames at the input's rate.
  video_->time_base =
      kind_ == OutputKind::kH264File ? properties.timeBase : av_inv_q(properties.frameRate);
  video_->framerate = properties.frameRate;
  if (properties.sampleAspect.num > 0) video_->sample_aspect_ratio = properties.sampleAspect;
  if (kind_ != OutputKind::kPngSequence) {
    video_->color_range = properties.range;
    video_->color_primaries = properties.primaries;
    video_->color_trc = properties.transfer;
    video_->colorspace = properties.space;
    video_->chroma_sample_location = properties.chromaLocation;
  }
  pictures_.width = codedWidth_;
  pictures_.height = codedHeight_;
  pictures_.format = format;
  pictures_.matrix = swsColorMatrix(properties.space, properties.sourceHeight);
  pictures_.fullRange = properties.range == AVCOL_RANGE_JPEG;
  if (context_->oformat->flags & AVFMT_GLOBALHEADER) {
    video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }

  AVDictionary* settings = nullptr;
  if (kind_ == OutputKind::kH264File) {
    // The x264 family's defaults; other encoders keep their own unless asked.
    const std::string name = codec->name;
    const bool x264Family = name == "libx264" || name == "libx265";
    char crf[32];
    std::snprintf(crf, sizeof crf, "%g", options_.crf.value_or(18));
    if ((options_.crf || x264Family) && !encoderOption(&settings, *codec, "crf", crf)) {
      failUsage(std::string("--crf: the ") + codec->name + " encoder has no crf option");
    }
    const std::string preset = options_.preset.empty() ? "medium" : options_.preset;
    if ((!options_.preset.empty() || x264Family) &&
        !encoderOption(&settings, *codec, "preset", preset)) {
      failUsage(std::string("--encoder-preset: the ") + codec->name +
                " encoder has no preset option");
    }
  }
  for (const auto& [name, value] : options_.encoderOptions) {
    av_dict_set(&settings, name.c_str(), value.c_str(), 0);
  }
  const int error = avcodec_open2(video_.get(), codec, &settings);
  // What the encoder did not take is a misspelt or foreign option.
  const AVDictionaryEntry* unused = av_dict_get(settings, "", nullptr, AV_DICT_IGNORE_SUFFIX);
  const std::string unusedName = unused != nullptr ? unused->key : "";
  av_dict_free(&settings);
  if (error < 0) {
    failRuntime(std::string("cannot open the ") + codec->name + " encoder for " +
                std::to_string(codedWidth_) + "x" + std::to_string(codedHeight_) + " " +
                av_get_pix_fmt_name(format) + ": " + avErrorText(error));
  }
  if (!unusedName.empty()) {
    failUsage("--encoder-option " + unusedName + ": the " + codec->name +
              " encoder has no option of that name");
  }

  videoStream_ = avformat_new_stream(context_.get(), nullptr);
  if (videoStream_ == nullptr) throw std::bad_alloc();
  if (avcodec_parameters_from_context(videoStream_->codecpar, video_.get()) < 0) {
    throw std::bad_alloc();
  }
  videoStream_->time_base = video_->time_base;
  videoStream_->avg_frame_rate = properties.frameRate;
  videoStream_->sample_aspect_ratio = video_->sample_aspect_ratio;
  if (inputVideo != nullptr) {
    av_dict_copy(&videoStream_->metadata, inputVideo->metadata, 0);
    videoStream_->disposition = inputVideo->disposition;
    copyDisplayMatrix(*inputVideo, *videoStream_);
  }

  converter_.emplace(pictures_, namedPath_);
  picture_ = converter_->allocatePicture();
  return chosen.note;
}

void CMediaOutput::addStreamsOf(const AVFormatContext& input, int videoStreamIndex,
                                std::ostream& warnings, std::ostream* notes) {
  const unsigned count = input.nb_streams;
  copies_.assign(count, -1);
  inputTimeBases_.assign(count, AVRational{1, 1});
  transcoders_.clear();
  transcoders_.resize(count);
  if (kind_ != OutputKind::kH264File) return;

  const AVOutputFormat* format = context_->oformat;
  for (unsigned i = 0; i < count; ++i) {
    if (static_cast<int>(i) == videoStreamIndex) continue;
    const AVStream& stream = *input.streams[i];
    const AVMediaType type = stream.codecpar->codec_type;
    if (type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE) continue;
    const AVCodecID codec = stream.codecpar->codec_id;
    const char* codecName = avcodec_get_name(codec);
    inputTimeBases_[i] = stream.time_base;
    if (muxerTakesCopyOf(format, stream)) {
      AVStream* copy = avformat_new_stream(context_.get(), nullptr);
      if (copy == nullptr || avcodec_parameters_copy(copy->codecpar, stream.codecpar) < 0) {
        throw std::bad_alloc();
      }
      copy->codecpar->codec_tag = 0;
      copy->time_base = stream.time_base;
      copy->disposition = stream.disposition;
      av_dict_copy(&copy->metadata, stream.metadata, 0);
      copies_[i] = copy->index;
      continue;
    }
    if (type == AVMEDIA_TYPE_AUDIO && format->audio_codec != AV_CODEC_ID_NONE) {
      transcoders_[i] = std::make_unique<CAudioTranscoder>(stream, *context_, format->audio_codec);
      if (notes != nullptr) {
        *notes << "quiventa: audio stream " << i << " (" << codecName << ") is re-encoded as "
               << avcodec_get_name(format->audio_codec) << ": " << namedPath_ << " cannot hold "
               << codecName << "\n";
      }
      continue;
    }
    warnings << "quiventa: warning: stream " << i << " (" << codecName
             << ") is left out: " << namedPath_ << " cannot hold it\n";
  }
  av_dict_copy(&context_->metadata, input.metadata, 0);
}

void CMediaOutput::open() {
  if (!(context_->oformat->flags & AVFMT_NOFILE)) {
    const int error = avio_open(&context_->pb, writePath_.c_str(), AVIO_FLAG_WRITE);
    if (error < 0) failRuntime("cannot write " + namedPath_ + ": " + avErrorText(error));
  }
  const int error = avformat_write_header(context_.get(), nullptr);
  if (error < 0) failRuntime("cannot start writing " + namedPath_ + ": " + avErrorText(error));
  headerWritten_ = true;
}

void CMediaOutput::writePicture(const VFBitmap& bitmap, std::int64_t pts) {
  if (av_frame_make_writable(picture_.get()) < 0) throw std::bad_alloc();
  converter_->convert(bitmap, picture_.get());
  encodePicture(picture_.get(), pts);
}

CBitmapToPicture CMediaOutput::makeConverter() const {
  return CBitmapToPicture(pictures_, namedPath_);
}

void CMediaOutput::encodePicture(AVFrame* picture, std::int64_t pts) {
  if (kind_ != OutputKind::kH264File) pts = av_rescale_q(pts, callerTimeBase_, video_->time_base);
  // Encoders need strictly rising times; equal input times (rare, broken
  // files) move up by one tick.
  if (lastPts_ != AV_NOPTS_VALUE && pts <= lastPts_) pts = lastPts_ + 1;
  lastPts_ = pts;
  picture->pts = pts;
  picture->color_range = video_->color_range;
  picture->color_primaries = video_->color_primaries;
  picture->color_trc = video_->color_trc;
  picture->colorspace = video_->colorspace;
  if (video_->sample_aspect_ratio.num > 0) {
    picture->sample_aspect_ratio = video_->sample_aspect_ratio;
  }
  const int error = avcodec_send_frame(video_.get(), picture);
  if (error < 0) failRuntime("cannot encode a frame: " + avErrorText(error));
  drainVideo(false);
}

void CMediaOutput::drainVideo(bool flush) {
  if (flush) avcodec_send_frame(video_.get(), nullptr);
  int error;
  while ((error = avcodec_receive_packet(video_.get(), packet_.get())) >= 0) {
    av_packet_rescale_ts(packet_.get(), video_->time_base, videoStream_->time_base);
    packet_->stream_index = videoStream_->index;
    writeMuxedPacket(*context_, packet_.get());
  }
  if (error != AVERROR(EAGAIN) && error != AVERROR_EOF) {
    failRuntime("cannot encode a frame: " + avErrorText(error));
  }
}

void CMediaOutput::setInputWindow(double fromSeconds, double toSeconds) {
  windowed_ = true;
  windowFrom_ = fromSeconds;
  windowTo_ = toSeconds;
}

void CMediaOutput::writeInputPacket(AVPacket* packet) {
  const int index = packet->stream_index;
  if (index < 0 || index >= static_cast<int>(copies_.size())) return;
  if (windowed_) {
    // A packet that starts before the part would start before time 0: it
    // is left out (at most one audio frame).
    const AVRational base = inputTimeBases_[index];
    if (packet->pts == AV_NOPTS_VALUE) return;
    const double seconds = static_cast<double>(packet->pts) * av_q2d(base);
    if (seconds < windowFrom_ - 1e-6 || (windowTo_ >= 0 && seconds >= windowTo_)) return;
    const std::int64_t shift = av_rescale_q(std::llround(windowFrom_ * 1e6), {1, 1000000}, base);
    packet->pts -= shift;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts = std::max<std::int64_t>(0, packet->dts - shift);
  }
  if (copies_[index] >= 0) {
    AVStream& stream = *context_->streams[copies_[index]];
    av_packet_rescale_ts(packet, inputTimeBases_[index], stream.time_base);
    packet->stream_index = stream.index;
    packet->pos = -1;
    writeMuxedPacket(*context_, packet);
  } else if (transcoders_[index]) {
    transcoders_[index]->write(*packet);
  }
}

void CMediaOutput::finish() {
  drainVideo(true);
  for (auto& transcoder : transcoders_) {
    if (transcoder) transcoder->finish();
  }
  int error = av_write_trailer(context_.get());
  if (error < 0) failRuntime("cannot finish " + namedPath_ + ": " + avErrorText(error));
  if (!(context_->oformat->flags & AVFMT_NOFILE)) {
    error = avio_closep(&context_->pb);
    if (error < 0) failRuntime("cannot finish " + namedPath_ + ": " + avErrorText(error));
  }
}

}  // namespace host

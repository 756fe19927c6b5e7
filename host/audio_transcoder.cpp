#include "host/audio_transcoder.h"

#include <cstdlib>
#include <new>

#include "host/host_error.h"

namespace host {
namespace {

AvCodecContext openDecoder(const AVStream& input) {
  const AVCodec* codec = avcodec_find_decoder(input.codecpar->codec_id);
  if (codec == nullptr) {
    failRuntime(std::string("FFmpeg has no decoder for the audio codec ") +
                avcodec_get_name(input.codecpar->codec_id));
  }
  AvCodecContext context(avcodec_alloc_context3(codec));
  if (!context) throw std::bad_alloc();
  int error = avcodec_parameters_to_context(context.get(), input.codecpar);
  if (error >= 0) {
    context->pkt_timebase = input.time_base;
    error = avcodec_open2(context.get(), codec, nullptr);
  }
  if (error < 0) failRuntime("cannot open the audio decoder: " + avErrorText(error));
  return context;
}

int pickSampleRate(const AVCodec& codec, int wanted) {
  if (codec.supported_samplerates == nullptr) return wanted > 0 ? wanted : 48000;
  int best = codec.supported_samplerates[0];
  for (const int* rate = codec.supported_samplerates; *rate != 0; ++rate) {
    if (std::abs(*rate - wanted) < std::abs(best - wanted)) best = *rate;
  }
  return best;
}

AVSampleFormat pickSampleFormat(const AVCodec& codec, AVSampleFormat wanted) {
  if (codec.sample_fmts == nullptr) return wanted;
  for (const AVSampleFormat* format = codec.sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format) {
    if (*format == wanted) return wanted;
  }
  return codec.sample_fmts[0];
}

void pickChannelLayout(const AVCodec& codec, const AVChannelLayout& wanted, AVChannelLayout* out) {
  AVChannelLayout input{};
  if (wanted.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&wanted) == 0) {
    av_channel_layout_default(&input, wanted.nb_channels > 0 ? wanted.nb_channels : 2);
  } else {
    av_channel_layout_copy(&input, &wanted);
  }
  if (codec.ch_layouts == nullptr) {
    av_channel_layout_copy(out, &input);
    av_channel_layout_uninit(&input);
    return;
  }
  const AVChannelLayout* chosen = &codec.ch_layouts[0];
  for (const AVChannelLayout* layout = codec.ch_layouts; layout->nb_channels != 0; ++layout) {
    if (av_channel_layout_compare(layout, &input) == 0) {
      chosen = layout;
      break;
    }
    if (layout->nb_channels == input.nb_channels && chosen->nb_channels != input.nb_channels) {
      chosen = layout;
    }
  }
  av_channel_layout_copy(out, chosen);
  av_channel_layout_uninit(&input);
}

}  // namespace

void writeMuxedPacket(AVFormatContext& output, AVPacket* packet) {
  const int error = av_interleaved_write_frame(&output, packet);
  if (error < 0) failRuntime("cannot write the output: " + avErrorText(error));
}

CAudioTranscoder::CAudioTranscoder(const AVStream& input, AVFormatContext& output,
                                   AVCodecID codecId)
    : output_(output),
      inputTimeBase_(input.time_base),
      decoder_(openDecoder(input)),
      decoded_(allocateFrame()),
      converted_(allocateFrame()),
      packet_(allocatePacket()) {
  const AVCodec* codec = avcodec_find_encoder(codecId);
  if (codec == nullptr) {
    failRuntime(std::string("FFmpeg has no encoder for ") + avcodec_get_name(codecId));
  }
  encoder_.reset(avcodec_alloc_context3(codec));
  if (!encoder_) throw std::bad_alloc();
  encoder_->sample_rate = pickSampleRate(*codec, decoder_->sample_rate);
  encoder_->sample_fmt = pickSampleFormat(*codec, decoder_->sample_fmt);
  pickChannelLayout(*codec, decoder_->ch_layout, &encoder_->ch_layout);
  encoder_->bit_rate = 96000LL * encoder_->ch_layout.nb_channels;
  encoder_->time_base = AVRational{1, encoder_->sample_rate};
  if (output.oformat->flags & AVFMT_GLOBALHEADER) {
    encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  int error = avcodec_open2(encoder_.get(), codec, nullptr);
  if (error < 0) {
    failRuntime(std::string("cannot open the ") + codec->name +
                " audio encoder: " + avErrorText(error));
  }
  frameSize_ = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || encoder_->frame_size <= 0
                   ? 1024
                   : encoder_->frame_size;

  stream_ = avformat_new_stream(&output, nullptr);
  if (stream_ == nullptr) throw std::bad_alloc();
  error = avcodec_parameters_from_context(stream_->codecpar, encoder_.get());
  if (error < 0) failRuntime("cannot set up the audio stream: " + avErrorText(error));
  stream_->time_base = encoder_->time_base;
  stream_->disposition = input.disposition;
  av_dict_copy(&stream_->metadata, input.metadata, 0);

  fifo_.reset(
      av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, frameSize_ * 4));
  if (!fifo_) throw std::bad_alloc();
}

void CAudioTranscoder::write(const AVPacket& packet) {
  // A packet the decoder rejects is a gap in the sound, nothing worse.
  if (avcodec_send_packet(decoder_.get(), &packet) < 0) return;
  receiveDecoded();
}

void CAudioTranscoder::receiveDecoded() {
  while (avcodec_receive_frame(decoder_.get(), decoded_.get()) >= 0) {
    if (nextPts_ == AV_NOPTS_VALUE) {
      const std::int64_t start = decoded_->best_effort_timestamp;
      nextPts_ = start == AV_NOPTS_VALUE
                     ? 0
                     : av_rescale_q(start, inputTimeBase_, AVRational{1, encoder_->sample_rate});
    }
    convertAndQueue(decoded_.get());
    av_frame_unref(decoded_.get());
    encodeQueued(false);
  }
}

void CAudioTranscoder::convertAndQueue(const AVFrame* frame) {
  // Decoders of layout-less formats (raw PCM in some containers) give only a
  // channel count; the resampler wants a layout, so the usual one for that
  // count stands in, on a reference to keep the decoder's frame as it is.
  AvFrame input;
  if (frame != nullptr) {
    input = allocateFrame();
    if (av_frame_ref(input.get(), frame) < 0) throw std::bad_alloc();
    if (input->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      const int channels = input->ch_layout.nb_channels;
      av_channel_layout_uninit(&input->ch_layout);
      av_channel_layout_default(&input->ch_layout, channels);
    }
  }
  if (!resampler_) {
    if (!input) return;
    SwrContext* raw = nullptr;
    const int error = swr_alloc_set_opts2(
        &raw, &encoder_->ch_layout, encoder_->sample_fmt, encoder_->sample_rate, &input->ch_layout,
        static_cast<AVSampleFormat>(input->format), input->sample_rate, 0, nullptr);
    resampler_.reset(raw);
    if (error < 0 || swr_init(resampler_.get()) < 0) {
      failRuntime("cannot convert the audio for its encoder");
    }
  }
  av_frame_unref(converted_.get());
  av_channel_layout_copy(&converted_->ch_layout, &encoder_->ch_layout);
  converted_->format = encoder_->sample_fmt;
  converted_->sample_rate = encoder_->sample_rate;
  const int error = swr_convert_frame(resampler_.get(), converted_.get(), input.get());
  if (error < 0) failRuntime("cannot convert the audio: " + avErrorText(error));
  if (converted_->nb_samples > 0 &&
      av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted_->data),
                          converted_->nb_samples) < converted_->nb_samples) {
    throw std::bad_alloc();
  }
}

void CAudioTranscoder::encodeQueued(bool flushAll) {
  while (av_audio_fifo_size(fifo_.get()) >= frameSize_ ||
         (flushAll && av_audio_fifo_size(fifo_.get()) > 0)) {
    AvFrame chunk = allocateFrame();
    chunk->nb_samples = std::min(frameSize_, av_audio_fifo_size(fifo_.get()));
    av_channel_layout_copy(&chunk->ch_layout, &encoder_->ch_layout);
    chunk->format = encoder_->sample_fmt;
    chunk->sample_rate = encoder_->sample_rate;
    if (av_frame_get_buffer(chunk.get(), 0) < 0) throw std::bad_alloc();
    av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(chunk->data), chunk->nb_samples);
    chunk->pts = nextPts_;
    nextPts_ += chunk->nb_samples;
    encodeFrame(chunk.get());
  }
}

void CAudioTranscoder::encodeFrame(const AVFrame* frame) {
  int error = avcodec_send_frame(encoder_.get(), frame);
  if (error < 0 && error != AVERROR_EOF) {
    failRuntime("cannot encode the audio: " + avErrorText(error));
  }
  while ((error = avcodec_receive_packet(encoder_.get(), packet_.get())) >= 0) {
    av_packet_rescale_ts(packet_.get(), encoder_->time_base, stream_->time_base);
    packet_->stream_index = stream_->index;
    writeMuxedPacket(output_, packet_.get());
  }
  if (error != AVERROR(EAGAIN) && error != AVERROR_EOF) {
    failRuntime("cannot encode the audio: " + avErrorText(error));
  }
}

void CAudioTranscoder::finish() {
  avcodec_send_packet(decoder_.get(), nullptr);
  receiveDecoded();
  if (resampler_) convertAndQueue(nullptr);
  if (nextPts_ == AV_NOPTS_VALUE) nextPts_ = 0;
  encodeQueued(true);
  encodeFrame(nullptr);
}

}  // namespace host

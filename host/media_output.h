// The output file: FFmpeg's muxer for the kind the output's name selects,
// the video encoder fed with the host's 32-bit bottom-up bitmaps, and the
// input's other streams.
//
// Video: .mp4/.mkv/.mov with the chosen encoder (libx264 unless the options
// name another), .y4m raw, PNG sequences rgb24; the pixel format and padding
// as host/video_format.h chooses them. Timestamps are the caller's, in the input video's time
// base; frame rate, sample aspect and colour properties are the input's.
// Audio and subtitle streams (files only): copied when the container can hold
// their codec; audio otherwise re-encoded with the container's usual codec,
// subtitles otherwise dropped with a warning.
//
// Thread-safety: one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "host/audio_transcoder.h"
#include "host/av_handles.h"
#include "host/output_target.h"
#include "host/picture_conversion.h"
#include "plugin/filter_interface.h"

namespace host {

// What the user chose for the output video; empty fields leave the choice to
// the host (see chooseVideoFormat).
struct REncodingOptions {
  std::string codec;          // an FFmpeg encoder name; empty: libx264 (.mp4, .mkv, .mov)
  std::string pixelFormat;    // an FFmpeg pixel format name; empty: the input's where possible
  std::optional<double> crf;  // constant rate factor; libx264 and libx265 default to 18
  std::string preset;         // the encoder's speed preset; libx264 and libx265 default to medium
  // Passed to the encoder as they are (FFmpeg's private options, e.g.
  // tune=film or x264-params=keyint=60).
  std::vector<std::pair<std::string, std::string>> encoderOptions;
};

// What the output video keeps of the input video.
struct RVideoProperties {
  AVRational timeBase{1, 25};  // of the timestamps handed to writePicture
  AVRational frameRate{25, 1};
  AVRational sampleAspect{0, 1};  // 0/1: unknown
  AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
  AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
  AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
  AVColorSpace space = AVCOL_SPC_UNSPECIFIED;
  AVChromaLocation chromaLocation = AVCHROMA_LOC_UNSPECIFIED;
  int sourceHeight = 0;                          // picks the matrix of an unspecified colour space
  AVPixelFormat sourceFormat = AV_PIX_FMT_NONE;  // the output keeps its chroma and depth
};

// The properties of an input video stream.
RVideoProperties videoPropertiesOf(const AVStream& stream, AVRational frameRate);

class CMediaOutput {
 public:
  // `writePath` is where the muxer writes; `namedPath` the user's name that
  // selects the container. Throws CHostError on unknown names.
  CMediaOutput(const std::string& writePath, const std::string& namedPath,
               const REncodingOptions& options);
  ~CMediaOutput();
  CMediaOutput(const CMediaOutput&) = delete;
  CMediaOutput& operator=(const CMediaOutput&) = delete;

  // Before open(): the video stream of `width` x `height` pixels. Returns
  // what the output changes from the input's format (video_format.h), empty
  // when nothing. Throws CHostError for encoder options the encoder does
  // not have.
  std::string addVideo(int width, int height, const RVideoProperties& properties,
                       const AVStream* inputVideo);
  // Before open(): the input's streams other than `videoStreamIndex`. What is
  // re-encoded goes to `notes` (null: said nowhere), what is left out to
  // `warnings`.
  void addStreamsOf(const AVFormatContext& input, int videoStreamIndex, std::ostream& warnings,
                    std::ostream* notes);
  // Opens the file and writes the header.
  void open();

  // Encodes one bitmap (the size given to addVideo) with time `pts`.
  void writePicture(const VFBitmap& bitmap, std::int64_t pts);
  // The two halves of writePicture, for converting on other threads: after
  // addVideo, a converter of bitmaps into the encoder's pictures (which
  // shares nothing with the output, so it may run on any thread) ...
  CBitmapToPicture makeConverter() const;
  // ... and the encoding of one of its pictures, in the order of `pts`.
  void encodePicture(AVFrame* picture, std::int64_t pts);
  // Only the input's packets from `fromSeconds` on (and before `toSeconds`
  // unless that is negative) are written, moved earlier by `fromSeconds`:
  // the streams of a part of the input.
  void setInputWindow(double fromSeconds, double toSeconds);
  // A packet of the input; packets of streams not carried, and outside the
  // window, are ignored.
  void writeInputPacket(AVPacket* packet);
  // Drains the encoders and writes the trailer.
  void finish();

 private:
  void drainVideo(bool flush);

  std::string writePath_;
  std::string namedPath_;
  OutputKind kind_;
  REncodingOptions options_;
  AvOutputFormat context_;
  AvCodecContext video_;
  AVStream* videoStream_ = nullptr;
  REncoderPictures pictures_;
  std::optional<CBitmapToPicture> converter_;  // writePicture's
  int codedWidth_ = 0, codedHeight_ = 0;
  AvFrame picture_;
  AvPacket packet_;
  std::int64_t lastPts_ = AV_NOPTS_VALUE;
  AVRational callerTimeBase_{1, 25};
  // Per input stream: the output stream index of a copy, or -1.
  std::vector<int> copies_;
  std::vector<AVRational> inputTimeBases_;
  // Per input stream: its transcoder, or null.
  std::vector<std::unique_ptr<CAudioTranscoder>> transcoders_;
  bool headerWritten_ = false;
  bool windowed_ = false;
  double windowFrom_ = 0, windowTo_ = -1;
};

}  // namespace host

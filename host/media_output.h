// The output file: FFmpeg's muxer for the kind the output's name selects,
// the video encoder fed with the host's 32-bit bottom-up bitmaps, and the
// input's other streams.
//
// Video: .mp4/.mkv/.mov H.264 with libx264 (yuv420p, or yuv444p for odd
// sizes; CRF and preset from the options), .y4m raw yuv420p/yuv444p, PNG
// sequences rgb24. Timestamps are the caller's, in the input video's time
// base; frame rate, sample aspect and colour properties are the input's.
// Audio and subtitle streams (files only): copied when the container can hold
// their codec; audio otherwise re-encoded with the container's usual codec,
// subtitles otherwise dropped with a warning.
//
// Thread-safety: one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/audio_transcoder.h"
#include "host/av_handles.h"
#include "host/output_target.h"
#include "plugin/filter_interface.h"

namespace host {

struct REncodingOptions {
  double crf = 18;                // libx264 constant rate factor, 0..51
  std::string preset = "medium";  // libx264 preset
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
  int sourceHeight = 0;  // picks the matrix of an unspecified colour space
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

  // Before open(): the video stream of `width` x `height` pixels.
  void addVideo(int width, int height, const RVideoProperties& properties,
                const AVStream* inputVideo);
  // Before open(): the input's streams other than `videoStreamIndex`.
  void addStreamsOf(const AVFormatContext& input, int videoStreamIndex, std::ostream& warnings);
  // Opens the file and writes the header.
  void open();

  // Encodes one bitmap (the size given to addVideo) with time `pts`.
  void writePicture(const VFBitmap& bitmap, std::int64_t pts);
  // A packet of the input; packets of streams not carried are ignored.
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
  AvScaleContext scaler_;
  AvFrame picture_;
  AvPacket packet_;
  std::int64_t lastPts_ = AV_NOPTS_VALUE;
  AVRational callerTimeBase_{1, 25};
  int matrix_ = 0;
  // Per input stream: the output stream index of a copy, or -1.
  std::vector<int> copies_;
  std::vector<AVRational> inputTimeBases_;
  // Per input stream: its transcoder, or null.
  std::vector<std::unique_ptr<CAudioTranscoder>> transcoders_;
  bool headerWritten_ = false;
};

}  // namespace host

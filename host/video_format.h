// The output video's encoder and pixel format, chosen from the user's
// options, the kind of output and the input's own format.
//
// Without --pix-fmt the output keeps the input's chroma format (4:2:0,
// 4:2:2, 4:4:4) and bit depth where the encoder has such a format; the
// filter itself works on 8-bit RGB, so more bits keep the format that
// editing software expects, not detail the filter added. Where the encoder
// cannot keep them, the nearest format it has is used and the choice says
// so. Encoded files (not .y4m or PNG) with an odd side are padded to even
// sides by repeating the last column or row, so that they stay in the 4:2:0
// and 4:2:2 profiles every player decodes (odd 4:2:0 is impossible; odd
// sizes used to force High 4:4:4 Predictive, which many players refuse).
//
// Pure function of its arguments and FFmpeg's tables; thread-safe.
#pragma once

#include <string>

#include "host/av_handles.h"
#include "host/media_output.h"
#include "host/output_target.h"

namespace host {

struct RVideoFormatRequest {
  OutputKind kind = OutputKind::kH264File;
  int width = 0, height = 0;                    // the pictures to encode
  AVPixelFormat inputFormat = AV_PIX_FMT_NONE;  // the input stream's; NONE: unknown
  const REncodingOptions* options = nullptr;
  std::string outputName;  // for messages
};

struct RVideoFormat {
  const AVCodec* codec = nullptr;
  AVPixelFormat format = AV_PIX_FMT_NONE;
  int codedWidth = 0, codedHeight = 0;  // at least width x height; more when padded
  // What differs from the input, in one line for the user; empty when the
  // output keeps the input's format and size.
  std::string note;
};

// Throws CHostError (usage) for an encoder or pixel format that does not
// fit the output, naming what would.
RVideoFormat chooseVideoFormat(const RVideoFormatRequest& request);

}  // namespace host

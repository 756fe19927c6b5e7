#include "host/video_format.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "host/host_error.h"

namespace host {
namespace {

struct RChroma {
  int log2Width = 1, log2Height = 1;  // 4:2:0
  int depth = 8;
};

RChroma chromaOf(AVPixelFormat format) {
  RChroma chroma;
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  if (descriptor == nullptr) return chroma;
  chroma.depth = descriptor->comp[0].depth;
  // RGB pictures have every sample; grey ones have no colour to keep.
  if (descriptor->flags & AV_PIX_FMT_FLAG_RGB) {
    chroma.log2Width = chroma.log2Height = 0;
  } else if (descriptor->nb_components >= 3) {
    chroma.log2Width = descriptor->log2_chroma_w;
    chroma.log2Height = descriptor->log2_chroma_h;
  }
  return chroma;
}

std::string chromaText(const RChroma& chroma) {
  const char* layout = chroma.log2Width == 0 && chroma.log2Height == 0   ? "4:4:4"
                       : chroma.log2Width == 1 && chroma.log2Height == 0 ? "4:2:2"
                       : chroma.log2Width == 1 && chroma.log2Height == 1 ? "4:2:0"
                                                                         : "subsampled";
  return std::to_string(chroma.depth) + "-bit " + layout;
}

// The planar YUV format of the chroma layout and bit depth (the depth
// rounded up to one FFmpeg has).
AVPixelFormat planarYuv(const RChroma& chroma) {
  const int layout = chroma.log2Width == 0 ? 444 : chroma.log2Height == 0 ? 422 : 420;
  const int depth = chroma.depth <= 8 ? 8 : chroma.depth <= 10 ? 10 : chroma.depth <= 12 ? 12 : 16;
  std::string name = "yuv" + std::to_string(layout) + "p";
  if (depth > 8) name += std::to_string(depth) + "le";
  const AVPixelFormat format = av_get_pix_fmt(name.c_str());
  return format == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV444P16LE : format;
}

bool encoderHas(const AVCodec& codec, AVPixelFormat format) {
  if (codec.pix_fmts == nullptr) return true;
  for (const AVPixelFormat* each = codec.pix_fmts; *each != AV_PIX_FMT_NONE; ++each) {
    if (*each == format) return true;
  }
  return false;
}

std::string formatsOf(const AVCodec& codec) {
  std::string names;
  for (const AVPixelFormat* each = codec.pix_fmts; each && *each != AV_PIX_FMT_NONE; ++each) {
    if (!names.empty()) names += ", ";
    names += av_get_pix_fmt_name(*each);
  }
  return names;
}

const AVCodec* encoderFor(const RVideoFormatRequest& request) {
  const std::string& name = request.options->codec;
  switch (request.kind) {
    case OutputKind::kY4m:
      if (!name.empty()) failUsage("--codec " + name + ": .y4m holds raw pictures, no codec");
      // The YUV4MPEG muxer takes the decoded pictures themselves.
      return avcodec_find_encoder(AV_CODEC_ID_WRAPPED_AVFRAME);
    case OutputKind::kPngSequence:
      if (!name.empty() && name != "png") {
        failUsage("--codec " + name + ": image sequences are written as PNG");
      }
      return avcodec_find_encoder(AV_CODEC_ID_PNG);
    case OutputKind::kH264File:
      break;
  }
  const AVCodec* codec = avcodec_find_encoder_by_name(name.empty() ? "libx264" : name.c_str());
  if (codec == nullptr) {
    failRuntime(name.empty() ? "FFmpeg was built without the libx264 H.264 encoder"
                             : "FFmpeg has no encoder " + name);
  }
  return codec;
}

}  // namespace

RVideoFormat chooseVideoFormat(const RVideoFormatRequest& request) {
  RVideoFormat chosen;
  chosen.codec = encoderFor(request);
  if (chosen.codec == nullptr) failRuntime("FFmpeg lacks the encoder for " + request.outputName);
  const AVCodec& codec = *chosen.codec;
  chosen.codedWidth = request.width;
  chosen.codedHeight = request.height;

  const std::string& named = request.options->pixelFormat;
  if (!named.empty()) {
    chosen.format = av_get_pix_fmt(named.c_str());
    if (!encoderHas(codec, chosen.format)) {
      failUsage("--pix-fmt " + named + ": the " + codec.name + " encoder takes " +
                formatsOf(codec));
    }
  } else if (request.kind == OutputKind::kPngSequence) {
    chosen.format = AV_PIX_FMT_RGB24;
    return chosen;
  } else {
    const RChroma input = chromaOf(request.inputFormat);
    const AVPixelFormat wanted = planarYuv(input);
    chosen.format = wanted;
    if (!encoderHas(codec, wanted)) {
      int loss = 0;
      chosen.format = avcodec_find_best_pix_fmt_of_list(codec.pix_fmts, wanted, 0, &loss);
    }
    if (chosen.format != wanted && request.inputFormat != AV_PIX_FMT_NONE) {
      chosen.note = std::string("the output video is ") + av_get_pix_fmt_name(chosen.format) +
                    " (" + chromaText(chromaOf(chosen.format)) + "): the " + codec.name +
                    " encoder has no " + chromaText(input) + " format like the input's " +
                    av_get_pix_fmt_name(request.inputFormat);
    }
  }

  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(chosen.format);
  if (descriptor == nullptr || (descriptor->flags & AV_PIX_FMT_FLAG_RGB) ||
      descriptor->nb_components < 3) {
    return chosen;
  }
  const int stepX = 1 << descriptor->log2_chroma_w, stepY = 1 << descriptor->log2_chroma_h;
  if (request.width % stepX == 0 && request.height % stepY == 0) return chosen;
  if (request.kind == OutputKind::kY4m) {
    // Raw pictures carry any size: full chroma rather than a lost row.
    if (!named.empty()) {
      failUsage("--pix-fmt " + named + " needs sides that are multiples of " +
                std::to_string(stepX) + " x " + std::to_string(stepY) + ", the output is " +
                std::to_string(request.width) + "x" + std::to_string(request.height));
    }
    chosen.format = planarYuv({0, 0, descriptor->comp[0].depth});
    return chosen;
  }
  chosen.codedWidth = (request.width + stepX - 1) / stepX * stepX;
  chosen.codedHeight = (request.height + stepY - 1) / stepY * stepY;
  const std::string size =
      std::to_string(chosen.codedWidth) + "x" + std::to_string(chosen.codedHeight);
  const std::string padding =
      "the output video is " + size + ", not " + std::to_string(request.width) + "x" +
      std::to_string(request.height) + ": " + av_get_pix_fmt_name(chosen.format) +
      " needs even sides, so the last " +
      (chosen.codedWidth != request.width && chosen.codedHeight != request.height
           ? "column and row are"
       : chosen.codedWidth != request.width ? "column is"
                                            : "row is") +
      " repeated";
  chosen.note = chosen.note.empty() ? padding : chosen.note + "; " + padding;
  return chosen;
}

}  // namespace host

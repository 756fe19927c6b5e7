#include "tools/clipgen/y4m_writer.h"

#include <algorithm>
#include <cmath>

namespace qvclip {
namespace {

std::uint8_t toByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::floor(value + 0.5), 0.0, 255.0));
}

}  // namespace

void rgbToYCbCr(std::uint32_t pixel, std::uint8_t* y, std::uint8_t* cb, std::uint8_t* cr) {
  const double r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
  *y = toByte(16.0 + 219.0 / 255.0 * luma);
  *cb = toByte(128.0 + 224.0 / 255.0 * (b - luma) / 1.772);
  *cr = toByte(128.0 + 224.0 / 255.0 * (r - luma) / 1.402);
}

std::string y4mHeader(const RY4mFormat& format) {
  const char* interlace = format.fieldOrder == EFieldOrder::kUpperFirst   ? "It"
                          : format.fieldOrder == EFieldOrder::kLowerFirst ? "Ib"
                                                                          : "Ip";
  const char* chroma = format.chroma == EChroma::k444 ? "C444" : "C420jpeg";
  return "YUV4MPEG2 W" + std::to_string(format.width) + " H" + std::to_string(format.height) +
         " F" + std::to_string(format.fpsNumerator) + ":" + std::to_string(format.fpsDenominator) +
         " " + interlace + " A1:1 " + chroma + " XCOLORRANGE=LIMITED\n";
}

bool CY4mWriter::open(const std::string& path, const RY4mFormat& format, std::string* error) {
  if (format.width <= 0 || format.height <= 0 || format.fpsNumerator <= 0 ||
      format.fpsDenominator <= 0) {
    if (error) *error = "y4m: size and frame rate must be positive";
    return false;
  }
  if (format.chroma == EChroma::k420) {
    if (format.width % 2 != 0 || format.height % 2 != 0) {
      if (error) *error = "y4m: 4:2:0 chroma needs an even width and height";
      return false;
    }
    if (format.fieldOrder != EFieldOrder::kProgressive) {
      if (error) *error = "y4m: 4:2:0 chroma would mix the fields of an interlaced clip; use 4:4:4";
      return false;
    }
  }
  format_ = format;
  if (!file_.open(path, error)) return false;
  return file_.write(y4mHeader(format), error);
}

bool CY4mWriter::writeFrame(const RFrame& frame, std::string* error) {
  if (frame.width != format_.width || frame.height != format_.height) {
    if (error) *error = "y4m: frame size differs from the clip size";
    file_.abandon();
    return false;
  }
  const std::size_t area = static_cast<std::size_t>(frame.width) * frame.height;
  const bool full = format_.chroma == EChroma::k444;
  const std::size_t chromaArea = full ? area : area / 4;
  planes_.assign(area + 2 * chromaArea, 0);
  std::uint8_t* lumaPlane = planes_.data();
  std::uint8_t* cbPlane = lumaPlane + area;
  std::uint8_t* crPlane = cbPlane + chromaArea;
  if (full) {
    for (std::size_t i = 0; i < area; ++i) {
      rgbToYCbCr(frame.pixels[i], &lumaPlane[i], &cbPlane[i], &crPlane[i]);
    }
  } else {
    const int chromaWidth = frame.width / 2;
    std::vector<int> cbSum(static_cast<std::size_t>(chromaWidth)),
        crSum(static_cast<std::size_t>(chromaWidth));
    for (int y = 0; y < frame.height; y += 2) {
      std::fill(cbSum.begin(), cbSum.end(), 0);
      std::fill(crSum.begin(), crSum.end(), 0);
      for (int dy = 0; dy < 2; ++dy) {
        for (int x = 0; x < frame.width; ++x) {
          const std::size_t i = static_cast<std::size_t>(y + dy) * frame.width + x;
          std::uint8_t cb, cr;
          rgbToYCbCr(frame.pixels[i], &lumaPlane[i], &cb, &cr);
          cbSum[x / 2] += cb;
          crSum[x / 2] += cr;
        }
      }
      for (int x = 0; x < chromaWidth; ++x) {
        const std::size_t i = static_cast<std::size_t>(y / 2) * chromaWidth + x;
        cbPlane[i] = static_cast<std::uint8_t>((cbSum[x] + 2) / 4);
        crPlane[i] = static_cast<std::uint8_t>((crSum[x] + 2) / 4);
      }
    }
  }
  static const char kFrameMarker[] = "FRAME\n";
  return file_.write(kFrameMarker, sizeof(kFrameMarker) - 1, error) &&
         file_.write(planes_.data(), planes_.size(), error);
}

bool CY4mWriter::finish(std::string* error) { return file_.commit(error); }

}  // namespace qvclip

#include "host/picture_conversion.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "host/host_error.h"

namespace host {
namespace {

constexpr int kScaleFlags =
    SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;

bool isFullRangeFormat(AVPixelFormat format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
         format == AV_PIX_FMT_YUVJ411P;
}

}  // namespace

CPictureToBitmap::CPictureToBitmap(const AVStream& stream)
    : streamSpace_(stream.codecpar->color_space), streamRange_(stream.codecpar->color_range) {}

bool CPictureToBitmap::convert(const AVFrame& picture, const VFBitmap& bitmap) {
  const auto format = static_cast<AVPixelFormat>(picture.format);
  if (picture.width < 1 || picture.height < 1 || format == AV_PIX_FMT_NONE) return false;
  scaler_.reset(sws_getCachedContext(scaler_.release(), picture.width, picture.height, format,
                                     static_cast<int>(bitmap.w), static_cast<int>(bitmap.h),
                                     AV_PIX_FMT_BGR0, kScaleFlags, nullptr, nullptr, nullptr));
  if (!scaler_) return false;

  const AVColorSpace space =
      picture.colorspace != AVCOL_SPC_UNSPECIFIED ? picture.colorspace : streamSpace_;
  const AVColorRange range =
      picture.color_range != AVCOL_RANGE_UNSPECIFIED ? picture.color_range : streamRange_;
  const int fullRange = (range == AVCOL_RANGE_JPEG || isFullRangeFormat(format)) ? 1 : 0;
  // Fails harmlessly for RGB sources, which have no matrix.
  sws_setColorspaceDetails(scaler_.get(),
                           sws_getCoefficients(swsColorMatrix(space, picture.height)), fullRange,
                           sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);

  // Writing the top picture line into the last stored row, upwards, gives
  // the bottom-up layout in one pass.
  std::uint8_t* lastRow =
      reinterpret_cast<std::uint8_t*>(bitmap.data) + (bitmap.h - 1) * bitmap.pitch;
  std::uint8_t* const planes[4] = {lastRow, nullptr, nullptr, nullptr};
  const int strides[4] = {-static_cast<int>(bitmap.pitch), 0, 0, 0};
  return sws_scale(scaler_.get(), picture.data, picture.linesize, 0, picture.height, planes,
                   strides) == static_cast<int>(bitmap.h);
}

CBitmapToPicture::CBitmapToPicture(const REncoderPictures& pictures, const std::string& outputName)
    : pictures_(pictures) {
  scaler_.reset(sws_getContext(pictures.width, pictures.height, AV_PIX_FMT_BGR0, pictures.width,
                               pictures.height, pictures.format, kScaleFlags, nullptr, nullptr,
                               nullptr));
  if (!scaler_) failRuntime("cannot convert pictures for " + outputName);
  if (pictures.format != AV_PIX_FMT_RGB24) {
    sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(pictures.matrix), pictures.fullRange ? 1 : 0, 0,
                             1 << 16, 1 << 16);
  }
}

AvFrame CBitmapToPicture::allocatePicture() const {
  AvFrame picture = allocateFrame();
  picture->format = pictures_.format;
  picture->width = pictures_.width;
  picture->height = pictures_.height;
  if (av_frame_get_buffer(picture.get(), 0) < 0) throw std::bad_alloc();
  return picture;
}

void CBitmapToPicture::convert(const VFBitmap& bitmap, AVFrame* picture) {
  const std::uint8_t* lastRow =
      reinterpret_cast<const std::uint8_t*>(bitmap.data) + (bitmap.h - 1) * bitmap.pitch;
  const std::uint8_t* planes[4] = {lastRow, nullptr, nullptr, nullptr};
  int strides[4] = {-static_cast<int>(bitmap.pitch), 0, 0, 0};
  if (bitmap.w != pictures_.width || bitmap.h != pictures_.height) {
    const std::size_t rowBytes = static_cast<std::size_t>(pictures_.width) * 4;
    padded_.resize(rowBytes * pictures_.height + 64);
    for (int y = 0; y < pictures_.height; ++y) {
      const int from = std::min(y, static_cast<int>(bitmap.h) - 1);
      std::uint8_t* row = padded_.data() + rowBytes * y;
      std::memcpy(row, lastRow - from * bitmap.pitch, static_cast<std::size_t>(bitmap.w) * 4);
      for (int x = static_cast<int>(bitmap.w); x < pictures_.width; ++x) {
        std::memcpy(row + 4 * x, row + 4 * (bitmap.w - 1), 4);
      }
    }
    planes[0] = padded_.data();
    strides[0] = static_cast<int>(rowBytes);
  }
  sws_scale(scaler_.get(), planes, strides, 0, pictures_.height, picture->data, picture->linesize);
}

}  // namespace host

#include "tests/support/filter_instance.h"

#include "plugin/filter/filter_callbacks.h"

namespace testing_support {

void COwnedBitmap::allocate(long width, long height, std::ptrdiff_t pitchBytes) {
  if (pitchBytes == 0) pitchBytes = width * 4;
  pixels.assign(static_cast<std::size_t>(pitchBytes / 4 * height + 1), 0);
  bitmap = VFBitmap{};
  bitmap.data = pixels.data();
  bitmap.w = width;
  bitmap.h = height;
  bitmap.pitch = pitchBytes;
  bitmap.modulo = pitchBytes - width * 4;
  bitmap.size = pitchBytes * height;
}

std::uint32_t& pixelAt(const VFBitmap& bitmap, int x, int row) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(bitmap.data) +
                                          bitmap.pitch * row)[x];
}

std::vector<std::uint32_t> pixelsOf(const VFBitmap& bitmap) {
  std::vector<std::uint32_t> result;
  for (int row = 0; row < bitmap.h; ++row) {
    for (int x = 0; x < bitmap.w; ++x) result.push_back(pixelAt(bitmap, x, row));
  }
  return result;
}

CFilterInstance::CFilterInstance()
    : memory_((sizeof(InstanceData) + 7) / 8, 0),
      fa_(destination_.bitmap, source_.bitmap, nullptr) {
  fa_.filter = &quiventaFilterDefinition();
  fa_.filter_data = memory_.data();
  fa_.pfsi = &state_;
  initProc(&fa_, nullptr);
}

CFilterInstance::~CFilterInstance() { deinitProc(&fa_, nullptr); }

void CFilterInstance::setSourceSize(long width, long height) {
  source_.allocate(width, height);
  destination_.allocate(width, height);
}

void CFilterInstance::useDrawableDestination() {
  const VFBitmap requested = destination_.bitmap;
  destination_.allocate(requested.w, requested.h, requested.pitch);
  deviceContext_ =
      RDeviceContext{destination_.bitmap.data, requested.w, requested.h, requested.pitch};
  destination_.bitmap.hdc = &deviceContext_;
  destination_.bitmap.dwFlags = requested.dwFlags;
}

}  // namespace testing_support

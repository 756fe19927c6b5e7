// A filter instance driven the way a host drives it: zeroed instance memory
// of the size the definition states, source and destination bitmaps,
// FilterStateInfo, initProc on construction and deinitProc on destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device_context.h"
#include "plugin/common/instance_data.h"
#include "plugin/filter/filter_definition.h"
#include "plugin/filter_interface.h"

namespace testing_support {

// A 32-bit bottom-up bitmap with its own pixels.
struct COwnedBitmap {
  void allocate(long width, long height, std::ptrdiff_t pitchBytes = 0);
  VFBitmap bitmap;
  std::vector<Pixel32> pixels;
};

// Pixel (x, stored row) of a 32-bit bitmap, and all its pixels row by row.
std::uint32_t& pixelAt(const VFBitmap& bitmap, int x, int row);
std::vector<std::uint32_t> pixelsOf(const VFBitmap& bitmap);

class CFilterInstance {
 public:
  CFilterInstance();
  ~CFilterInstance();

  InstanceData& data() { return *reinterpret_cast<InstanceData*>(memory_.data()); }
  FilterActivation& fa() { return fa_; }
  FilterStateInfo& state() { return state_; }
  VFBitmap& src() { return source_.bitmap; }
  VFBitmap& dst() { return destination_.bitmap; }

  // Gives the source real pixels of this size (and the destination the same
  // size, as a host does before paramProc).
  void setSourceSize(long width, long height);

  // After paramProc: a destination of the size and pitch paramProc chose,
  // with a device context over it, as a host grants one.
  void useDrawableDestination();

 private:
  std::vector<std::uint64_t> memory_;  // 8-byte aligned instance memory
  COwnedBitmap source_;
  COwnedBitmap destination_;
  RDeviceContext deviceContext_{};
  FilterStateInfo state_;
  FilterActivation fa_;
};

}  // namespace testing_support

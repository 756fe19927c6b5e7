// Source pictures for the benchmarks, drawn into the host's 32-bit
// bottom-up bitmaps.
#pragma once

#include <cstdint>

#include "plugin/filter_interface.h"

// Fills `bitmap`: pixel (x, y counted from the top) shows colourAt(x + 0.5,
// y + 0.5), a 0x00RRGGBB word.
template <typename ColourAt>
void renderFrame(VFBitmap& bitmap, ColourAt colourAt) {
  for (long y = 0; y < bitmap.h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(bitmap.data) +
                                                 bitmap.pitch * (bitmap.h - 1 - y));
    for (long x = 0; x < bitmap.w; ++x) row[x] = colourAt(x + 0.5, y + 0.5);
  }
}

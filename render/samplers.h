// Reading a colour at a fixed-point position of a held frame: nearest
// neighbour, bilinear and bicubic resampling.
//
// Positions: signed 64-bit with 26 fraction bits (1.0 = 2^26); the integer
// pixel is the value shifted right arithmetically by 26. Interpolating
// samplers take the 22.10 value X >> 16. Rows are stored rows (row 0 is the
// first row in memory, the bottom line of the picture); nothing here flips.
//
// Everything outside the frame reads as black (0); no tap ever reads memory
// outside the frame. The weight table is shared by all rendering threads and
// only read while they run.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugin/common/fixed_point.h"
#include "plugin/filter_interface.h"

// A non-owning view of a 32-bit frame.
struct RFrameView {
  const unsigned char* data = nullptr;  // stored row 0
  int width = 0, height = 0;
  std::ptrdiff_t pitch = 0;  // bytes between stored rows

  static RFrameView of(const VFBitmap& bitmap) {
    return {reinterpret_cast<const unsigned char*>(bitmap.data), static_cast<int>(bitmap.w),
            static_cast<int>(bitmap.h), bitmap.pitch};
  }
  std::uint32_t at(int x, int y) const {
    assert(x >= 0 && x < width && y >= 0 && y < height);
    return reinterpret_cast<const std::uint32_t*>(data + pitch * y)[x];
  }
};

// 1024 rows of 4 weights (taps +2, +1, 0, -1), scale 2^14.
using RBicubicRow = std::array<std::int32_t, 4>;
using RBicubicTable = std::vector<RBicubicRow>;

// Replaces the process-wide table with the cubic convolution kernel of
// parameter `a` (pass 2 uses -0.6).
void buildBicubicWeights(double a);
void releaseBicubicWeights();
// The current table; null before the first build.
const RBicubicTable* bicubicWeights();
// The table for parameter `a`, without touching the process-wide one.
RBicubicTable computeBicubicWeights(double a);

std::uint32_t sampleNearest(const RFrameView& frame, std::int64_t X, std::int64_t Y);
std::uint32_t sampleBilinear(const RFrameView& frame, std::int64_t x10, std::int64_t y10);
// The plain bilinear kernel, tap by tap; sampleBilinear takes a shorter road
// when all four taps lie inside, with the same result.
std::uint32_t sampleBilinearPlain(const RFrameView& frame, std::int64_t x10, std::int64_t y10);
std::uint32_t sampleBicubic(const RFrameView& frame, const RBicubicTable& weights, std::int64_t x10,
                            std::int64_t y10);

// The plain kernel, tap by tap, that every fast path must equal byte for
// byte; sampleBicubic uses a vector kernel for positions whose 16 taps all
// lie inside (unless the plain kernel set is in force, platform/kernel_set.h).
std::uint32_t sampleBicubicPlain(const RFrameView& frame, const RBicubicTable& weights,
                                 std::int64_t x10, std::int64_t y10);

// The fast kernels for positions whose taps all lie inside the frame
// (bilinear: 0 <= ix < w - 1 and 0 <= iy < h - 1; bicubic: 1 <= ix < w - 2 and
// 1 <= iy < h - 2), without any test.
std::uint32_t sampleBilinearInterior(const RFrameView& frame, std::int64_t x10, std::int64_t y10);
// `weights`: the table's 1024 rows of 4 as consecutive values.
std::uint32_t sampleBicubicInterior(const RFrameView& frame, const std::int32_t* weights,
                                    std::int64_t x10, std::int64_t y10);

// Chooses by the resampling setting: 0 nearest, 1 bilinear, anything else
// bicubic. X and Y in the 26-bit format.
std::uint32_t sampleFrame(const RFrameView& frame, int resampling, std::int64_t X, std::int64_t Y);

// Two's-complement arithmetic that cannot overflow into undefined behaviour;
// for sane inputs it is plain 64-bit arithmetic.
inline std::int64_t wrapMul(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}
inline std::int64_t wrapAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

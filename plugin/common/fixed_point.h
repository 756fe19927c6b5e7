// Fixed-point coordinates of pass 2: signed 64-bit values with 26 fraction
// bits (1.0 = 2^26); the integer pixel is the value shifted right
// arithmetically by 26. The plan's maps and the row tables are built in this
// format, and the samplers read it.
#pragma once

#include <cstdint>

inline constexpr int kFixedShift = 26;
inline constexpr double kFixedToPixel = 1.4901161193847656e-08;  // 2^-26

// v * 2^26 rounded half up, saturated to the 64-bit range (NaN gives 0), so
// absurd settings never reach undefined conversions.
std::int64_t toFixedPoint(double v);

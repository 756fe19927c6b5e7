// The mark for an absent value: a block without a vector in pass 1, a
// top-edge value the log does not give in pass 2. It is an ordinary double
// that no measurement produces, so it travels through arrays of values and
// is tested by exact equality, never by a range.
#pragma once

inline constexpr double MISSING_VALUE = -583265354.623;

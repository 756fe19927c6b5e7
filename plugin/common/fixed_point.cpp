#include "plugin/common/fixed_point.h"

#include <cmath>
#include <limits>

std::int64_t toFixedPoint(double v) {
  const double scaled = std::floor(v * 1024 * 65536 + 0.5);
  if (std::isnan(scaled)) return 0;
  if (scaled >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
  if (scaled <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(scaled);
}

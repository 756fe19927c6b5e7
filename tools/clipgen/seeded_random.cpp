#include "tools/clipgen/seeded_random.h"

#include <cmath>
#include <numbers>

namespace qvclip {

std::uint64_t mix64(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

std::uint64_t hashValues(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
  std::uint64_t h = mix64(a);
  h = mix64(h ^ b);
  h = mix64(h ^ c);
  return mix64(h ^ d);
}

std::uint64_t CSeededRandom::next() {
  state_ += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double CSeededRandom::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double CSeededRandom::gaussian() {
  if (hasSpare_) {
    hasSpare_ = false;
    return spare_;
  }
  // 1 - uniform() lies in (0, 1], so the logarithm is finite.
  const double radius = std::sqrt(-2.0 * std::log(1.0 - uniform()));
  const double angle = 2.0 * std::numbers::pi * uniform();
  spare_ = radius * std::sin(angle);
  hasSpare_ = true;
  return radius * std::cos(angle);
}

}  // namespace qvclip

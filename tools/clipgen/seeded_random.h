// Deterministic random numbers for the clip generator. A clip must come out
// the same for the same seed whatever order its frames are rendered in and
// whatever standard library builds it, which std::*_distribution does not
// promise; so the generator uses its own mixing function and transforms.
//
// Thread-safety: the free functions share no state; one CSeededRandom is used
// by one thread at a time.
#pragma once

#include <cstdint>

namespace qvclip {

// SplitMix64 finaliser: a bijective mix with good avalanche, used both as a
// hash of lattice points and as the step of CSeededRandom.
std::uint64_t mix64(std::uint64_t value);

// A hash of up to four values, for seeding independent streams (one per frame
// row, per tile of the plane, ...) so that any part can be rendered alone.
std::uint64_t hashValues(std::uint64_t a, std::uint64_t b, std::uint64_t c = 0,
                         std::uint64_t d = 0);

class CSeededRandom {
 public:
  explicit CSeededRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next();
  // Uniform in [0, 1), 53 random bits.
  double uniform();
  // Uniform in [low, high).
  double uniform(double low, double high) { return low + (high - low) * uniform(); }
  // Standard normal (mean 0, standard deviation 1), Box-Muller.
  double gaussian();

 private:
  std::uint64_t state_;
  bool hasSpare_ = false;
  double spare_ = 0.0;
};

}  // namespace qvclip

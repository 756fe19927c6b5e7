#include "tools/clipgen/foreground_patches.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/clipgen/seeded_random.h"

namespace qvclip {
namespace {

constexpr std::uint64_t kPatchStream = 0xFA7C;
constexpr std::uint64_t kPatchTextureStream = 0x7E47;
constexpr double kEdgeSigma = 1.2;

double normalCdf(double x) { return 0.5 * std::erfc(-x / std::numbers::sqrt2); }

}  // namespace

CForegroundPatches::CForegroundPatches(std::uint64_t seed, int count, int width, int height)
    : texture_(hashValues(seed, kPatchTextureStream), false, 1.4f) {
  CSeededRandom random(hashValues(seed, kPatchStream));
  const double side = std::min(width, height);
  const double pi = std::numbers::pi;
  for (int i = 0; i < count; ++i) {
    RPatch patch;
    patch.disc = random.uniform() < 0.4;
    patch.halfWidth = side * random.uniform(0.08, 0.14);
    patch.halfHeight = patch.disc ? patch.halfWidth : side * random.uniform(0.08, 0.14);
    patch.centreX = width * random.uniform(0.3, 0.7);
    patch.centreY = height * random.uniform(0.3, 0.7);
    patch.radiusX = width * random.uniform(0.08, 0.18);
    patch.radiusY = height * random.uniform(0.08, 0.18);
    // Peak speed along each axis of 2 to 4 pixels per frame at 640 x 480,
    // proportionally more on bigger pictures.
    const double speed = random.uniform(2.0, 4.0) * side / 480.0;
    patch.rateX = speed / patch.radiusX;
    patch.rateY = speed / patch.radiusY;
    patch.phaseX = random.uniform(0.0, 2.0 * pi);
    patch.phaseY = random.uniform(0.0, 2.0 * pi);
    patch.angle0 = random.uniform(0.0, 2.0 * pi);
    patch.turnRate = random.uniform(-1.5, 1.5) * pi / 180.0;
    patch.textureX = 4096.0 * (i + 1);
    patch.textureY = -4096.0 * (i + 1);
    patches_.push_back(patch);
  }
}

RPatchState CForegroundPatches::stateAt(int index, double time) const {
  const RPatch& patch = patches_.at(static_cast<std::size_t>(index));
  RPatchState state;
  state.disc = patch.disc;
  state.halfWidth = patch.halfWidth;
  state.halfHeight = patch.halfHeight;
  state.centreX = patch.centreX + patch.radiusX * std::sin(patch.rateX * time + patch.phaseX);
  state.centreY = patch.centreY + patch.radiusY * std::sin(patch.rateY * time + patch.phaseY);
  state.angle = patch.angle0 + patch.turnRate * time;
  state.extent = std::hypot(patch.halfWidth, patch.halfHeight) + 5.0 * kEdgeSigma;
  return state;
}

double CForegroundPatches::coverage(const RPatchState& state, double x, double yTop) {
  const double px = x + 0.5 - state.centreX, py = yTop + 0.5 - state.centreY;
  if (px * px + py * py >= state.extent * state.extent) return 0.0;
  if (state.disc) {
    return normalCdf((state.halfWidth - std::sqrt(px * px + py * py)) / kEdgeSigma);
  }
  const double c = std::cos(state.angle), s = std::sin(state.angle);
  const double a = c * px + s * py, b = -s * px + c * py;
  return (normalCdf((a + state.halfWidth) / kEdgeSigma) -
          normalCdf((a - state.halfWidth) / kEdgeSigma)) *
         (normalCdf((b + state.halfHeight) / kEdgeSigma) -
          normalCdf((b - state.halfHeight) / kEdgeSigma));
}

void CForegroundPatches::paintRow(double time, int yTop, int width, RColour* row) const {
  std::vector<RColour> texture;
  for (std::size_t index = 0; index < patches_.size(); ++index) {
    const RPatch& patch = patches_[index];
    const RPatchState state = stateAt(static_cast<int>(index), time);
    const double py = yTop + 0.5 - state.centreY;
    if (std::abs(py) >= state.extent) continue;
    const double halfSpan = std::sqrt(state.extent * state.extent - py * py);
    const int first = std::max(0, static_cast<int>(std::ceil(state.centreX - halfSpan - 0.5)));
    const int last =
        std::min(width - 1, static_cast<int>(std::floor(state.centreX + halfSpan - 0.5)));
    if (first > last) continue;
    // The patch's texture turns and moves with it: pixel offset (a, b) from
    // its centre in the patch's own axes shows texture point
    // texture + (a, -b) (the texture plane has Y up).
    const double c = std::cos(state.angle), s = std::sin(state.angle);
    const double px0 = first + 0.5 - state.centreX;
    const double a0 = c * px0 + s * py, b0 = -s * px0 + c * py;
    texture.resize(static_cast<std::size_t>(last - first + 1));
    texture_.sampleLine(patch.textureX + a0, patch.textureY - b0, c, s, last - first + 1,
                        texture.data());
    for (int x = first; x <= last; ++x) {
      const float cover = static_cast<float>(coverage(state, x, yTop));
      if (cover <= 0.0f) continue;
      const RColour& t = texture[static_cast<std::size_t>(x - first)];
      RColour& p = row[x];
      p.r += cover * (t.r - p.r);
      p.g += cover * (t.g - p.g);
      p.b += cover * (t.b - p.b);
    }
  }
}

}  // namespace qvclip

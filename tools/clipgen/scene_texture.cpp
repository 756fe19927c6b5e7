#include "tools/clipgen/scene_texture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "tools/clipgen/seeded_random.h"

namespace qvclip {
namespace {

// Four floats that GCC keeps in one SIMD register.
using Float4 = float __attribute__((vector_size(16)));

constexpr int kLatticeBits = 8;
constexpr int kLatticeSize = 1 << kLatticeBits;
constexpr int kLatticeMask = kLatticeSize - 1;

constexpr std::uint64_t kLatticeStream = 0x1A77;
constexpr std::uint64_t kOctaveStream = 0x0C7A;
constexpr std::uint64_t kShapeStream = 0x5BA9;

// Shapes are generated per square tile of the plane from the tile's own hash,
// so the endless plane needs no storage and any part can be sampled alone.
constexpr double kTileSize = 128.0;
constexpr double kEdgeSigma = 1.5;
constexpr double kMaxHalfSize = 45.0;
constexpr double kMaxExtent = kMaxHalfSize * 1.4142135623730951 + 4.0 * kEdgeSigma;

// Sum of the octaves' values times this gives a luma deviation of about 0.15,
// so that few values reach the soft limits below.
constexpr float kNoiseGain = 0.3f;

// Normal cumulative distribution, tabulated for the blurred shape edges.
class CGaussianCdf {
 public:
  CGaussianCdf() {
    for (int i = 0; i < kCount; ++i) {
      const double x = -kRange + static_cast<double>(i) / kPerUnit;
      table_[i] = static_cast<float>(0.5 * std::erfc(-x / std::numbers::sqrt2));
    }
  }
  float operator()(double x) const {
    const double position = (x + kRange) * kPerUnit;
    if (position <= 0.0) return 0.0f;
    if (position >= kCount - 1) return 1.0f;
    const int index = static_cast<int>(position);
    const float f = static_cast<float>(position - index);
    return table_[index] + f * (table_[index + 1] - table_[index]);
  }

 private:
  static constexpr double kRange = 8.0;
  static constexpr int kPerUnit = 256;
  static constexpr int kCount = static_cast<int>(2 * kRange) * kPerUnit + 1;
  std::array<float, kCount> table_;
};

const CGaussianCdf& gaussianCdf() {
  static const CGaussianCdf cdf;
  return cdf;
}

// Cubic B-spline weights of the four lattice points around fraction t.
inline void splineWeights(float t, float w[4]) {
  const float t2 = t * t, t3 = t2 * t;
  const float u = 1.0f - t;
  w[0] = u * u * u * (1.0f / 6.0f);
  w[1] = (3.0f * t3 - 6.0f * t2 + 4.0f) * (1.0f / 6.0f);
  w[2] = (-3.0f * t3 + 3.0f * t2 + 3.0f * t + 1.0f) * (1.0f / 6.0f);
  w[3] = t3 * (1.0f / 6.0f);
}

// Keeps a channel inside (0, 1) without a hard clip, whose kink would add
// detail beyond the band limit: the identity on [0.1, 0.9], bending smoothly
// (continuous up to the second derivative) towards 0 and 1 outside.
inline float softLimit(float value) {
  if (value > 0.9f) return 0.9f + 0.1f * std::tanh((value - 0.9f) * 10.0f);
  if (value < 0.1f) return 0.1f + 0.1f * std::tanh((value - 0.1f) * 10.0f);
  return value;
}

inline RColour toRgb(float luma, float a, float b) {
  return RColour{softLimit(0.5f + luma + 0.7f * a), softLimit(0.5f + luma - 0.35f * a + 0.6f * b),
                 softLimit(0.5f + luma - 0.35f * a - 0.6f * b)};
}

}  // namespace

struct CSceneTexture::RShape {
  bool disc = false;
  double centreX = 0.0, centreY = 0.0;
  double cosA = 1.0, sinA = 0.0;
  double halfWidth = 0.0, halfHeight = 0.0;  // a disc's radius is halfWidth
  double extent = 0.0;                       // no effect beyond this distance from the centre
  float luma = 0.0f, chromaA = 0.0f, chromaB = 0.0f;
  std::uint64_t order = 0;  // painting order, the same wherever the shape is sampled
};

CSceneTexture::CSceneTexture(std::uint64_t seed, bool withShapes, float contrast)
    : seed_(seed), withShapes_(withShapes), contrast_(contrast) {
  lattice_.resize(kLatticeSize * kLatticeSize);
  CSeededRandom random(hashValues(seed, kLatticeStream));
  for (auto& value : lattice_) {
    value.luma = static_cast<float>(random.uniform(-1.0, 1.0));
    value.chromaA = static_cast<float>(random.uniform(-1.0, 1.0));
    value.chromaB = static_cast<float>(random.uniform(-1.0, 1.0));
    value.unused = 0.0f;
  }
  // Each octave reads the one table through its own rotation and offset, so
  // the octaves are independent and their lattices do not line up.
  CSeededRandom octaveRandom(hashValues(seed, kOctaveStream));
  const double cells[] = {64.0, 32.0, 16.0, 8.0, 4.0};
  const float lumaWeights[] = {1.0f, 0.9f, 0.85f, 0.8f, 0.6f};
  const float chromaWeights[] = {0.7f, 0.4f, 0.25f, 0.12f, 0.06f};
  for (int i = 0; i < 5; ++i) {
    const double angle = octaveRandom.uniform(0.0, 2.0 * std::numbers::pi);
    ROctave octave;
    octave.cell = cells[i];
    octave.cosA = std::cos(angle);
    octave.sinA = std::sin(angle);
    octave.offsetU = octaveRandom.uniform(0.0, kLatticeSize);
    octave.offsetV = octaveRandom.uniform(0.0, kLatticeSize);
    octave.lumaWeight = lumaWeights[i] * kNoiseGain * contrast;
    octave.chromaWeight = chromaWeights[i] * kNoiseGain * contrast;
    octave.fine = cells[i] <= 16.0;
    octaves_.push_back(octave);
  }
}

void CSceneTexture::addOctave(const ROctave& octave, double x0, double y0, double dx, double dy,
                              int count, float* coarse, float* fine) const {
  const double inv = 1.0 / octave.cell;
  const double u0 = (octave.cosA * x0 + octave.sinA * y0) * inv + octave.offsetU;
  const double v0 = (-octave.sinA * x0 + octave.cosA * y0) * inv + octave.offsetV;
  const double du = (octave.cosA * dx + octave.sinA * dy) * inv;
  const double dv = (-octave.sinA * dx + octave.cosA * dy) * inv;
  float* target = octave.fine ? fine : coarse;
  const RLatticeValue* lattice = lattice_.data();
  for (int i = 0; i < count; ++i) {
    const double u = u0 + i * du;
    const double v = v0 + i * dv;
    const double fu = std::floor(u), fv = std::floor(v);
    float wu[4], wv[4];
    splineWeights(static_cast<float>(u - fu), wu);
    splineWeights(static_cast<float>(v - fv), wv);
    const int iu = static_cast<int>(static_cast<long long>(fu) & kLatticeMask);
    const int iv = static_cast<int>(static_cast<long long>(fv) & kLatticeMask);
    int columns[4];
    for (int k = 0; k < 4; ++k) columns[k] = (iu + k - 1) & kLatticeMask;
    // The three channels of a lattice point are summed together in one
    // four-lane vector; each lane sees the same operations in the same order
    // as a scalar sum would.
    Float4 sum = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int j = 0; j < 4; ++j) {
      const RLatticeValue* row = lattice + ((iv + j - 1) & kLatticeMask) * kLatticeSize;
      Float4 rowSum = {0.0f, 0.0f, 0.0f, 0.0f};
      for (int k = 0; k < 4; ++k) {
        Float4 value;
        std::memcpy(&value, &row[columns[k]], sizeof(value));
        rowSum += wu[k] * value;
      }
      sum += wv[j] * rowSum;
    }
    const float l = sum[0], a = sum[1], b = sum[2];
    target[3 * i] += octave.lumaWeight * l;
    target[3 * i + 1] += octave.chromaWeight * a;
    target[3 * i + 2] += octave.chromaWeight * b;
  }
}

void CSceneTexture::collectShapes(double minX, double minY, double maxX, double maxY,
                                  std::vector<RShape>& shapes) const {
  const long long tx0 = static_cast<long long>(std::floor((minX - kMaxExtent) / kTileSize));
  const long long tx1 = static_cast<long long>(std::floor((maxX + kMaxExtent) / kTileSize));
  const long long ty0 = static_cast<long long>(std::floor((minY - kMaxExtent) / kTileSize));
  const long long ty1 = static_cast<long long>(std::floor((maxY + kMaxExtent) / kTileSize));
  for (long long ty = ty0; ty <= ty1; ++ty) {
    for (long long tx = tx0; tx <= tx1; ++tx) {
      CSeededRandom random(hashValues(seed_, kShapeStream, static_cast<std::uint64_t>(tx),
                                      static_cast<std::uint64_t>(ty)));
      const int count = static_cast<int>(random.next() % 4);
      for (int i = 0; i < count; ++i) {
        RShape shape;
        shape.disc = random.uniform() < 0.45;
        shape.centreX = (tx + random.uniform()) * kTileSize;
        shape.centreY = (ty + random.uniform()) * kTileSize;
        const double angle = random.uniform(0.0, std::numbers::pi);
        shape.cosA = std::cos(angle);
        shape.sinA = std::sin(angle);
        if (shape.disc) {
          shape.halfWidth = shape.halfHeight = random.uniform(5.0, 40.0);
          shape.extent = shape.halfWidth + 4.0 * kEdgeSigma;
        } else {
          shape.halfWidth = random.uniform(4.0, kMaxHalfSize);
          shape.halfHeight = random.uniform(4.0, kMaxHalfSize);
          shape.extent = std::hypot(shape.halfWidth, shape.halfHeight) + 4.0 * kEdgeSigma;
        }
        shape.luma = static_cast<float>(random.uniform(-0.25, 0.25)) * contrast_;
        shape.chromaA = static_cast<float>(random.uniform(-0.18, 0.18)) * contrast_;
        shape.chromaB = static_cast<float>(random.uniform(-0.18, 0.18)) * contrast_;
        shape.order = random.next();
        shapes.push_back(shape);
      }
    }
  }
  std::sort(shapes.begin(), shapes.end(),
            [](const RShape& a, const RShape& b) { return a.order < b.order; });
}

void CSceneTexture::sampleLine(double x0, double y0, double dx, double dy, int count,
                               RColour* out) const {
  if (count <= 0) return;
  std::vector<float> coarse(3 * static_cast<std::size_t>(count), 0.0f);
  std::vector<float> fine(3 * static_cast<std::size_t>(count), 0.0f);
  for (const ROctave& octave : octaves_) {
    addOctave(octave, x0, y0, dx, dy, count, coarse.data(), fine.data());
  }
  // Total = coarse + fine; inside a shape the shape's colour replaces the
  // coarse part, so its inside stays textured but its outline stands out.
  for (std::size_t i = 0; i < coarse.size(); ++i) coarse[i] += fine[i];

  if (withShapes_) {
    const double x1 = x0 + (count - 1) * dx, y1 = y0 + (count - 1) * dy;
    std::vector<RShape> shapes;
    collectShapes(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1), shapes);
    const CGaussianCdf& cdf = gaussianCdf();
    const double stepSquared = dx * dx + dy * dy;
    const double inverseSigma = 1.0 / kEdgeSigma;
    for (const RShape& shape : shapes) {
      // The samples within `extent` of the centre form one run along the line.
      const double cx = shape.centreX - x0, cy = shape.centreY - y0;
      int first = 0, last = count - 1;
      if (stepSquared > 0.0) {
        const double along = (cx * dx + cy * dy) / stepSquared;
        const double offX = cx - along * dx, offY = cy - along * dy;
        const double distanceSquared = offX * offX + offY * offY;
        const double extentSquared = shape.extent * shape.extent;
        if (distanceSquared >= extentSquared) continue;
        const double half = std::sqrt((extentSquared - distanceSquared) / stepSquared);
        first = std::max(0, static_cast<int>(std::ceil(along - half)));
        last = std::min(count - 1, static_cast<int>(std::floor(along + half)));
      } else if (cx * cx + cy * cy >= shape.extent * shape.extent) {
        continue;
      }
      for (int i = first; i <= last; ++i) {
        const double px = x0 + i * dx - shape.centreX;
        const double py = y0 + i * dy - shape.centreY;
        float cover;
        if (shape.disc) {
          cover = cdf((shape.halfWidth - std::sqrt(px * px + py * py)) * inverseSigma);
        } else {
          const double a = shape.cosA * px + shape.sinA * py;
          const double b = -shape.sinA * px + shape.cosA * py;
          cover = (cdf((a + shape.halfWidth) * inverseSigma) -
                   cdf((a - shape.halfWidth) * inverseSigma)) *
                  (cdf((b + shape.halfHeight) * inverseSigma) -
                   cdf((b - shape.halfHeight) * inverseSigma));
        }
        if (cover <= 0.0f) continue;
        float* total = &coarse[3 * i];
        const float* detail = &fine[3 * i];
        total[0] += cover * (shape.luma + detail[0] - total[0]);
        total[1] += cover * (shape.chromaA + detail[1] - total[1]);
        total[2] += cover * (shape.chromaB + detail[2] - total[2]);
      }
    }
  }

  for (int i = 0; i < count; ++i) {
    out[i] = toRgb(coarse[3 * i], coarse[3 * i + 1], coarse[3 * i + 2]);
  }
}

RColour CSceneTexture::sample(double x, double y) const {
  RColour colour;
  sampleLine(x, y, 0.0, 0.0, 1, &colour);
  return colour;
}

}  // namespace qvclip

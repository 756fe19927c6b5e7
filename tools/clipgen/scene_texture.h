// The textured plane that generated clips show: an endless, seeded colour
// texture of smooth value noise at five scales (lattice cells of 64, 32, 16,
// 8 and 4 plane units) with soft-edged discs and rectangles (8 to 90 units
// across) laid over it, whose insides keep the finer texture.
//
// Band limit: the noise is interpolated with cubic B-splines (whose spectrum
// falls as sinc^4, with zeros at multiples of the lattice frequency) and the
// shape edges are Gaussian-blurred (sigma 1.5 units), so the texture carries
// almost no energy at periods below 4 units. Point samples at pixel centres
// therefore represent it without aliasing at any sub-pixel position, for
// scales up to about 1.3 plane units per pixel, and a moved camera sees
// exactly the moved picture (a Lanczos-8 warp of one frame reproduces the
// next to within the 8-bit rounding); this is what makes the generated motion
// measurable to hundredths of a pixel. Interlaced fields sample every second
// line only and see some vertical aliasing of the finest scale and edges.
//
// Colours lie in (0, 1) per channel, mean about 0.5, luma standard deviation
// about 0.15; the rare values beyond 0.1 .. 0.9 are bent smoothly into range
// rather than clipped, since a clip would add detail beyond the band limit.
//
// Thread-safety: immutable after construction; sampling from several threads
// at once is safe.
#pragma once

#include <cstdint>
#include <vector>

namespace qvclip {

struct RColour {
  float r = 0.0f, g = 0.0f, b = 0.0f;
};

class CSceneTexture {
 public:
  // `withShapes` false gives the noise alone (the texture of foreground
  // patches); `contrast` scales the deviation from mid grey.
  explicit CSceneTexture(std::uint64_t seed, bool withShapes = true, float contrast = 1.0f);

  // Samples `count` plane points (x0 + i*dx, y0 + i*dy), i = 0 .. count-1,
  // into out[0 .. count-1]. Points along a line are how frame rows map onto
  // the plane, and are much cheaper than single samples.
  void sampleLine(double x0, double y0, double dx, double dy, int count, RColour* out) const;

  RColour sample(double x, double y) const;

 private:
  struct RLatticeValue {
    float luma, chromaA, chromaB, unused;
  };
  struct ROctave {
    double cell;        // plane units per lattice cell
    double cosA, sinA;  // rotation of the lattice against the plane axes
    double offsetU, offsetV;
    float lumaWeight, chromaWeight;
    bool fine;  // kept inside shapes
  };
  struct RShape;

  void addOctave(const ROctave& octave, double x0, double y0, double dx, double dy, int count,
                 float* coarse, float* fine) const;
  void collectShapes(double x0, double y0, double x1, double y1, std::vector<RShape>& shapes) const;

  std::uint64_t seed_;
  bool withShapes_;
  float contrast_;
  std::vector<RLatticeValue> lattice_;  // kLatticeSize x kLatticeSize, wrapped
  std::vector<ROctave> octaves_;
};

}  // namespace qvclip

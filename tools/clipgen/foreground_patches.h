// Opaque textured patches (discs and rectangles) that move over the picture
// on their own paths, independent of the camera: the part of a clip whose
// motion the analysis must reject as not belonging to the background.
//
// Patches live in frame coordinates: pixel-edge x to the right and y_top
// downwards from the top-left corner of the picture. Each follows a smooth
// elliptic orbit around a point in the middle half of the picture (at 2 to 4
// pixels per frame at 640 x 480) and turns by up to 1.5 degrees per frame;
// its edge is Gaussian-blurred by 1.2 pixels so that it moves without
// aliasing too. Sizes scale with the picture: half sizes of 8 % to 14 % of
// the smaller side.
//
// Thread-safety: immutable after construction; painting rows from several
// threads at once is safe.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/clipgen/scene_texture.h"

namespace qvclip {

struct RPatchState {
  bool disc = false;
  double centreX = 0.0, centreY = 0.0;       // pixels, x right, y_top down
  double angle = 0.0;                        // radians, clockwise on screen (y down)
  double halfWidth = 0.0, halfHeight = 0.0;  // a disc's radius is halfWidth
  // Beyond this distance (pixels) from the centre the patch changes nothing.
  double extent = 0.0;
};

class CForegroundPatches {
 public:
  CForegroundPatches(std::uint64_t seed, int count, int width, int height);

  int count() const { return static_cast<int>(patches_.size()); }
  // State at `time` in frames (the same time base as the camera path).
  RPatchState stateAt(int index, double time) const;
  // How much of pixel centre (x + 0.5, yTop + 0.5) the patch covers: 0..1.
  static double coverage(const RPatchState& state, double x, double yTop);

  // Paints all patches, as they are at `time`, over picture row `yTop`, whose
  // `width` colours are in `row`.
  void paintRow(double time, int yTop, int width, RColour* row) const;

 private:
  struct RPatch {
    bool disc;
    double halfWidth, halfHeight;
    double centreX, centreY;  // orbit centre
    double radiusX, radiusY;  // orbit radii
    double rateX, rateY;      // radians per frame
    double phaseX, phaseY;
    double angle0, turnRate;    // radians, radians per frame
    double textureX, textureY;  // where the patch's texture lies on its plane
  };

  std::vector<RPatch> patches_;
  CSceneTexture texture_;
};

}  // namespace qvclip

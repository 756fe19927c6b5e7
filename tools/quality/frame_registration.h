// Where the picture of a frame went in a transformed copy of it (for
// example a stabiliser's output frame): the affine map from the copy's pixels
// to the original's, estimated from the two luma images alone, so that any
// stabiliser's output is measured the same way.
//
// Method: coarse-to-fine Gauss-Newton on image pyramids (2 x 2 averages down
// to about 40 pixels), minimising the luma difference with Tukey weights, so
// that borders, filled-in areas and anything else that is not the
// original's picture count as outliers; on the coarsest level a translation
// search around the guess first, so a poor guess does not trap the fit.
//
// Coordinates are pixel edges: x to the right, y downwards from the top-left
// corner, pixel centres at +0.5.
//
// Thread-safety: the functions share no state.
#pragma once

#include "tools/quality/y4m_reader.h"

namespace qvquality {

// Maps a point (x, y) of the copy (width w, height h) to the original
// (width W, height H), in centred offsets u = x - w/2, v = y - h/2:
//   X = W/2 + tx + xx * u + xy * v,   Y = H/2 + ty + yx * u + yy * v.
struct RAffine {
  double tx = 0.0, ty = 0.0;
  double xx = 1.0, xy = 0.0, yx = 0.0, yy = 1.0;
};

void mapPoint(const RAffine& map, int copyWidth, int copyHeight, int originalWidth,
              int originalHeight, double x, double y, double* originalX, double* originalY);

// Linear scale of the map: the square root of its determinant (original
// pixels per copy pixel; below 1 the copy shows the original enlarged).
double linearScale(const RAffine& map);

struct RRegistration {
  RAffine map;
  double residual = 0.0;     // robust spread of the luma difference on the finest level, levels
  double inlierShare = 0.0;  // share of the copy's pixels that fit the original
};

// `guess` is where the search starts (e.g. the previous frame's result).
RRegistration registerFrames(const RLumaFrame& copy, const RLumaFrame& original,
                             const RAffine& guess);

}  // namespace qvquality

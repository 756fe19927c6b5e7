// How much shake a stabilised copy of a generated clip has left, measured
// against the clip's true camera path rather than by any stabiliser's own
// analysis: every output frame's map back to its source frame (from
// frame_registration.h) leads, through the generator's exact poses, to the
// scene point that each output pixel shows.
//
// Two measures, both taken at nine picture points (a 3 x 3 grid at 15 %, 50 %
// and 85 % of width and height, so rotation, zoom and rolling-shutter wobble
// count as the displacements they cause), in pixels of the picture the point
// is seen in, RMS over points and frames:
// - shake: how far the point strays from where the camera's intended path
//   (the path without its jitter) would show it, after taking out a
//   quadratic trend per scene (a steady offset, zoom or lag is no shake);
//   this counts slow wobble as well as fast jitter, so it shows how strong
//   the smoothing is;
// - jitter: the fast part alone, the path minus a centred quadratic-weighted
//   average over 11 frames, as tools/jitter measures it.
// Scene cuts start new paths; frames within 5 of a cut or an end take no part.
// The same points of the source frames give what there was to remove.
//
// Thread-safety: the functions share no state.
#pragma once

#include <vector>

#include "tools/clipgen/clip_generator.h"
#include "tools/quality/frame_registration.h"

namespace qvquality {

struct RShake {
  double x = 0.0, y = 0.0;              // shake, pixels
  double jitterX = 0.0, jitterY = 0.0;  // its fast part, pixels
  int frames = 0;                       // frames that took part
};

// The source clip's own shake (global or rolling shutter; not interlaced).
RShake sourceShake(const qvclip::CClipGenerator& generator);

// The shake of an output whose frame n (width x height) maps to source frame
// n through maps[n]; maps holds one entry per source frame.
RShake outputShake(const qvclip::CClipGenerator& generator, const std::vector<RAffine>& maps,
                   int width, int height);

}  // namespace qvquality

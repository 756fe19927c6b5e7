// Filling the uncovered border of a corrected frame from the held previous
// and future frames: the pixel's scene point is followed through the
// neighbour maps, frame by frame (previous 1, future 1, previous 2, ...),
// never across a scene start. Without soft borders the first frame that
// covers the point wins; with soft borders frames are blended with weights
// that fade towards each frame's edge.
//
// Runs inside the rendering threads; reads the entries only and writes only
// its own destination pixel.
#pragma once

#include <cstdint>

#include "render/render_job.h"
#include "render/render_kernels.h"
#include "render/samplers.h"

// Called after the current frame's sample has been written to `pixel`.
// (X, Y) is the pixel's position in the current source frame (26-bit fixed
// point, after the current row table); `frameWidth` x `frameHeight` is the
// size of every held frame. Returns whether the pixel has its colour; false
// means it keeps the current sample and may be extrapolated.
bool compensateEdge(const RenderJob& job, int frameWidth, int frameHeight, std::int64_t X,
                    std::int64_t Y, Pixel32* pixel);

// The early test every pixel makes: the current position is far enough
// inside that no other frame is needed.
bool isFullyInside(const RenderJob& job, int frameWidth, int frameHeight, std::int64_t X,
                   std::int64_t Y);

// The same test as bounds on the integer pixel, for loops that make it
// pixel after pixel: fully inside is lowX <= X >> 26 < highX and likewise Y.
struct RInsideBounds {
  std::int64_t lowX, highX, lowY, highY;
  bool contains(std::int64_t X, std::int64_t Y) const {
    const std::int64_t sx = X >> kFixedShift, sy = Y >> kFixedShift;
    return sx >= lowX && sx < highX && sy >= lowY && sy < highY;
  }
};
RInsideBounds fullyInsideBounds(const RenderJob& job, int frameWidth, int frameHeight);

// The walk for several pixels at once, each in a lane: every lane follows
// the same frames in the same order (the steps depend on the entries, not on
// the position), so one pass over the held frames serves all lanes, and the
// samples of the other frames, whose taps always lie inside (they must be
// usable), come from the vector span kernels. Each lane ends with exactly
// what compensateEdge gives its pixel, lanes that end early drop out.
constexpr int kEdgeLanes = 8;
struct REdgeLanes {
  int count = 0;  // lanes in use, at most kEdgeLanes
  std::int64_t X[kEdgeLanes], Y[kEdgeLanes];
  Pixel32* pixels[kEdgeLanes];  // each holding the current frame's sample
  bool found[kEdgeLanes];       // out: compensateEdge's result
};
void compensateEdgeLanes(const RenderJob& job, int frameWidth, int frameHeight,
                         const RRenderKernels& kernels, REdgeLanes& lanes);

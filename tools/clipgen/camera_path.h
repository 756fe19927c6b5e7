// The camera of a generated clip: where it looks on the scene plane at any
// moment, and the exact frame-to-frame motion that follows from two poses in
// the convention of the motion analysis.
//
// Plane: X to the right, Y upwards, in plane units (one unit is one pixel at
// scale 1). Frame: pixel-edge coordinates x to the right and y_top downwards
// from the top-left corner; centred coordinates h = x - W/2 to the right and
// v = H/2 - y_top upwards, so pixel (x, y_top) has its centre at
// h = x + 0.5 - W/2, v = H/2 - (y_top + 0.5).
//
// A pose shows plane point  centre + scale * R(angle) * (h, v)  at the frame
// point (h, v), where R(angle) turns counter-clockwise (Y up).
//
// Thread-safety: CCameraPath is immutable after construction; the free
// functions share no state.
#pragma once

#include <cstdint>
#include <vector>

namespace qvclip {

struct RPose {
  double centreX = 0.0, centreY = 0.0;  // plane point at the frame centre
  double angle = 0.0;                   // radians, counter-clockwise with Y up
  double scale = 1.0;                   // plane units per pixel
};

// Motion of the current frame against the previous one: the content at
// centred offset (h, v) of the current frame lay in the previous frame at
//   x + panX + r*v + z*h,   y_top + panY + r*h - z*v
// (pixels, x right, y DOWN). zoom = sqrt((1+z)^2 + r^2) and rotation (degrees)
// = atan2(r, 1+z), so r = zoom*sin(rotation) and 1+z = zoom*cos(rotation).
// Consequences: positive panX means the content moved left (camera panned
// right); positive panY means it moved up (camera tilted down); positive
// rotation means the content turned counter-clockwise on screen (camera rolled
// clockwise); zoom > 1 means the content shrank (camera zoomed out).
struct RMotion {
  double panX = 0.0, panY = 0.0;
  double rotation = 0.0;  // degrees
  double zoom = 1.0;
  double r = 0.0, z = 0.0;
};

// The exact similarity between two poses of a planar scene.
RMotion motionBetween(const RPose& previous, const RPose& current);

// Where a plane point appears in a frame of the given size taken with `pose`:
// pixel-edge coordinates (x right, y_top down).
void planeToFrame(const RPose& pose, int width, int height, double planeX, double planeY, double* x,
                  double* yTop);
// The plane point shown at frame position (x, y_top), pixel-edge coordinates.
void frameToPlane(const RPose& pose, int width, int height, double x, double yTop, double* planeX,
                  double* planeY);

// The intended path is a smooth camera motion; jitter is added on top. Rates
// are given so that a path without jitter reports exactly these values per
// frame while the camera is not yet turned or zoomed: panX/panY in pixels
// (camera moving right/down), rotation in degrees, zoom as a factor.
struct RCameraPathSettings {
  double panX = 0.0, panY = 0.0;                          // pixels per frame
  double panAccelerationX = 0.0, panAccelerationY = 0.0;  // pixels per frame per frame
  double rotation = 0.0;                                  // degrees per frame
  double zoom = 1.0;                                      // factor per frame
  // Standard deviations of the random offsets from the intended path. The
  // offsets are white noise smoothed over about two frames, so the
  // frame-to-frame shake is about 0.8 times these.
  double jitterPixels = 0.0;
  double jitterDegrees = 0.0;
  double jitterZoom = 0.0;  // relative scale change, e.g. 0.003
};

class CCameraPath {
 public:
  // Poses are prepared for frames -2 .. frameCount + 1, so that rolling-shutter
  // rows and fields just outside the clip have poses too.
  CCameraPath(const RCameraPathSettings& settings, std::uint64_t seed, int frameCount);

  // Pose at `time` in frames: frame n is taken at time n. Between frames the
  // pose moves linearly (centre and angle linear, scale geometric), so that a
  // rolling-shutter frame, whose rows span less than one frame period, sees a
  // motion that changes linearly from its top row to its bottom row. Times
  // outside the prepared range continue the nearest segment.
  RPose poseAt(double time) const;

 private:
  static constexpr int kFirstFrame = -2;
  std::vector<RPose> poses_;  // poses_[i] is frame kFirstFrame + i
};

}  // namespace qvclip

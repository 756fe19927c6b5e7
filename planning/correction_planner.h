// From the logged motion to one RFramePlan per entry: the camera path is
// accumulated and smoothed per channel within the correction limits, the
// zoom is planned for the chosen edge compensation, and every entry gets
// its fixed-point destination-to-source transform, the maps to its
// neighbours and its rolling-shutter edge sets.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/common/frame_geometry.h"
#include "plugin/common/frame_plan.h"

struct InstanceData;
struct RMotionSeries;

enum class MappingDirection { kForward, kInverse };

// Which three points a frame mapping is taken from. Pixel indices suit the
// maps between neighbouring frames; pixel centres the output transform,
// whose origin interpolating samplers then take half a pixel earlier so
// that integer coordinates are pixel centres.
enum class MappedPoints { kPixelCentres, kPixelIndices };

// Frame sizes of the run as the host describes them (fields for interlaced).
struct RPlanSizes {
  int sourceWidth = 0, sourceHeight = 0;
  int destWidth = 0, destHeight = 0;
};

// What the planner decided, per entry, for people to look at (the plan
// command of the host): each channel's camera path, the smoothed path and
// the correction limit; the zoom channel in log units.
struct RPlanChannel {
  std::vector<double> path;      // cumulative camera path
  std::vector<double> smoothed;  // where the corrected camera goes
  double limit = 0.0;            // largest correction |smoothed - path| allowed
};

struct RPlanReport {
  RPlanChannel panX, panY, rotation;  // pixels, pixels, degrees
  RPlanChannel
      logZoom;  // camera log zoom; smoothed: the zoom path before the edge-compensation zoom
  std::vector<double> zoomFactor;  // the zoom each entry is rendered with (extraZoom included)
  std::vector<int> sceneStart;
  int edgeCompensation = 0;
};

// Builds framePlans (plannedFrameCount entries, > 2) from the series, which
// are made cumulative in place. Shows the progress dialog meanwhile. Returns
// false when smoothing was aborted or hit its cap; framePlans is then
// released. With `report`, also fills it.
bool planCorrections(InstanceData& data, const RPlanSizes& sizes, RMotionSeries& series,
                     RPlanReport* report = nullptr);

// The affine map of a frame from three mapped points, in 26-bit fixed
// point: forward through mapDestToSource, inverse through mapSourceToDest.
// `resampling` is the setting (0 nearest neighbour, else interpolating).
void buildFrameMapping(MappingDirection direction, const RGeometry& geometry, MappedPoints points,
                       int resampling, RAffineMap out);

// The largest zoom at which the destination still lies inside the source:
// the smallest corner zoom (at most 10) times (m - 1) / m, m the
// destination's shorter side. The geometry's zoom is not used; its
// sourceInterlaced is the one interlace flag (see findCornerZoom).
double coverageZoom(const RGeometry& geometry);

// The field an entry belongs to: upperFieldFirst for even entries, its
// negation for odd ones.
int entryFieldFlag(const InstanceData& data, int entry);

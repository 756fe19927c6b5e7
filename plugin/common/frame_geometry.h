// The one geometric model both passes share: a similarity transform
// (rotation, zoom, pan) about the frame centres in square-pixel units, with
// pixel-aspect conversion on both sides and interlaced fields mapped into
// frame lines.
//
// Units: x in pixels from the left edge; rotation in degrees; pan x in source
// pixels, pan y in source pixel widths. For mapDestToSource and
// mapSourceToDest y counts stored rows from the BOTTOM line upwards; for
// mapDestToSourceTopDown and findCornerZoom y counts from the top. A pixel's
// own position is its integer index (callers add 0.5 for centres). A field
// row y of an interlaced frame is frame row 2y + field.
//
// All arithmetic is double precision in the order written in the .cpp: the
// digits of the results feed the fixed-point maps of pass 2.
#pragma once

struct RPoint {
  double x = 0.0, y = 0.0;
};

// Everything a point mapping depends on besides the point.
struct RGeometry {
  int sourceWidth = 0, sourceHeight = 0;  // pixels, rows (field rows for fields)
  int destWidth = 0, destHeight = 0;
  double rotation = 0.0;  // degrees
  double zoom = 1.0;
  double panX = 0.0, panY = 0.0;
  double scale = 1.0;
  double sourceAspect = 1.0, destAspect = 1.0;  // pixel aspects
  int sourceInterlaced = 0, destInterlaced = 0;
  int field = 0;  // 0 or 1: field rows y are frame rows 2y + field
};

inline constexpr double kDegreesToRadians = 0.017453292519943295;

RPoint mapDestToSource(const RGeometry& g, double x, double y);

// The exact inverse of mapDestToSource for the same geometry.
RPoint mapSourceToDest(const RGeometry& g, double x, double y);

// Either mapping, for callers that choose the direction at run time.
using PointMapping = RPoint (*)(const RGeometry& g, double x, double y);

// Rows counted from the top, for frames that are both interlaced or both
// progressive: g.sourceInterlaced is the one flag; g.destInterlaced and
// g.field are not used (field 0).
RPoint mapDestToSourceTopDown(const RGeometry& g, double x, double y);

// Bisection for the largest zoom (searched between 0.1 and 10, to 0.001) at
// which the top-down destination point (x, y) still maps inside the source;
// g.zoom is what the search finds and is not used. A result of 1.0 or more
// only says that the point is covered unzoomed.
double findCornerZoom(const RGeometry& g, int x, int y);

#include "plugin/common/frame_geometry.h"

#include <cmath>

RPoint mapDestToSource(const RGeometry& g, double x, double y) {
  const double a = g.rotation * kDegreesToRadians;
  const double c = std::cos(a);
  const double s = std::sin(a);

  double frameY;
  double destCentre;
  if (g.destInterlaced) {
    frameY = 2 * y + g.field;
    destCentre = g.destHeight;
  } else {
    frameY = y;
    destCentre = g.destHeight * 0.5;
  }
  const double u = (x - g.destWidth * 0.5) / g.scale;
  const double v = (frameY - destCentre) / g.scale / g.destAspect;
  const double x1 = c * u + s * v;
  const double y1 = c * v - s * u;

  const double sourceCentre = g.sourceInterlaced ? g.sourceHeight : g.sourceHeight * 0.5;
  RPoint result;
  result.x = g.zoom * x1 + g.panX + g.sourceWidth * 0.5;
  const double t = (g.zoom * y1 - g.panY) * g.sourceAspect + sourceCentre;
  result.y = g.sourceInterlaced ? t * 0.5 - 0.5 * g.field : t;
  return result;
}

RPoint mapSourceToDest(const RGeometry& g, double x, double y) {
  const double a = g.rotation * kDegreesToRadians;
  const double c = std::cos(a);
  const double s = std::sin(a);

  double frameY;
  double sourceCentre;
  if (g.sourceInterlaced) {
    frameY = 2 * y + g.field;
    sourceCentre = g.sourceHeight;
  } else {
    frameY = y;
    sourceCentre = g.sourceHeight * 0.5;
  }
  const double u = (x - g.sourceWidth * 0.5 - g.panX) / g.zoom;
  const double v = ((frameY - sourceCentre) / g.sourceAspect + g.panY) / g.zoom;
  const double x1 = c * u - s * v;
  const double y1 = (c * v + s * u) * g.destAspect;

  const double destCentre = g.destInterlaced ? g.destHeight : g.destHeight * 0.5;
  RPoint result;
  result.x = g.scale * x1 + g.destWidth * 0.5;
  const double t = g.scale * y1 + destCentre;
  result.y = g.destInterlaced ? t * 0.5 - 0.5 * g.field : t;
  return result;
}

RPoint mapDestToSourceTopDown(const RGeometry& g, double x, double y) {
  const double a = g.rotation * kDegreesToRadians;
  const double c = std::cos(a);
  const double s = std::sin(a);

  const int interlaced = g.sourceInterlaced;
  const double u = (x - g.destWidth * 0.5) / g.scale;
  const double v = interlaced == 0 ? -(y - g.destHeight * 0.5) / g.scale / g.destAspect
                                   : -(2 * y - g.destHeight) / g.scale / g.destAspect;
  const double x1 = c * u + s * v;
  const double y1 = s * u - c * v;

  RPoint result;
  result.x = g.zoom * x1 + g.panX + g.sourceWidth * 0.5;
  const double t = (g.zoom * y1 + g.panY) * g.sourceAspect;
  result.y = interlaced == 0 ? t + g.sourceHeight * 0.5 : (t + g.sourceHeight) * 0.5;
  return result;
}

double findCornerZoom(const RGeometry& g, int x, int y) {
  RGeometry trial = g;
  double lo = 0.1;
  double hi = 10.0;
  while (lo < 1.0) {
    const double mid = (lo + hi) * 0.5;
    trial.zoom = mid;
    const RPoint p = mapDestToSourceTopDown(trial, x, y);
    if (p.x >= 0 && p.x < g.sourceWidth && p.y >= 0 && p.y < g.sourceHeight) {
      lo = mid;
    } else {
      hi = mid;
    }
    if (hi - lo <= 0.001) break;
  }
  return lo;
}

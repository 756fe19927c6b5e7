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

RPoint mapDestToSourceTopDown(RImageSize source, RImageSize dest, double rotation, double zoom,
                              double panX, double panY, double scale, double sourceAspect,
                              double destAspect, int interlaced, double x, double y) {
  const double a = rotation * kDegreesToRadians;
  const double c = std::cos(a);
  const double s = std::sin(a);

  const double u = (x - dest.width * 0.5) / scale;
  const double v = interlaced == 0 ? -(y - dest.height * 0.5) / scale / destAspect
                                   : -(2 * y - dest.height) / scale / destAspect;
  const double x1 = c * u + s * v;
  const double y1 = s * u - c * v;

  RPoint result;
  result.x = zoom * x1 + panX + source.width * 0.5;
  const double t = (zoom * y1 + panY) * sourceAspect;
  result.y = interlaced == 0 ? t + source.height * 0.5 : (t + source.height) * 0.5;
  return result;
}

double findCornerZoom(RImageSize source, RImageSize dest, double rotation, double panX, double panY,
                      double scale, double sourceAspect, double destAspect, int interlaced, int x,
                      int y) {
  double lo = 0.1;
  double hi = 10.0;
  while (lo < 1.0) {
    const double mid = (lo + hi) * 0.5;
    const RPoint p = mapDestToSourceTopDown(source, dest, rotation, mid, panX, panY, scale,
                                            sourceAspect, destAspect, interlaced, x, y);
    if (p.x >= 0 && p.x < source.width && p.y >= 0 && p.y < source.height) {
      lo = mid;
    } else {
      hi = mid;
    }
    if (hi - lo <= 0.001) break;
  }
  return lo;
}

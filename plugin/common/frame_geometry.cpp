#include "plugin/common/frame_geometry.h"

#include <cmath>

RPoint mapDestToSource(int sourceWidth, int sourceHeight, int destWidth, int destHeight,
                       double rotation, double zoom, double panX, double panY, double scale,
                       double sourceAspect, double destAspect, int sourceInterlaced,
                       int destInterlaced, int field, double x, double y) {
  const double a = rotation * kDegreesToRadians;
  const double c = std::cos(a);
  const double s = std::sin(a);

  double frameY;
  double destCentre;
  if (destInterlaced) {
    frameY = 2 * y + field;
    destCentre = destHeight;
  } else {
    frameY = y;
    destCentre = destHeight * 0.5;
  }
  const double u = (x - destWidth * 0.5) / scale;
  const double v = (frameY - destCentre) / scale / destAspect;
  const double x1 = c * u + s * v;
  const double y1 = c * v - s * u;

  const double sourceCentre = sourceInterlaced ? sourceHeight : sourceHeight * 0.5;
  RPoint result;
  result.x = zoom * x1 + panX + sourceWidth * 0.5;
  const double t = (zoom * y1 - panY) * sourceAspect + sourceCentre;
  result.y = sourceInterlaced ? t * 0.5 - 0.5 * field : t;
  return result;
}

RPoint mapSourceToDest(int sourceWidth, int sourceHeight, int destWidth, int destHeight,
                       double rotation, double zoom, double panX, double panY, double scale,
                       double sourceAspect, double destAspect, int sourceInterlaced,
                       int destInterlaced, int field, double x, double y) {
  const double a = rotation * kDegreesToRadians;
  const double c = std::cos(a);
  const double s = std::sin(a);

  double frameY;
  double sourceCentre;
  if (sourceInterlaced) {
    frameY = 2 * y + field;
    sourceCentre = sourceHeight;
  } else {
    frameY = y;
    sourceCentre = sourceHeight * 0.5;
  }
  const double u = (x - sourceWidth * 0.5 - panX) / zoom;
  const double v = ((frameY - sourceCentre) / sourceAspect + panY) / zoom;
  const double x1 = c * u - s * v;
  const double y1 = (c * v + s * u) * destAspect;

  const double destCentre = destInterlaced ? destHeight : destHeight * 0.5;
  RPoint result;
  result.x = scale * x1 + destWidth * 0.5;
  const double t = scale * y1 + destCentre;
  result.y = destInterlaced ? t * 0.5 - 0.5 * field : t;
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

#include "render/row_tables.h"

#include <algorithm>
#include <cmath>

#include "plugin/common/fixed_point.h"
#include "plugin/common/frame_geometry.h"
#include "render/samplers.h"

namespace {

void buildTable(PointMapping map, int width, int height, const REdgeSet& top,
                const REdgeSet& bottom, double aspect, int interlaced, int field,
                RRowTableItem* table) {
  const double logTop = std::log(top.zoom), logBottom = std::log(bottom.zoom);
  for (int r = -height; r < 2 * height; ++r) {
    // A one-row frame has no top-to-bottom span: it takes the bottom set.
    const double t = height > 1 ? static_cast<double>(r) / (height - 1) : 0.0;
    const double panX = bottom.panX + (top.panX - bottom.panX) * t;
    const double panY = bottom.panY + (top.panY - bottom.panY) * t;
    const double rotation = bottom.rotation + (top.rotation - bottom.rotation) * t;
    const double zoom = std::exp(logBottom + (logTop - logBottom) * t);
    const RGeometry geometry{.sourceWidth = width,
                             .sourceHeight = height,
                             .destWidth = width,
                             .destHeight = height,
                             .rotation = rotation,
                             .zoom = zoom,
                             .panX = panX,
                             .panY = panY,
                             .scale = 1.0,
                             .sourceAspect = aspect,
                             .destAspect = aspect,
                             .sourceInterlaced = interlaced,
                             .destInterlaced = interlaced,
                             .field = field};
    auto point = [&](double x, double y) { return map(geometry, x, y); };
    const RPoint p0 = point(0, r), p1 = point(1, r), p2 = point(0, r + 1);
    RRowTableItem& item = table[r + height];
    item.t[0] = toFixedPoint(p0.x);
    item.t[1] = toFixedPoint(p0.y);
    item.t[2] = toFixedPoint(p1.x - p0.x);
    item.t[3] = toFixedPoint(p1.y - p0.y);
    item.t[4] = toFixedPoint(p2.x - p0.x);
    item.t[5] = toFixedPoint(p2.y - p0.y);
  }
}

}  // namespace

void buildRowTable(int width, int height, const REdgeSet& top, const REdgeSet& bottom,
                   double sourceAspect, int interlaced, int field, RRowTableItem* table) {
  buildTable(mapDestToSource, width, height, top, bottom, sourceAspect, interlaced, field, table);
}

void buildRowTableInverse(int width, int height, const REdgeSet& top, const REdgeSet& bottom,
                          double sourceAspect, int interlaced, int field, RRowTableItem* table) {
  buildTable(mapSourceToDest, width, height, top, bottom, sourceAspect, interlaced, field, table);
}

void applyRowTable(const RRowTableItem* table, int height, std::int64_t X, std::int64_t Y,
                   std::int64_t* outX, std::int64_t* outY) {
  const std::int64_t r = std::clamp<std::int64_t>(Y >> 26, -height, 2 * height - 1);
  const RRowTableItem& e = table[r + height];
  const std::int64_t f = wrapAdd(Y >> 8, -wrapMul(r, std::int64_t{1} << 18));
  *outX = wrapAdd(e.t[0], wrapAdd(wrapMul(e.t[2] >> 8, X >> 8), wrapMul(e.t[4] >> 8, f)) >> 10);
  *outY = wrapAdd(e.t[1], wrapAdd(wrapMul(e.t[3] >> 8, X >> 8), wrapMul(e.t[5] >> 8, f)) >> 10);
}

void applyNeighbourMap(const RAffineMap c, std::int64_t X, std::int64_t Y, std::int64_t* outX,
                       std::int64_t* outY) {
  *outX = wrapAdd(c[0], wrapAdd(wrapMul(c[2] >> 8, X >> 8), wrapMul(c[4] >> 8, Y >> 8)) >> 10);
  *outY = wrapAdd(c[1], wrapAdd(wrapMul(c[3] >> 8, X >> 8), wrapMul(c[5] >> 8, Y >> 8)) >> 10);
}

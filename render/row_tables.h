// Per-row maps for rolling-shutter video: every stored row of a frame gets
// its own affine map, interpolated between the motion of the bottom edge
// (stored row 0) and of the top edge (stored row h - 1), extrapolated beyond.
//
// A table has 3h items; item i belongs to stored row i - h, covering rows
// -h .. 2h - 1. Each item: origin (T0, T1), change per pixel along x
// (T2, T3) and per whole row (T4, T5), 26 fraction bits.
#pragma once

#include <cstdint>

#include "plugin/common/frame_plan.h"

// `top` is the first set of the pair (ownSkewPlus, previousTopEdge,
// nextTopEdge), `bottom` the second. The table must hold 3h items. The
// inverse variant uses the source-to-destination mapping.
void buildRowTable(int width, int height, const REdgeSet& top, const REdgeSet& bottom,
                   double sourceAspect, int interlaced, int field, RRowTableItem* table);
void buildRowTableInverse(int width, int height, const REdgeSet& top, const REdgeSet& bottom,
                          double sourceAspect, int interlaced, int field, RRowTableItem* table);

// Maps (X, Y) through the item of the row Y lies in (clamped to the table).
void applyRowTable(const RRowTableItem* table, int height, std::int64_t X, std::int64_t Y,
                   std::int64_t* outX, std::int64_t* outY);

// Maps (X, Y) through an affine map the way neighbour maps are applied: the
// coefficients and the position lose their low 8 bits before the products.
void applyNeighbourMap(const RAffineMap map, std::int64_t X, std::int64_t Y, std::int64_t* outX,
                       std::int64_t* outY);

// The pass-2 plan of one log entry, and its release.
//
// A plan entry owns everything its pointers point to. The array lives in the
// instance record (framePlans, plannedFrameCount) from the log read that
// built it until the next read of a changed log or the end of the instance.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/filter_interface.h"

struct InstanceData;

// Motion of one frame edge: pan x and pan y in pixels, rotation in degrees,
// zoom as a factor (not a logarithm).
struct REdgeSet {
  double panX, panY, rotation, zoom;
};

// One row of a rolling-shutter table: the row's origin (t[0], t[1]), change
// per pixel along x (t[2], t[3]) and per whole row (t[4], t[5]), each a
// signed 64-bit value with 26 fraction bits.
struct RRowTableItem {
  std::int64_t t[6];
};

// A copy of one source frame held for edge compensation: a host-style
// bitmap header over pixel memory of its own.
struct RFrameCopy {
  VFBitmap bitmap;
  std::vector<Pixel32> pixels;
};

// Affine map in 26-bit fixed point: (x, y) -> (c0 + x*c2 + y*c4, c1 + x*c3 + y*c5).
using RAffineMap = std::int64_t[6];

struct RFramePlan {
  RAffineMap transform;   // destination pixel -> this entry's source position
  RAffineMap toPrevious;  // this source -> previous entry's source (if used)
  RAffineMap toNext;      // this source -> next entry's source (if used)
  RRowTableItem* currentRowTable;
  RRowTableItem* previousRowTable;
  RRowTableItem* nextRowTable;
  REdgeSet* ownSkewPlus;
  REdgeSet* ownSkewMinus;
  REdgeSet* previousTopEdge;
  REdgeSet* previousBottomEdge;
  REdgeSet* nextTopEdge;
  REdgeSet* nextBottomEdge;
  RFrameCopy* frameBitmap;
  std::int32_t sceneStart;
};

// Releases an entry's frame copy and row tables; with `full` also its six
// edge sets. Released pointers are nulled.
void freeEntry(RFramePlan* plans, int index, bool full);

// Releases every entry (fully) and the array; framePlans becomes null and
// plannedFrameCount -1.
void releaseFramePlans(InstanceData& data);

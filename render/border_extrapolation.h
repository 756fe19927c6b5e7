// Colours for border pixels that no frame covered: the inverse-squared-
// distance weighted mean of every rim pixel (rendered pixels touching the
// border region), computed after all rendering threads have ended.
//
// The pixel table (one pointer per destination pixel, index y * width + x in
// stored rows) is process-wide: created at the pass-2 start when colour
// extrapolation is on, all null between frames, released at the end.
#pragma once

#include <cstdint>

#include "render/render_job.h"

struct RBorderPixel {
  std::int32_t x, y;
  double redSum, greenSum, blueSum, weightSum;
};

void createBorderPixelTable(int width, int height);
void releaseBorderPixelTable();
bool borderPixelTableExists();

// From a rendering thread: records the pixel under the job's border lock.
void registerBorderPixel(RenderJob& job, int x, int y);

// Rewrites every registered pixel of the destination and releases the
// records. Results do not depend on the order in which threads registered.
void extrapolateBorder(RenderJob& job);

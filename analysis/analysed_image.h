// Level 0 of the analysed pyramid from a host frame, the ignored areas, and
// the reduction to the coarser levels.
//
// Analysed images are top-down (row 0 = top line of the picture); the host's
// bitmap is bottom-up, so source row k (from the bottom) becomes image row
// height - 1 - k. Ignored pixels carry kIgnoredPixel in g and never
// contribute to a match.
#pragma once

#include "plugin/common/instance_data.h"
#include "plugin/common/video_image.h"
#include "plugin/filter_interface.h"

struct InstanceData;

// Fills `image` (already created with the source's size) from the bitmap:
// RGB keeps the three channels and their squares; grey mode stores only
// g = (150 G + 77 R + 29 B) >> 8 and its square.
void loadAnalysedImage(CVideoImage& image, const VFBitmap& source);

// Marks the outside margins and the inside rectangle of the settings as
// ignored (only those switched on). Margins in pixels of this image.
void markIgnoredAreas(CVideoImage& image, const InstanceData& settings);

// Computes levels firstLevel.. (at least 1) of `pyramid`, each from the one
// below: each pixel the average of a 2 x 2 square (sum >> 2), ignored when
// any of the four is.
void reducePyramid(CImagePyramid& pyramid, int firstLevel = 1);

// Levels 1 and up straight from the host frame, for frames whose level 0
// nothing else reads: the values of loadAnalysedImage, markIgnoredAreas and
// reducePyramid, without writing level 0 (left as it was). Done only by the
// vector kernels (and only with two levels or more): returns false, and
// does nothing, where it is not. Bands of rows run on up to `threadCount`
// threads (joined before the return), each reducing its own rows of the
// next few levels too.
bool loadLevelOne(CImagePyramid& pyramid, const VFBitmap& source, const InstanceData& settings,
                  int threadCount = 1);

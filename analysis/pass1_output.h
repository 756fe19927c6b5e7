// What pass 1 shows in its output frames: the analysed picture at half
// brightness (ignored areas black), every block's vector (white when the fit
// used it, red when discarded) and a line of results in the text strip
// below the picture.
//
// The destination given is the call's region (for fields: one half of the
// frame, as the field split left it): H + 10 rows of the picture's width,
// stored bottom-up. The device context covers the whole frame, top-down,
// so the second field's drawings are shifted down by `yOffset`.
#pragma once

#include <string>
#include <vector>

#include "analysis/global_fit.h"
#include "plugin/common/video_image.h"
#include "plugin/filter_interface.h"

struct InstanceData;

struct RPass1Drawing {
  const CVideoImage* image = nullptr;  // level 0 after the ignore marks
  int columns = 0, rows = 0;           // finest block grid
  const double* dx = nullptr;          // finest vectors; dy in frame lines for fields
  const double* dy = nullptr;
  const std::vector<int>* okFlags = nullptr;
  const RFrameMotion* motion = nullptr;
  int yOffset = 0;
};

void drawAnalysedFrame(const InstanceData& settings, VFBitmap& destination,
                       const RPass1Drawing& drawing);

inline constexpr const char* kNoPreviousFrameText = "No previous frame to match on";

// The frame that cannot be analysed: black, with the explanation.
void drawNoPreviousFrame(const InstanceData& settings, VFBitmap& destination, int pictureHeight,
                         int yOffset);

// The result line as shown under the picture.
std::string formatResultText(const InstanceData& settings, const RFrameMotion& motion);

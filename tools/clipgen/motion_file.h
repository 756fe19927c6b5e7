// The text file that travels with a generated clip and states its true
// motion. Format (the file documents itself in its '#' header lines):
//
//   label <TAB> panX <TAB> panY <TAB> rotationDeg <TAB> zoom
//         [<TAB> topPanX topPanY topRotationDeg topZoom bottomPanX bottomPanY
//                bottomRotationDeg bottomZoom]          (rolling shutter only)
//         [<TAB> first | new_scene]
//
// One line per frame, or per field in time order for interlaced clips; labels
// are the frame number, and for fields the frame number followed by 'A' (the
// field taken first) or 'B'. Values are those of RMotionRecord
// (camera_path.h gives the convention): pans in pixels with y downwards (frame
// lines for fields), rotation in degrees, zoom as a factor. Lines end in '\n'.
//
// Thread-safety: the functions share no state.
#pragma once

#include <string>
#include <vector>

#include "tools/clipgen/clip_generator.h"

namespace qvclip {

// `clipName` and `description` (one line, e.g. the variant) go into the header.
std::string formatMotionFile(const RClipSettings& settings,
                             const std::vector<RMotionRecord>& records, const std::string& clipName,
                             const std::string& description);

// The label of a record: "12" for a frame, "12A" / "12B" for a field.
std::string motionLabel(const RMotionRecord& record);

}  // namespace qvclip

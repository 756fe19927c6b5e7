#include "plugin/common/settings_schema.h"

#include <array>

#include "plugin/common/instance_data.h"

namespace {

constexpr std::string_view kBothPasses = "Parameters affecting both passes";
constexpr std::string_view kPass1Group = "Pass 1 parameters";
constexpr std::string_view kPass2Group = "Pass 2 parameters";
constexpr std::string_view kImageMatching = "Image matching parameters";
constexpr std::string_view kDiscard = "Discard motion of blocks that...";
constexpr std::string_view kIgnore = "Ignore pixels";
constexpr std::string_view kSmoothness = "Motion smoothness";
constexpr std::string_view kLimits = "Max. correction limits (in percent and degrees)";
constexpr std::string_view kFillBorders = "Use previous and future frames to fill in borders";
constexpr std::string_view kVideoType = "Video type:";

constexpr std::array<RSettingItem, 2> kPassItems = {{{1, "Pass 1"}, {2, "Pass 2"}}};
constexpr std::array<RSettingItem, 8> kAspectItems = {{
    {0, "Square pixels  (1.0)"},
    {1, "Standard PAL  (1.094)"},
    {2, "Standard NTSC  (0.912)"},
    {3, "Anamorphic PAL  (1.459)"},
    {4, "Anamorphic NTSC  (1.215)"},
    {5, "SVCD PAL  (1.641)"},
    {6, "SVCD NTSC  (1.367)"},
    {7, "HDV 1440x1080 (1.333)"},
}};
constexpr std::array<double, 8> kAspectPresetValues = {
    1.0,
    1.094017094017094,
    0.9115847225152985,
    1.4586894586894585,
    1.2154462966870647,
    1.641025641025641,
    1.3673770837729478,
    1.3333333333333333,
};
// One list sets two settings: progressive (interlaced 0), or interlaced with
// the upper or the lower field first.
constexpr std::array<RSettingItem, 3> kVideoTypeItems = {{
    {0, "Progressive scan"},
    {1, "Interlaced, upper field first"},
    {1, "Interlaced, lower field first"},
}};
constexpr std::array<RSettingItem, 2> kFieldOrderItems = {{
    {1, "Interlaced, upper field first"},
    {0, "Interlaced, lower field first"},
}};
constexpr std::array<RSettingItem, 2> kVideoOutputItems = {{
    {0, "None  (slightly faster)"},
    {1, "Motion vectors"},
}};
constexpr std::array<RSettingItem, 3> kScaleItems = {{
    {0, "Full  (most precise)"},
    {1, "Half"},
    {2, "Quarter  (fastest)"},
}};
constexpr std::array<RSettingItem, 4> kUsePixelsItems = {{
    {1, "All  (most robust)"},
    {2, "Every 4th"},
    {3, "Every 9th"},
    {4, "Every 16th  (fastest)"},
}};
constexpr std::array<RSettingItem, 2> kColorModeItems = {{
    {1, "RGB  (most robust)"},
    {0, "Grayscale  (fastest)"},
}};
constexpr std::array<RSettingItem, 3> kResamplingItems = {{
    {0, "Nearest neighbor  (fastest)"},
    {1, "Bilinear"},
    {2, "Bicubic  (best)"},
}};
constexpr std::array<RSettingItem, 6> kEdgeCompensationItems = {{
    {0, "None  (large borders)"},
    {1, "Adaptive zoom  (some borders)"},
    {2, "Adaptive zoom only"},
    {3, "Fixed zoom  (no borders)"},
    {4, "Adaptive+fixed (no borders)"},
    {5, "Adaptive+fixed only"},
}};

constexpr RSettingCondition kWhenRollingShutter{"rollingShutter", "", true};
constexpr RSettingCondition kWithoutRollingShutter{"rollingShutter", "", false};
constexpr RSettingCondition kWhenOutside{"ignoreOutside", "", true};
constexpr RSettingCondition kWhenInside{"ignoreInside", "", true};
constexpr RSettingCondition kWhenDarker{"ignoreDarker", "", true};
constexpr RSettingCondition kOwnDestination{"sameDestAsSource", "", false};
constexpr RSettingCondition kWhenInterlaced{"interlaced", "", true};
constexpr RSettingCondition kWhenFilling{"usePreviousFrames", "useFutureFrames", true};
constexpr RSettingCondition kWhenSoft{"softBorders", "", true};

using enum SettingType;
using enum RangeKind;
using enum DialogColumn;

// clang-format off
constexpr std::array<RSetting, 60> kSchema = {{
    {.name = "pass", .position = 2, .type = kInt, .defaultValue = 1, .range = kChoice, .min = 1,
     .max = 2, .column = kBoth, .items = kPassItems, .sinceVersion = 1,
     .meaning = "1 runs pass 1 (analysis, writes the log); any other value pass 2 (correction)",
     .intMember = &InstanceData::pass},
    {.name = "blockSize", .position = 3, .type = kInt, .defaultValue = 30, .range = kValidated,
     .min = 1, .max = 100, .column = kPass1, .label = "Block size:", .unit = "pixels",
     .group = kImageMatching, .sinceVersion = 1,
     .meaning = "side of the blocks matched between frames, in pixels",
     .intMember = &InstanceData::blockSize},
    {.name = "differentialSearchRange", .position = 4, .type = kInt, .defaultValue = 4,
     .range = kValidated, .min = 1, .max = 50, .column = kPass1,
     .label = "Differential search range:", .unit = "pixels", .group = kImageMatching,
     .sinceVersion = 1,
     .meaning = "how far a block is searched around the coarser level's prediction, in pixels",
     .intMember = &InstanceData::differentialSearchRange},
    {.name = "sourcePixelAspect", .position = 5, .type = kDouble, .defaultValue = 1.0,
     .range = kPositive, .column = kBoth, .label = "Source pixel aspect:", .group = kBothPasses,
     .sinceVersion = 1,
     .meaning = "width-to-height ratio of a source pixel (a preset's value, or typed)",
     .doubleMember = &InstanceData::sourcePixelAspect},
    {.name = "sourcePixelAspectPreset", .position = 6, .type = kInt, .defaultValue = 0,
     .range = kChoice, .min = -1, .max = 7, .column = kBoth, .label = "Source pixel aspect:",
     .group = kBothPasses, .items = kAspectItems, .presetValues = kAspectPresetValues,
     .presetTarget = "sourcePixelAspect", .sinceVersion = 1,
     .meaning = "the source aspect's preset; -1 when the value was typed",
     .intMember = &InstanceData::sourcePixelAspectPreset},
    {.name = "destPixelAspect", .position = 7, .type = kDouble, .defaultValue = 1.0,
     .range = kPositive, .column = kPass2, .label = "Destination pixel aspect:",
     .group = kPass2Group, .conditions = {kOwnDestination}, .sinceVersion = 1,
     .meaning = "width-to-height ratio of a destination pixel (a preset's value, or typed)",
     .doubleMember = &InstanceData::destPixelAspect},
    {.name = "destPixelAspectPreset", .position = 8, .type = kInt, .defaultValue = 0,
     .range = kChoice, .min = -1, .max = 7, .column = kPass2, .label = "Destination pixel aspect:",
     .group = kPass2Group, .items = kAspectItems, .presetValues = kAspectPresetValues,
     .presetTarget = "destPixelAspect", .conditions = {kOwnDestination}, .sinceVersion = 1,
     .meaning = "the destination aspect's preset; -1 when the value was typed",
     .intMember = &InstanceData::destPixelAspectPreset},
    {.name = "destWidth", .position = 9, .type = kInt, .defaultValue = 640, .range = kValidated,
     .min = 1, .max = 10000, .column = kPass2, .label = "Destination video size:", .unit = "x",
     .group = kPass2Group, .conditions = {kOwnDestination}, .sinceVersion = 1,
     .meaning = "pass-2 output width in pixels when the output is not the source's size",
     .intMember = &InstanceData::destWidth},
    {.name = "destHeight", .position = 10, .type = kInt, .defaultValue = 480, .range = kValidated,
     .min = 1, .max = 10000, .column = kPass2, .group = kPass2Group,
     .conditions = {kOwnDestination}, .sinceVersion = 1,
     .meaning = "pass-2 output height in pixels when the output is not the source's size",
     .intMember = &InstanceData::destHeight},
    {.name = "scale", .position = 11, .type = kInt, .defaultValue = 1, .range = kChoice, .min = 0,
     .max = 2, .column = kPass1, .label = "Scale:", .group = kImageMatching, .items = kScaleItems,
     .sinceVersion = 1, .meaning = "image size the blocks are matched at",
     .intMember = &InstanceData::scale},
    {.name = "usePixels", .position = 12, .type = kInt, .defaultValue = 2, .range = kChoice,
     .min = 1, .max = 4, .column = kPass1, .label = "Use pixels:", .group = kImageMatching,
     .items = kUsePixelsItems, .sinceVersion = 1,
     .meaning = "pixel step n: every n-th pixel in both directions is compared",
     .intMember = &InstanceData::usePixels},
    {.name = "colorModeRgb", .position = 13, .type = kBool, .defaultValue = 1, .range = kNone,
     .column = kPass1, .label = "Color mode:", .group = kImageMatching, .items = kColorModeItems,
     .sinceVersion = 1, .meaning = "1 matches the colour channels, 0 the brightness only",
     .intMember = &InstanceData::colorModeRgb},
    {.name = "smoothHorizontalPanning", .position = 14, .type = kInt, .defaultValue = 400,
     .range = kValidated, .min = -1, .max = 100000, .column = kPass2,
     .label = "Horizontal panning:", .group = kSmoothness, .sinceVersion = 1,
     .meaning = "how smooth the horizontal panning is made; -1 removes it entirely",
     .intMember = &InstanceData::smoothHorizontalPanning},
    {.name = "smoothVerticalPanning", .position = 15, .type = kInt, .defaultValue = 400,
     .range = kValidated, .min = -1, .max = 100000, .column = kPass2, .label = "Vertical panning:",
     .group = kSmoothness, .sinceVersion = 1,
     .meaning = "how smooth the vertical panning is made; -1 removes it entirely",
     .intMember = &InstanceData::smoothVerticalPanning},
    {.name = "smoothRotation", .position = 16, .type = kInt, .defaultValue = 400,
     .range = kValidated, .min = -1, .max = 100000, .column = kPass2, .label = "Rotation:",
     .group = kSmoothness, .sinceVersion = 1,
     .meaning = "how smooth the rotation is made; -1 removes it entirely",
     .intMember = &InstanceData::smoothRotation},
    {.name = "smoothZoom", .position = 17, .type = kInt, .defaultValue = 1500, .range = kValidated,
     .min = -1, .max = 100000, .column = kPass2, .label = "Zoom:", .group = kSmoothness,
     .sinceVersion = 1, .meaning = "how smooth the zooming is made; -1 removes it entirely",
     .intMember = &InstanceData::smoothZoom},
    {.name = "discardWrongDirection", .position = 18, .type = kDouble, .defaultValue = 4.0,
     .range = kValidated, .min = 0.01, .max = 1000, .column = kPass1, .label = "...move >",
     .unit = "pixels in \"wrong\" direction", .group = kDiscard, .sinceVersion = 1,
     .meaning = "discard blocks that move more than this many pixels against the fitted motion",
     .doubleMember = &InstanceData::discardWrongDirection},
    {.name = "videoOutput", .position = 19, .type = kBool, .defaultValue = 1, .range = kNone,
     .column = kPass1, .label = "Video output:", .group = kPass1Group, .items = kVideoOutputItems,
     .sinceVersion = 1,
     .meaning = "pass 1 shows the analysed picture with motion vectors (1) or a minimal frame (0)",
     .intMember = &InstanceData::videoOutput},
    {.name = "edgeCompensation", .position = 20, .type = kInt, .defaultValue = 1, .range = kChoice,
     .min = 0, .max = 5, .column = kPass2, .label = "Edge compensation:", .group = kPass2Group,
     .items = kEdgeCompensationItems, .sinceVersion = 1,
     .meaning = "how pass 2 zooms to hide the borders that the correction uncovers",
     .intMember = &InstanceData::edgeCompensation},
    {.name = "resampling", .position = 21, .type = kInt, .defaultValue = 2, .range = kChoice,
     .min = 0, .max = 2, .column = kPass2, .label = "Resampling:", .group = kPass2Group,
     .items = kResamplingItems, .sinceVersion = 1,
     .meaning = "how pass 2 samples the moved picture", .intMember = &InstanceData::resampling},
    {.name = "skipFramePercent", .position = 22, .type = kInt, .defaultValue = 5,
     .range = kValidated, .min = 0, .max = 100, .column = kPass1, .label = "Skip frame if <",
     .unit = "% of all blocks are ok", .group = kPass1Group, .sinceVersion = 1,
     .meaning = "a frame with fewer usable blocks than this percentage gets no motion",
     .intMember = &InstanceData::skipFramePercent},
    {.name = "initialSearchRange", .position = 23, .type = kInt, .defaultValue = 40,
     .range = kValidated, .min = 1, .max = 99, .column = kPass1, .label = "Initial search range:",
     .unit = "% of image size", .group = kImageMatching, .sinceVersion = 1,
     .meaning = "how far the coarsest level is searched, in percent of the image size",
     .intMember = &InstanceData::initialSearchRange},
    {.name = "discardMatchValue", .position = 24, .type = kInt, .defaultValue = 300,
     .range = kValidated, .min = -1000, .max = 1000, .column = kPass1,
     .label = "...have match value <", .unit = "(-1000 - 1000)", .group = kDiscard,
     .sinceVersion = 1, .meaning = "discard blocks whose match value is below this",
     .intMember = &InstanceData::discardMatchValue},
    {.name = "discardSecondBest", .position = 25, .type = kInt, .defaultValue = 4,
     .range = kValidated, .min = 0, .max = 1000, .column = kPass1,
     .label = "...have 2nd best match > best -", .group = kDiscard, .sinceVersion = 1,
     .meaning = "discard blocks whose second-best match comes within this of the best",
     .intMember = &InstanceData::discardSecondBest},
    {.name = "logFilePath", .position = 26, .type = kString, .range = kNone, .column = kBoth,
     .label = "Log file:", .group = kBothPasses, .sinceVersion = 1,
     .meaning = "the log file that pass 1 writes and pass 2 reads"},
    {.name = "appendToLogFile", .position = 27, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kBoth, .label = "Append to file", .group = kBothPasses, .sinceVersion = 1,
     .meaning = "pass 1 appends to an existing log instead of replacing it",
     .intMember = &InstanceData::appendToLogFile},
    {.name = "ignoreOutside", .position = 28, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Outside:", .group = kIgnore, .sinceVersion = 1,
     .meaning = "pass 1 ignores the pixels nearer to the border than the four margins",
     .intMember = &InstanceData::ignoreOutside},
    {.name = "ignoreOutsideLeft", .position = 29, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Left", .group = "Outside:", .conditions = {kWhenOutside},
     .sinceVersion = 1, .meaning = "left margin in pixels",
     .intMember = &InstanceData::ignoreOutsideLeft},
    {.name = "ignoreOutsideRight", .position = 30, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Right", .group = "Outside:", .conditions = {kWhenOutside},
     .sinceVersion = 1, .meaning = "right margin in pixels",
     .intMember = &InstanceData::ignoreOutsideRight},
    {.name = "ignoreOutsideTop", .position = 31, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Top", .group = "Outside:", .conditions = {kWhenOutside},
     .sinceVersion = 1, .meaning = "top margin in pixels",
     .intMember = &InstanceData::ignoreOutsideTop},
    {.name = "ignoreOutsideBottom", .position = 32, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Bottom", .group = "Outside:", .conditions = {kWhenOutside},
     .sinceVersion = 1, .meaning = "bottom margin in pixels",
     .intMember = &InstanceData::ignoreOutsideBottom},
    {.name = "ignoreInside", .position = 33, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Inside:", .group = kIgnore, .sinceVersion = 1,
     .meaning = "pass 1 ignores the pixels inside a rectangle given by its border distances",
     .intMember = &InstanceData::ignoreInside},
    {.name = "ignoreInsideLeft", .position = 34, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Left", .group = "Inside:", .conditions = {kWhenInside},
     .sinceVersion = 1, .meaning = "the rectangle's distance from the left border in pixels",
     .intMember = &InstanceData::ignoreInsideLeft},
    {.name = "ignoreInsideRight", .position = 35, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Right", .group = "Inside:", .conditions = {kWhenInside},
     .sinceVersion = 1, .meaning = "the rectangle's distance from the right border in pixels",
     .intMember = &InstanceData::ignoreInsideRight},
    {.name = "ignoreInsideTop", .position = 36, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Top", .group = "Inside:", .conditions = {kWhenInside},
     .sinceVersion = 1, .meaning = "the rectangle's distance from the top border in pixels",
     .intMember = &InstanceData::ignoreInsideTop},
    {.name = "ignoreInsideBottom", .position = 37, .type = kInt, .defaultValue = 0, .range = kNone,
     .column = kPass1, .label = "Bottom", .group = "Inside:", .conditions = {kWhenInside},
     .sinceVersion = 1, .meaning = "the rectangle's distance from the bottom border in pixels",
     .intMember = &InstanceData::ignoreInsideBottom},
    {.name = "interlaced", .position = 38, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kBoth, .label = kVideoType, .group = kBothPasses, .items = kVideoTypeItems,
     .sinceVersion = 2, .absentValue = 0,
     .meaning = "the video is processed field by field (upperFieldFirst gives the order)",
     .intMember = &InstanceData::interlaced},
    {.name = "upperFieldFirst", .position = 39, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kBoth, .label = kVideoType, .group = kBothPasses, .items = kFieldOrderItems,
     .sinceVersion = 2, .absentValue = 0,
     .meaning = "with interlaced=1: the upper field comes first in time",
     .intMember = &InstanceData::upperFieldFirst},
    {.name = "extraZoom", .position = 40, .type = kDouble, .defaultValue = 1.0, .range = kValidated,
     .min = 0.01, .max = 100, .column = kPass2, .label = "Extra zoom factor:", .group = kPass2Group,
     .sinceVersion = 2, .absentValue = 1.0,
     .meaning = "a zoom factor that pass 2 applies on top of the correction",
     .doubleMember = &InstanceData::extraZoom},
    {.name = "maxCorrectionHorizontalPanning", .position = 41, .type = kDouble,
     .defaultValue = 15.0, .range = kValidated, .min = 1, .max = 1000, .column = kPass2,
     .label = "Horizontal panning:", .group = kLimits, .sinceVersion = 2, .absentValue = 100.0,
     .meaning = "largest horizontal correction, in percent of the destination width",
     .doubleMember = &InstanceData::maxCorrectionHorizontalPanning},
    {.name = "maxCorrectionVerticalPanning", .position = 42, .type = kDouble, .defaultValue = 15.0,
     .range = kValidated, .min = 1, .max = 1000, .column = kPass2, .label = "Vertical panning:",
     .group = kLimits, .sinceVersion = 2, .absentValue = 100.0,
     .meaning = "largest vertical correction, in percent of the destination height",
     .doubleMember = &InstanceData::maxCorrectionVerticalPanning},
    {.name = "maxCorrectionRotation", .position = 43, .type = kDouble, .defaultValue = 5.0,
     .range = kValidated, .min = 1, .max = 1000, .column = kPass2, .label = "Rotation:",
     .group = kLimits, .sinceVersion = 2, .absentValue = 100.0,
     .meaning = "largest rotation correction, in degrees",
     .doubleMember = &InstanceData::maxCorrectionRotation},
    {.name = "maxCorrectionZoom", .position = 44, .type = kDouble, .defaultValue = 15.0,
     .range = kValidated, .min = 1, .max = 1000, .column = kPass2, .label = "Zoom:",
     .group = kLimits, .sinceVersion = 2, .absentValue = 100.0,
     .meaning = "largest zoom correction, in percent",
     .doubleMember = &InstanceData::maxCorrectionZoom},
    {.name = "usePreviousFrames", .position = 45, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kPass2, .label = kFillBorders, .group = kPass2Group, .sinceVersion = 3,
     .absentValue = 0,
     .meaning = "pass 2 fills borders from previous frames (the dialog sets both flags together)",
     .intMember = &InstanceData::usePreviousFrames},
    {.name = "useFutureFrames", .position = 46, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kPass2, .label = kFillBorders, .group = kPass2Group, .sinceVersion = 3,
     .absentValue = 0,
     .meaning = "pass 2 fills borders from future frames; delays the output by futureFrames",
     .intMember = &InstanceData::useFutureFrames},
    {.name = "previousFrames", .position = 47, .type = kInt, .defaultValue = 30,
     .range = kValidated, .min = 0, .max = 1000, .column = kPass2, .label = "Previous frames:",
     .group = kPass2Group, .conditions = {kWhenFilling}, .sinceVersion = 3, .absentValue = 0,
     .meaning = "how many previous frames fill the borders",
     .intMember = &InstanceData::previousFrames},
    {.name = "futureFrames", .position = 48, .type = kInt, .defaultValue = 30, .range = kValidated,
     .min = 0, .max = 1000, .column = kPass2, .label = "Future frames:", .group = kPass2Group,
     .conditions = {kWhenFilling}, .sinceVersion = 3, .absentValue = 0,
     .meaning = "how many future frames fill the borders",
     .intMember = &InstanceData::futureFrames},
    {.name = "ignoreAreaFollowsMotion", .position = 49, .type = kBool, .defaultValue = 0,
     .range = kNone, .column = kPass1, .label = "Let area follow motion", .group = kIgnore,
     .conditions = {kWhenOutside}, .sinceVersion = 4, .absentValue = 0,
     .meaning = "the outside margins move with the picture from frame to frame",
     .intMember = &InstanceData::ignoreAreaFollowsMotion},
    {.name = "deepAnalysisPercent", .position = 50, .type = kInt, .defaultValue = 0,
     .range = kValidated, .min = 0, .max = 100, .column = kPass1, .label = "Deep analysis if <",
     .unit = "% of vectors are ok", .group = kPass1Group, .conditions = {kWithoutRollingShutter},
     .sinceVersion = 6, .absentValue = 100,
     .meaning = "a frame with fewer usable vectors than this percentage is analysed more deeply",
     .intMember = &InstanceData::deepAnalysisPercent},
    {.name = "rollingShutter", .position = 51, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kBoth, .label = "Camcorder has a rolling shutter.", .group = kBothPasses,
     .sinceVersion = 7, .absentValue = 0,
     .meaning = "the camera exposes the lines one after another; motion is fitted per edge",
     .intMember = &InstanceData::rollingShutter},
    {.name = "interlacedProgressive", .position = 52, .type = kBool, .defaultValue = 0,
     .range = kNone, .column = kPass2, .label = "Generate \"interlaced progressive\" video",
     .group = kPass2Group, .conditions = {kWhenInterlaced}, .sinceVersion = 7, .absentValue = 0,
     .meaning = "pass 2 writes each field as a frame of its own (double-height output)",
     .intMember = &InstanceData::interlacedProgressive},
    {.name = "sameDestAsSource", .position = 53, .type = kBool, .defaultValue = 1, .range = kNone,
     .column = kPass2, .label = "Same destination properties as source", .group = kPass2Group,
     .sinceVersion = 8, .absentValue = 0,
     .meaning = "pass 2 output has the source's size and pixel aspect",
     .intMember = &InstanceData::sameDestAsSource},
    {.name = "softBorders", .position = 54, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kPass2, .label = "Soft borders. Edge transition width:", .group = kPass2Group,
     .conditions = {kWhenFilling}, .sinceVersion = 8, .absentValue = 0,
     .meaning = "borders filled from other frames blend in over edgeTransitionWidth pixels",
     .intMember = &InstanceData::softBorders},
    {.name = "extrapolateColors", .position = 55, .type = kBool, .defaultValue = 0, .range = kNone,
     .column = kPass2, .label = "Extrapolate colors into border", .group = kPass2Group,
     .sinceVersion = 8, .absentValue = 0,
     .meaning = "what no frame covers is filled with colours extended from the picture's edge",
     .intMember = &InstanceData::extrapolateColors},
    {.name = "edgeTransitionWidth", .position = 56, .type = kInt, .defaultValue = 10,
     .range = kValidated, .min = 0, .max = 100, .column = kPass2, .unit = "pixels",
     .group = kPass2Group, .conditions = {kWhenFilling, kWhenSoft}, .sinceVersion = 9,
     .absentValue = 0, .meaning = "width of the soft transition, in pixels",
     .intMember = &InstanceData::edgeTransitionWidth},
    {.name = "ignoreDarker", .position = 57, .type = kBool, .defaultValue = 1, .range = kNone,
     .column = kPass1, .label = "Darker than", .group = kIgnore, .sinceVersion = 9,
     .absentValue = 0, .meaning = "pass 1 ignores pixels darker than darkerThanPercent",
     .intMember = &InstanceData::ignoreDarker},
    {.name = "darkerThanPercent", .position = 58, .type = kDouble, .defaultValue = 15.0,
     .range = kValidated, .min = 0, .max = 100, .column = kPass1, .unit = "% brightness",
     .group = kIgnore, .conditions = {kWhenDarker}, .sinceVersion = 9, .absentValue = 15.0,
     .meaning = "the brightness limit, in percent",
     .doubleMember = &InstanceData::darkerThanPercent},
    {.name = "discardAbsoluteMotion", .position = 59, .type = kDouble, .defaultValue = 1000.0,
     .range = kUnchecked, .column = kPass1, .label = "...move >",
     .unit = "pixels (absolute motion)", .group = kDiscard, .sinceVersion = 10,
     .absentValue = 1000.0, .meaning = "discard blocks that move more than this many pixels",
     .doubleMember = &InstanceData::discardAbsoluteMotion},
    {.name = "rememberDiscardedAreas", .position = 60, .type = kBool, .defaultValue = 1,
     .range = kNone, .column = kPass1, .label = "Remember discarded areas to next frame",
     .group = kDiscard, .sinceVersion = 11, .absentValue = 0,
     .meaning = "areas discarded in one frame start discarded in the next",
     .intMember = &InstanceData::rememberDiscardedAreas},
    {.name = "rollingShutterAmount", .position = 61, .type = kDouble, .defaultValue = 88.0,
     .range = kUnchecked, .column = kBoth, .label = "Amount:", .unit = "%", .group = kBothPasses,
     .conditions = {kWhenRollingShutter}, .sinceVersion = 12, .absentValue = 88.0,
     .meaning = "share of the frame time the shutter takes to sweep the picture, in percent",
     .doubleMember = &InstanceData::rollingShutterAmount},
}};
// clang-format on

// The table is the Config string's order: positions follow the index, and a
// later position never belongs to an older format than an earlier one.
constexpr bool positionsAreOrdered() {
  for (std::size_t i = 0; i < kSchema.size(); ++i) {
    if (kSchema[i].position != static_cast<int>(i) + 2) return false;
    if (i > 0 && kSchema[i].sinceVersion < kSchema[i - 1].sinceVersion) return false;
  }
  return kSchema.back().sinceVersion == kConfigFormatVersion;
}
static_assert(positionsAreOrdered());

}  // namespace

std::span<const RSetting> settingsSchema() { return kSchema; }

const RSetting* findSettingSchema(std::string_view name) {
  for (const RSetting& setting : kSchema) {
    if (setting.name == name) return &setting;
  }
  return nullptr;
}

const RSetting& settingSchema(std::string_view name) { return *findSettingSchema(name); }

int configFieldCount(int version) {
  int count = 1;
  for (const RSetting& setting : kSchema) {
    if (setting.sinceVersion <= version || setting.sinceVersion == 1) count = setting.position;
  }
  return count;
}

bool conditionHolds(const RSettingCondition& condition,
                    const std::function<bool(std::string_view)>& isSet) {
  if (condition.flag.empty()) return true;
  const bool set = isSet(condition.flag) || (!condition.orFlag.empty() && isSet(condition.orFlag));
  return set == condition.whenSet;
}

bool settingInEffect(const RSetting& setting, const std::function<bool(std::string_view)>& isSet) {
  for (const RSettingCondition& condition : setting.conditions) {
    if (!conditionHolds(condition, isSet)) return false;
  }
  return true;
}

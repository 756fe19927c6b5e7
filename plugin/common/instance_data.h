// The instance record: every setting of one filter instance, in declaration
// order, followed by the run-time state that the start, frame and end
// callbacks keep between calls.
//
// The host allocates the record as raw, zeroed memory of
// sizeof(InstanceData) bytes and never constructs or destroys it, so the
// record holds only plain values and pointers. What the pointers own:
//   logFilePath, ignoreAreaByFrame     initProc .. deinitProc
//   framePlans                         a pass-2 log read .. next changed read or deinitProc
//   pyramids, block tables, pens, font,
//   sourceImage, destImage, pendingLogLine   start callback .. end callback
// All access happens on the host's thread, one callback at a time; worker
// threads only read settings while a frame call waits for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/file_io.h"
#include "plugin/filter_interface.h"

namespace platform {
class CFont;
class CPen;
}  // namespace platform

class CVideoImage;
struct RFramePlan;

// Left, top, right, bottom margins (or distances) in pixels.
struct RMargins {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// A pyramid: level 0 the analysed size, each further level half of the one
// before.
using CImagePyramid = std::vector<std::unique_ptr<CVideoImage>>;

inline constexpr int kLogBaseFrameUnset = -999999999;

struct InstanceData {
  // --- settings, in declaration order -------------------------------------
  int pass;
  int blockSize;
  int differentialSearchRange;
  double sourcePixelAspect;
  double destPixelAspect;
  int sourcePixelAspectPreset;
  int destPixelAspectPreset;
  int destWidth;
  int destHeight;
  int scale;
  int usePixels;
  int colorModeRgb;
  int smoothHorizontalPanning;
  int smoothVerticalPanning;
  int smoothRotation;
  int smoothZoom;
  double discardWrongDirection;
  int videoOutput;
  int resampling;
  int skipFramePercent;
  int initialSearchRange;
  int discardMatchValue;
  int discardSecondBest;
  std::string* logFilePath;
  int appendToLogFile;
  int interlaced;
  int upperFieldFirst;
  int ignoreOutside;
  // The outside margins, held as one rectangle (left, top, right, bottom).
  int ignoreOutsideLeft;
  int ignoreOutsideTop;
  int ignoreOutsideRight;
  int ignoreOutsideBottom;
  int ignoreInside;
  // The inside rectangle as distances from the borders (left, top, right, bottom).
  int ignoreInsideLeft;
  int ignoreInsideTop;
  int ignoreInsideRight;
  int ignoreInsideBottom;
  int edgeCompensation;
  double maxCorrectionHorizontalPanning;
  double maxCorrectionVerticalPanning;
  double maxCorrectionRotation;
  double maxCorrectionZoom;
  double extraZoom;
  int usePreviousFrames;
  int previousFrames;
  int useFutureFrames;
  int futureFrames;
  int ignoreAreaFollowsMotion;
  int deepAnalysisPercent;
  int rollingShutter;
  int interlacedProgressive;
  int sameDestAsSource;
  int softBorders;
  int extrapolateColors;
  int edgeTransitionWidth;
  int ignoreDarker;
  double darkerThanPercent;
  double discardAbsoluteMotion;
  int rememberDiscardedAreas;
  double rollingShutterAmount;

  // --- run-time state ------------------------------------------------------
  int idle;  // 0 while a start or frame call of this instance runs
  int framesProcessed;
  int lastSourceFrame;
  // Outside-ignore margins per source frame; entries may be null.
  std::vector<RMargins*>* ignoreAreaByFrame;
  std::uint64_t logFileTime;  // last-write time of the log when last read; 0 = none
  platform::FileHandle logFileHandle;
  std::string* pendingLogLine;
  int logWarningShown;
  RFramePlan* framePlans;
  int plannedFrameCount;
  int logBaseFrame;

  // pass 1
  CImagePyramid* imagePyramids[2];
  std::vector<double>* blockOffsetVertical;
  std::vector<double>* blockOffsetHorizontal;
  std::vector<int>* blockUsable;
  platform::CPen* whitePen;
  platform::CPen* redPen;
  platform::CFont* textFont;  // both passes

  // pass 2
  CVideoImage* sourceImage;
  CVideoImage* destImage;
  double fitScale;
};

static_assert(std::is_trivially_copyable_v<InstanceData> && std::is_standard_layout_v<InstanceData>,
              "the host allocates the record as raw memory");

inline InstanceData* instanceOf(const FilterActivation* fa) {
  return static_cast<InstanceData*>(fa->filter_data);
}

// Stores every setting's default except logFilePath (initProc builds that).
void setDefaultSettings(InstanceData& data);

// What initProc makes of the host's zeroed record: every default, the
// default log path, no plan, no open log, no run yet.
void initializeInstance(InstanceData& data);

// What deinitProc releases: the log path, the plan and the per-frame ignore
// areas. The run-time objects of a run are the end callback's.
void releaseInstance(InstanceData& data);

// The default log file: "Quiventa.log" in the folder "Quiventa" of the user's
// local data folder (created if missing), or in the system's temporary
// folder when no user folder can be determined.
std::string defaultLogFilePath();

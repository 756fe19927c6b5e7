#include "planning/pass2_startup.h"

#include "planning/correction_planner.h"
#include "planning/log_reader.h"
#include "platform/device_context.h"
#include "plugin/common/frame_plan.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/video_image.h"

double computeFitScale(int sourceWidth, int sourceHeight, int destWidth, int destHeight,
                       double sourceAspect, double destAspect) {
  const double rh = static_cast<double>(destWidth) / sourceWidth;
  const double rv = (destHeight / destAspect) / (sourceHeight / sourceAspect);
  return rh < rv ? rh : rv;
}

double destinationAspect(const InstanceData& data) {
  return data.sameDestAsSource ? data.sourcePixelAspect : data.destPixelAspect;
}

PlanOutcome startPass2(FilterActivation* fa, RPlanReport* report) {
  InstanceData& data = *instanceOf(fa);
  const int sourceWidth = static_cast<int>(fa->src.w);
  const int sourceHeight = static_cast<int>(fa->src.h);
  const int destWidth = static_cast<int>(fa->dst.w);
  const int destHeight = static_cast<int>(fa->dst.h);

  delete data.sourceImage;
  data.sourceImage = new CVideoImage;
  data.sourceImage->create(sourceWidth, sourceHeight, 1);
  delete data.destImage;
  data.destImage = new CVideoImage;
  data.destImage->create(destWidth, destHeight, 1);

  data.fitScale = computeFitScale(sourceWidth, sourceHeight, destWidth, destHeight,
                                  data.sourcePixelAspect, destinationAspect(data));

  // The log, unless it is unchanged since the plan was made.
  RMotionSeries series;
  bool planningFailed = false;
  PlanOutcome outcome = PlanOutcome::kUnchanged;
  const LogReadResult result = readLog(data, series);
  if (result != LogReadResult::kUnchanged) {
    // No plan survives a read that changed or lost the log: entries of a
    // log that is gone are not shown as processed, and a log that comes
    // back later is read again whatever its time.
    releaseFramePlans(data);
    if (result == LogReadResult::kNotRead) data.logFileTime = 0;
    outcome = PlanOutcome::kNoPlan;
    if (series.size() > 2) {
      const RPlanSizes sizes{sourceWidth, sourceHeight, destWidth, destHeight};
      planningFailed = !planCorrections(data, sizes, series, report);
      outcome = planningFailed ? PlanOutcome::kFailed : PlanOutcome::kPlanned;
    }
  }

  if (data.textFont != nullptr) {
    data.textFont->deleteObject();
    delete data.textFont;
  }
  data.textFont = new platform::CFont;
  data.textFont->createPointFont(90, "Verdana");

  if (planningFailed) {
    // The next start reads and plans again, even with an unchanged log.
    data.plannedFrameCount = -1;
    data.logFileTime = 0;
  }
  return outcome;
}

void endPass2(InstanceData& data) {
  delete data.sourceImage;
  data.sourceImage = nullptr;
  delete data.destImage;
  data.destImage = nullptr;
  if (data.textFont != nullptr) {
    data.textFont->deleteObject();
    delete data.textFont;
    data.textFont = nullptr;
  }
}

// The pass-2 branch of the start callback: the frame size carriers,
// fitScale, the log read and the plan, the text font. Runs inside the start
// callback, after the field split; the rendering tables are the renderer's
// own (render/pass2_driver.h).
#pragma once

#include "plugin/filter_interface.h"

struct InstanceData;

struct RPlanReport;

enum class PlanOutcome {
  kPlanned,    // a new plan from a changed log
  kUnchanged,  // the log is unchanged: the previous plan (if any) stays
  kNoPlan,     // the log is unreadable or holds two entries or fewer
  kFailed,     // smoothing was aborted or hit its iteration cap
};

// With `report`, a plan made here also describes itself there.
PlanOutcome startPass2(FilterActivation* fa, RPlanReport* report = nullptr);

// Releases what startPass2 made for the run (size carriers, font); the plan
// stays for the next start.
void endPass2(InstanceData& data);

// The scale that fits the source into the destination: the smaller of the
// width ratio and the height ratio in square-pixel units.
double computeFitScale(int sourceWidth, int sourceHeight, int destWidth, int destHeight,
                       double sourceAspect, double destAspect);

// Destination pixel aspect: the source's when the destination keeps the
// source's properties, else the configured one.
double destinationAspect(const InstanceData& data);

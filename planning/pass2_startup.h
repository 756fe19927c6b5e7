// The pass-2 branch of the start callback: rendering tables, the frame size
// carriers, fitScale, the log read and the plan, the text font.
// Runs inside the start callback, after the field split.
#pragma once

#include "plugin/filter_interface.h"

struct InstanceData;

void startPass2(FilterActivation* fa);

// The scale that fits the source into the destination: the smaller of the
// width ratio and the height ratio in square-pixel units.
double computeFitScale(int sourceWidth, int sourceHeight, int destWidth, int destHeight,
                       double sourceAspect, double destAspect);

// Destination pixel aspect: the source's when the destination keeps the
// source's properties, else the configured one.
double destinationAspect(const InstanceData& data);

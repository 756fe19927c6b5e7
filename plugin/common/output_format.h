// The output frame the filter asks the host for (paramProc): in pass 1 the
// analysed picture with a text strip under it, or 8 x 8 pixels without
// video output; in pass 2 the source size or the configured destination
// size, with an even height for interlaced video, doubled for interlaced
// progressive output. Both passes draw text, so both ask for a device
// context (pass 1 only with video output).
#pragma once

#include "plugin/filter_interface.h"

struct InstanceData;

// Rows of the text strip under each analysed picture in pass 1.
inline constexpr int kPass1TextRows = 10;

// Row pitch of the output: 32-bit pixels, rows padded to 8 bytes.
inline long outputPitch(long width) { return (width * 4 + 7) & ~7L; }

// Sets the destination's width, height, pitch and device-context request
// from the settings and the source size. The destination arrives preset to
// the source size, as the host hands it over.
void describeOutputFrame(const InstanceData& data, const VFBitmap& source, VFBitmap& destination);

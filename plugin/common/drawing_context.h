// Drawing on the device context the host grants with the destination
// bitmap (VFBitmap::hdc): the module's own drawing code over the pixels
// the host's record describes. Each call opens its own context, which
// starts as GDI's do: black pen, no font, white background, black text,
// opaque text background. On Windows the host's HDC is a GDI device context
// and the module draws with GDI on it, from the host's state, which is
// restored when the context closes.
#pragma once

#include "platform/device_context.h"
#include "plugin/filter_interface.h"

// `hdc` must not be null. The context is valid while the host's bitmap is.
platform::CDeviceContext openDeviceContext(HDC hdc);

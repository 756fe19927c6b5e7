// Window and device-context handles of our platform layer.
//
// The host interface hands these around without looking inside: a device
// context is our CDeviceContext (platform/device_context.h), a window is an
// opaque object that only a user-interface toolkit would define. Null means
// "none" in both cases.
#pragma once

namespace platform {
class CDeviceContext;
class CWindow;
}  // namespace platform

using HDC = platform::CDeviceContext*;
using HWND = platform::CWindow*;

// Colour value of a device context: 0x00BBGGRR (red in the lowest byte), the
// order the drawing code of the filter writes its constants in.
using COLORREF = unsigned int;

#include "plugin/common/drawing_context.h"

#include <climits>

#ifdef _WIN32
platform::CDeviceContext openDeviceContext(HDC hdc) { return platform::CDeviceContext(hdc); }
#else
platform::CDeviceContext openDeviceContext(HDC hdc) {
  // A size beyond int cannot be a real bitmap; the drawing code then sees an
  // empty surface and clips everything away.
  const bool fits = hdc->width <= INT_MAX && hdc->height <= INT_MAX;
  return platform::CDeviceContext(fits ? hdc->bits : nullptr,
                                  static_cast<int>(fits ? hdc->width : 0),
                                  static_cast<int>(fits ? hdc->height : 0), hdc->pitch);
}
#endif

#include "plugin/common/video_image.h"

void CVideoImage::create(int newWidth, int newHeight, int newRgb) {
  width = newWidth;
  height = newHeight;
  rgb = newRgb;
  created = 1;
  const std::size_t count = newWidth > 0 && newHeight > 0 ? static_cast<std::size_t>(newWidth) *
                                                                static_cast<std::size_t>(newHeight)
                                                          : 0;
  // Grey images are sometimes switched to colour after creation (the colour
  // flag is a setting), so all three planes always exist.
  red.resize(count, 0);
  green.resize(count, 0);
  blue.resize(count, 0);
}

#include "analysis/analysed_image.h"

#include "plugin/common/instance_data.h"

void loadAnalysedImage(CVideoImage& image, const VFBitmap& source) {
  const int width = image.width;
  const int height = image.height;
  const auto* base = reinterpret_cast<const unsigned char*>(source.data);
  for (int k = 0; k < height; ++k) {
    const unsigned char* row = base + source.pitch * k;
    RGBPixel* out = &image.pixels[static_cast<std::size_t>(height - 1 - k) * width];
    if (image.rgb) {
      for (int x = 0; x < width; ++x) {
        const std::int32_t b = row[4 * x], g = row[4 * x + 1], r = row[4 * x + 2];
        out[x] = RGBPixel{r, g, b, r * r, g * g, b * b};
      }
    } else {
      for (int x = 0; x < width; ++x) {
        const std::int32_t b = row[4 * x], g = row[4 * x + 1], r = row[4 * x + 2];
        const std::int32_t grey = (150 * g + 77 * r + 29 * b) >> 8;
        out[x].g = grey;
        out[x].gg = grey * grey;
      }
    }
  }
}

void markIgnoredAreas(CVideoImage& image, const InstanceData& settings) {
  if (!settings.ignoreOutside && !settings.ignoreInside) return;
  const int w = image.width;
  const int h = image.height;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bool ignored = false;
      if (settings.ignoreOutside) {
        ignored = y < settings.ignoreOutsideTop || y > h - 1 - settings.ignoreOutsideBottom ||
                  x < settings.ignoreOutsideLeft || x > w - 1 - settings.ignoreOutsideRight;
      }
      if (!ignored && settings.ignoreInside) {
        ignored = settings.ignoreInsideTop <= y && y <= h - 1 - settings.ignoreInsideBottom &&
                  settings.ignoreInsideLeft <= x && x <= w - 1 - settings.ignoreInsideRight;
      }
      if (ignored) image.pixels[static_cast<std::size_t>(y) * w + x].g = kIgnoredPixel;
    }
  }
}

void reducePyramid(CImagePyramid& pyramid) {
  for (std::size_t level = 1; level < pyramid.size(); ++level) {
    const CVideoImage& fine = *pyramid[level - 1];
    CVideoImage& coarse = *pyramid[level];
    if (!fine.created || !coarse.created) continue;
    const bool rgb = coarse.rgb != 0;
    for (int y = 0; y < coarse.height; ++y) {
      const RGBPixel* top = &fine.pixels[static_cast<std::size_t>(2 * y) * fine.width];
      const RGBPixel* bottom = top + fine.width;
      RGBPixel* out = &coarse.pixels[static_cast<std::size_t>(y) * coarse.width];
      for (int x = 0; x < coarse.width; ++x) {
        const RGBPixel& a = top[2 * x];
        const RGBPixel& b = top[2 * x + 1];
        const RGBPixel& c = bottom[2 * x];
        const RGBPixel& d = bottom[2 * x + 1];
        const std::int32_t g = (a.g + b.g + c.g + d.g) >> 2;
        if (g < 0) {
          out[x].g = kIgnoredPixel;
          continue;
        }
        out[x].g = g;
        out[x].gg = g * g;
        if (rgb) {
          const std::int32_t r = (a.r + b.r + c.r + d.r) >> 2;
          const std::int32_t bl = (a.b + b.b + c.b + d.b) >> 2;
          out[x].r = r;
          out[x].b = bl;
          out[x].rr = r * r;
          out[x].bb = bl * bl;
        }
      }
    }
  }
}

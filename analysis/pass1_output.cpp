#include "analysis/pass1_output.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/block_matching.h"
#include "platform/device_context.h"
#include "plugin/common/drawing_context.h"
#include "plugin/common/instance_data.h"

namespace {

constexpr platform::COLORREF kWhite = 0xFFFFFF;
constexpr platform::COLORREF kRed = 0x0000FF;
constexpr platform::COLORREF kYellow = 0x00FFFF;

// Region row k counted from the top.
Pixel32* regionRow(VFBitmap& bitmap, int k) {
  return reinterpret_cast<Pixel32*>(reinterpret_cast<unsigned char*>(bitmap.data) +
                                    bitmap.pitch * (bitmap.h - 1 - k));
}

int roundHalfUp(double t) { return static_cast<int>(std::floor(t + 0.5)); }

void drawVectors(const InstanceData& settings, platform::CDeviceContext& dc, const RPass1Drawing& d,
                 bool okPass) {
  const int bs = settings.blockSize;
  const double k = settings.interlaced ? 2.0 : 1.0;
  const std::vector<int>& okFlags = *d.okFlags;
  for (int row = 0; row < d.rows; ++row) {
    for (int column = 0; column < d.columns; ++column) {
      const int i = row * d.columns + column;
      const bool ok = okFlags[static_cast<std::size_t>(i)] != 0;
      if (okPass ? !ok : (ok || d.dx[i] == MISSING_VALUE)) continue;
      const int x = column * bs + bs / 2;
      const int y = row * bs + bs / 2 + d.yOffset;
      const int endX = x + roundHalfUp(d.dx[i]);
      const int endY = y + roundHalfUp(d.dy[i] / k);
      dc.moveTo(x, y);
      dc.lineTo(endX, endY);
      dc.fillSolidRect(endX - 1, endY - 1, 3, 3, okPass ? kWhite : kRed);
    }
  }
}

}  // namespace

std::string formatResultText(const InstanceData& settings, const RFrameMotion& m) {
  char text[512];
  if (!settings.rollingShutter) {
    std::snprintf(text, sizeof text,
                  "Pan X: %.2lf  Pan Y: %.2lf  Rotate: %.3lf  Zoom: %.5lf  Ok blocks: %.1lf%%%s",
                  m.whole.panX, m.whole.panY, m.whole.rotation, m.whole.zoom, m.okPercent,
                  m.deepAnalysisRan ? "  Deep analysis" : "");
  } else {
    std::snprintf(text, sizeof text,
                  "Pan X: %.2lf - %.2lf   Pan Y: %.2lf - %.2lf   Rotate: %.3lf - %.3lf   Zoom: "
                  "%.5lf - %.5lf   Ok blocks: %.1lf%%%s",
                  m.top.panX, m.bottom.panX, m.top.panY, m.bottom.panY, m.top.rotation,
                  m.bottom.rotation, m.top.zoom, m.bottom.zoom, m.okPercent, "");
  }
  return text;
}

void drawAnalysedFrame(const InstanceData& settings, VFBitmap& destination,
                       const RPass1Drawing& d) {
  const CVideoImage& image = *d.image;
  const int width = std::min<int>(image.width, static_cast<int>(destination.w));
  const int pictureRows = std::min<int>(image.height, static_cast<int>(destination.h));
  for (int k = 0; k < destination.h; ++k) {
    Pixel32* out = regionRow(destination, k);
    if (k >= pictureRows) {
      std::memset(out, 0, static_cast<std::size_t>(destination.w) * 4);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const RGBPixel p = image.at(x, k);
      if (p.g < 0) {
        out[x] = 0;
      } else if (image.rgb) {
        out[x] = static_cast<Pixel32>(((p.r >> 1) << 16) | ((p.g >> 1) << 8) | (p.b >> 1));
      } else {
        out[x] = static_cast<Pixel32>((p.g >> 1) * 0x010101);
      }
    }
  }

  if (destination.hdc == nullptr) return;
  platform::CDeviceContext dc = openDeviceContext(destination.hdc);
  platform::CPen* previousPen = dc.selectPen(settings.redPen);
  drawVectors(settings, dc, d, false);
  dc.selectPen(settings.whitePen);
  drawVectors(settings, dc, d, true);
  dc.selectPen(previousPen);

  dc.setBkColor(d.motion->newScene ? kRed : kWhite);
  platform::CFont* previousFont = dc.selectFont(settings.textFont);
  dc.textOut(0, image.height + d.yOffset, formatResultText(settings, *d.motion));
  dc.selectFont(previousFont);
  dc.flush();
}

void drawNoPreviousFrame(const InstanceData& settings, VFBitmap& destination, int pictureHeight,
                         int yOffset) {
  for (int k = 0; k < destination.h; ++k) {
    std::memset(regionRow(destination, k), 0, static_cast<std::size_t>(destination.w) * 4);
  }
  if (destination.hdc == nullptr) return;
  platform::CDeviceContext dc = openDeviceContext(destination.hdc);
  dc.setBkColor(kYellow);
  platform::CFont* previousFont = dc.selectFont(settings.textFont);
  dc.textOut(0, pictureHeight + yOffset, kNoPreviousFrameText);
  dc.selectFont(previousFont);
  dc.flush();
}

#include "plugin/filter/start_callback.h"

#include <cmath>
#include <memory>

#include "planning/pass2_startup.h"
#include "platform/device_context.h"
#include "platform/message_box.h"
#include "plugin/common/field_split.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/video_image.h"
#include "render/pass2_driver.h"

namespace {

// Pyramid levels are made while either side is at least this long.
constexpr int kMinimumLevelSide = 40;

void createPyramids(InstanceData& data, int width, int height) {
  for (CImagePyramid*& pyramid : data.imagePyramids) {
    delete pyramid;
    pyramid = new CImagePyramid;
  }
  for (int w = width, h = height; w >= kMinimumLevelSide || h >= kMinimumLevelSide;
       w /= 2, h /= 2) {
    for (CImagePyramid* pyramid : data.imagePyramids) {
      auto level = std::make_unique<CVideoImage>();
      level->create(w, h, data.colorModeRgb);
      pyramid->push_back(std::move(level));
    }
  }
}

void createBlockTables(InstanceData& data, int width, int height) {
  const int blockSize = data.blockSize;
  // A block size below 1 (possible from a hand-written settings string)
  // leaves the grid empty instead of dividing by zero.
  const int columns = blockSize > 0 ? width / blockSize : 0;
  int rows = blockSize > 0 ? height / blockSize : 0;
  if (data.interlaced) rows *= 2;  // upper field's block rows, then the lower field's
  const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);

  delete data.blockOffsetVertical;
  delete data.blockOffsetHorizontal;
  delete data.blockUsable;
  data.blockOffsetVertical = new std::vector<double>(count);
  data.blockOffsetHorizontal = new std::vector<double>(count);
  data.blockUsable = new std::vector<int>(count, 1);

  const double cx = width * 0.5;
  // For fields the centre is the middle of the whole frame in frame lines.
  const double cy = data.interlaced ? static_cast<double>(height) : height * 0.5;
  const int fieldRows = rows / 2;
  for (int r = 0; r < rows; ++r) {
    double y;
    if (!data.interlaced) {
      y = blockSize * r + blockSize * 0.5;
    } else if (r < fieldRows) {
      y = (blockSize * r + blockSize * 0.5) * 2 - 0.5;
    } else {
      y = (blockSize * (r - fieldRows) + blockSize * 0.5) * 2 + 0.5;
    }
    for (int k = 0; k < columns; ++k) {
      const double x = blockSize * k + blockSize * 0.5;
      const double v = (cy - y) / data.sourcePixelAspect;
      const double h = x - cx;
      const double radius = std::sqrt(h * h + v * v);
      const double angle = std::atan2(h, v);
      const std::size_t index = static_cast<std::size_t>(r) * columns + k;
      (*data.blockOffsetVertical)[index] = radius * std::cos(angle);
      (*data.blockOffsetHorizontal)[index] = radius * std::sin(angle);
    }
  }
}

void createDrawingObjects(InstanceData& data) {
  delete data.whitePen;
  delete data.redPen;
  data.whitePen = new platform::CPen(platform::CPen::PS_SOLID, 0, 0xFFFFFF);
  data.redPen = new platform::CPen(platform::CPen::PS_SOLID, 0, 0x0000FF);
  if (data.textFont != nullptr) {
    data.textFont->deleteObject();
    delete data.textFont;
  }
  data.textFont = new platform::CFont;
  data.textFont->createPointFont(80, "Lucida Console");
}

}  // namespace

void startPass1(InstanceData& data, int sourceWidth, int sourceHeight) {
  createPyramids(data, sourceWidth, sourceHeight);
  // Matching needs two pyramid levels. Without them every frame is logged
  // as a scene without motion (or, below one level, not at all), which
  // pass 2 cannot tell from a still camera: the user must hear of it.
  if (data.imagePyramids[0]->size() < 2) {
    platform::messageBox(kPictureTooSmallMessage, "Quiventa", platform::MessageBoxButtons::kOk);
  }
  createBlockTables(data, sourceWidth, sourceHeight);
  if (data.videoOutput) createDrawingObjects(data);

  if (data.logFileHandle != platform::kInvalidFileHandle) {
    platform::closeFile(data.logFileHandle);
    data.logFileHandle = platform::kInvalidFileHandle;
  }
  delete data.pendingLogLine;
  data.pendingLogLine = nullptr;
  data.logWarningShown = 0;
}

int startProc(FilterActivation* fa, const FilterFunctions*) {
  InstanceData& data = *instanceOf(fa);
  if (data.idle == 0) return 0;
  data.idle = 0;

  const bool interlaced = data.interlaced != 0;
  // Everything the start sizes from the bitmaps is sized for one field.
  if (interlaced) {
    splitField(fa, FieldStep::kBegin, {.secondRowField = 1, .firstField = 1, .pass = data.pass});
  }

  data.framesProcessed = 0;
  data.lastSourceFrame = -999;
  if (data.pass == 1) {
    startPass1(data, static_cast<int>(fa->src.w), static_cast<int>(fa->src.h));
  } else {
    startRendering(data, static_cast<int>(fa->dst.w), static_cast<int>(fa->dst.h));
    startPass2(fa);
  }

  if (interlaced) splitField(fa, FieldStep::kEnd);
  data.idle = 1;
  return 0;
}

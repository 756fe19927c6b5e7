#include "plugin/filter/end_callback.h"

#include "planning/pass2_startup.h"
#include "platform/device_context.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/video_image.h"
#include "render/pass2_driver.h"

namespace {

template <typename T>
void deleteAndClear(T*& pointer) {
  delete pointer;
  pointer = nullptr;
}

void deleteFont(platform::CFont*& font) {
  if (font == nullptr) return;
  font->deleteObject();
  deleteAndClear(font);
}

}  // namespace

int endProc(FilterActivation* fa, const FilterFunctions*) {
  InstanceData& data = *instanceOf(fa);
  // The same guard as the start and frame callbacks: an end that arrives
  // while the start still plans (its progress window pumps messages) must
  // not release what the start is using.
  if (data.idle == 0) return 0;
  data.idle = 0;

  if (data.imagePyramids[0] != nullptr) {
    deleteAndClear(data.imagePyramids[0]);
    deleteAndClear(data.imagePyramids[1]);
    deleteAndClear(data.blockOffsetVertical);
    deleteAndClear(data.blockOffsetHorizontal);
    deleteAndClear(data.blockUsable);
    // Released whenever they exist, not only when videoOutput is still set:
    // the setting may have changed since the start.
    deleteAndClear(data.whitePen);
    deleteAndClear(data.redPen);
    deleteFont(data.textFont);
    if (data.logFileHandle != platform::kInvalidFileHandle) {
      platform::closeFile(data.logFileHandle);
      data.logFileHandle = platform::kInvalidFileHandle;
    }
    // A line still held back was never written and is dropped.
    deleteAndClear(data.pendingLogLine);
  }

  if (data.sourceImage != nullptr) {
    endRendering();
    endPass2(data);
  }
  data.idle = 1;
  return 0;
}

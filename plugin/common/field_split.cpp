#include "plugin/common/field_split.h"

#include <cstddef>

#include "plugin/common/instance_data.h"

namespace {

struct RBitmapView {
  Pixel32* data;
  long h;
  std::ptrdiff_t pitch;
  std::ptrdiff_t modulo;
};

struct RSaveArea {
  RBitmapView source;
  RBitmapView destination;
  long sourceFrame;
  int ignoreInsideTop, ignoreInsideBottom, ignoreOutsideTop, ignoreOutsideBottom;
  int previousFrames, futureFrames;
};

RSaveArea saveArea;

RBitmapView viewOf(const VFBitmap& bitmap) {
  return {bitmap.data, bitmap.h, bitmap.pitch, bitmap.modulo};
}

void restoreView(VFBitmap& bitmap, const RBitmapView& view) {
  bitmap.data = view.data;
  bitmap.h = view.h;
  bitmap.pitch = view.pitch;
  bitmap.modulo = view.modulo;
}

Pixel32* advance(Pixel32* data, std::ptrdiff_t bytes) {
  return reinterpret_cast<Pixel32*>(reinterpret_cast<unsigned char*>(data) + bytes);
}

// Every second stored row, starting at row 0 or row 1.
void interleaveRows(VFBitmap& bitmap, int secondRowField) {
  bitmap.h /= 2;
  if (secondRowField == 1) bitmap.data = advance(bitmap.data, bitmap.pitch);
  bitmap.modulo += bitmap.pitch;
  bitmap.pitch *= 2;
}

}  // namespace

void splitField(const FilterActivation* fa, FieldStep step, const RFieldChoice& field) {
  InstanceData& data = *instanceOf(fa);
  VFBitmap& source = fa->src;
  VFBitmap& destination = fa->dst;

  if (step == FieldStep::kEnd) {
    restoreView(source, saveArea.source);
    restoreView(destination, saveArea.destination);
    fa->pfsi->lCurrentSourceFrame = saveArea.sourceFrame;
    data.ignoreInsideTop = saveArea.ignoreInsideTop;
    data.ignoreInsideBottom = saveArea.ignoreInsideBottom;
    data.ignoreOutsideTop = saveArea.ignoreOutsideTop;
    data.ignoreOutsideBottom = saveArea.ignoreOutsideBottom;
    data.previousFrames = saveArea.previousFrames;
    data.futureFrames = saveArea.futureFrames;
    return;
  }

  saveArea = {viewOf(source),           viewOf(destination),     fa->pfsi->lCurrentSourceFrame,
              data.ignoreInsideTop,     data.ignoreInsideBottom, data.ignoreOutsideTop,
              data.ignoreOutsideBottom, data.previousFrames,     data.futureFrames};

  interleaveRows(source, field.secondRowField);
  if (field.pass == 1) {
    destination.h /= 2;
    if (field.firstField == 1)
      destination.data = advance(destination.data, destination.pitch * destination.h);
  } else {
    interleaveRows(destination, field.secondRowField);
  }

  long& frame = fa->pfsi->lCurrentSourceFrame;
  frame = frame * 2 + (field.firstField == 1 ? 0 : 1);

  data.ignoreInsideTop /= 2;
  data.ignoreInsideBottom /= 2;
  data.ignoreOutsideTop /= 2;
  data.ignoreOutsideBottom /= 2;
  data.previousFrames *= 2;
  data.futureFrames *= 2;
}

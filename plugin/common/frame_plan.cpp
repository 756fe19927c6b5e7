#include "plugin/common/frame_plan.h"

#include "plugin/common/instance_data.h"

namespace {

template <typename T>
void deleteSingle(T*& pointer) {
  delete pointer;
  pointer = nullptr;
}

void deleteTable(RRowTableItem*& table) {
  delete[] table;
  table = nullptr;
}

}  // namespace

void freeEntry(RFramePlan* plans, int index, bool full) {
  RFramePlan& entry = plans[index];
  deleteSingle(entry.frameBitmap);
  deleteTable(entry.currentRowTable);
  deleteTable(entry.previousRowTable);
  deleteTable(entry.nextRowTable);
  if (full) {
    deleteSingle(entry.ownSkewPlus);
    deleteSingle(entry.ownSkewMinus);
    deleteSingle(entry.previousTopEdge);
    deleteSingle(entry.previousBottomEdge);
    deleteSingle(entry.nextTopEdge);
    deleteSingle(entry.nextBottomEdge);
  }
}

void releaseFramePlans(InstanceData& data) {
  if (data.framePlans != nullptr) {
    for (int i = 0; i < data.plannedFrameCount; ++i) freeEntry(data.framePlans, i, true);
    delete[] data.framePlans;
    data.framePlans = nullptr;
  }
  data.plannedFrameCount = -1;
}

#include "plugin/common/output_format.h"

#include "plugin/common/instance_data.h"

void describeOutputFrame(const InstanceData& data, const VFBitmap& source, VFBitmap& dst) {
  if (data.pass == 1) {
    if (data.videoOutput) {
      if (data.interlaced && (dst.h & 1)) dst.h -= 1;
      dst.h += kPass1TextRows;
      if (data.interlaced) dst.h += kPass1TextRows;
      dst.dwFlags |= VFBitmap::NEEDS_HDC;
    } else {
      dst.w = 8;
      dst.h = 8;
    }
  } else {
    if (data.sameDestAsSource) {
      dst.w = source.w;
      dst.h = source.h;
    } else {
      dst.w = data.destWidth;
      dst.h = data.destHeight;
    }
    if (data.interlaced) {
      if (dst.h & 1) dst.h -= 1;
      if (data.interlacedProgressive) dst.h *= 2;
    }
    dst.dwFlags |= VFBitmap::NEEDS_HDC;
  }
  dst.pitch = outputPitch(dst.w);
}

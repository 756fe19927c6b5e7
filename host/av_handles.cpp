#include "host/av_handles.h"

#include <new>

namespace host {

AvFrame allocateFrame() {
  AvFrame frame(av_frame_alloc());
  if (!frame) throw std::bad_alloc();
  return frame;
}

AvPacket allocatePacket() {
  AvPacket packet(av_packet_alloc());
  if (!packet) throw std::bad_alloc();
  return packet;
}

AvBuffer allocateBuffer(std::size_t size) {
  AvBuffer buffer(static_cast<std::uint8_t*>(av_mallocz(size > 0 ? size : 1)));
  if (!buffer) throw std::bad_alloc();
  return buffer;
}

std::string avErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

int swsColorMatrix(AVColorSpace space, int height) {
  switch (space) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return SWS_CS_BT2020;
    default:
      return height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

}  // namespace host

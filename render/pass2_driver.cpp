#include "render/pass2_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/device_context.h"
#include "plugin/common/drawing_context.h"
#include "plugin/common/frame_plan.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/module_state.h"
#include "render/border_extrapolation.h"
#include "render/render_threads.h"
#include "render/row_tables.h"
#include "render/samplers.h"

namespace {

constexpr platform::COLORREF kWhite = 0xFFFFFF;
constexpr platform::COLORREF kGrey = 0xD0D0D0;

// The entry's own copy of the host's source frame. A field view (pitch over
// two stored rows) becomes a compact image of the field.
RFrameCopy* copySourceFrame(const VFBitmap& source, bool field) {
  auto* copy = new RFrameCopy;
  VFBitmap& header = copy->bitmap;
  header = source;
  header.palette = nullptr;
  header.hdc = nullptr;
  const std::ptrdiff_t pitch = field ? source.pitch / 2 : source.pitch;
  const std::size_t bytes = static_cast<std::size_t>(pitch) * static_cast<std::size_t>(source.h);
  const auto* origin = reinterpret_cast<const unsigned char*>(source.data);
  if (!field && bytes % 4 == 0) {
    // Copied straight in: a zero-fill first would touch the memory twice.
    const Pixel32* first = source.data;
    copy->pixels.assign(first, first + bytes / 4);
  } else if (!field) {
    copy->pixels.resize((bytes + 3) / 4);
    std::memcpy(copy->pixels.data(), origin, bytes);
  } else {
    copy->pixels.resize((bytes + 3) / 4);
    auto* target = reinterpret_cast<unsigned char*>(copy->pixels.data());
    for (long row = 0; row < source.h; ++row) {
      std::memcpy(target + pitch * row, origin + source.pitch * row,
                  static_cast<std::size_t>(pitch));
    }
    header.pitch = pitch;
    header.modulo -= pitch;
    header.size /= 2;
  }
  header.data = copy->pixels.data();
  return copy;
}

RRowTableItem* newRowTable(long height) {
  return new RRowTableItem[static_cast<std::size_t>(3 * height)];
}

enum class MessageNumber { kNone, kFrames, kMilliseconds };

struct RMessageLine {
  const char* text;
  platform::COLORREF colour;
  int top, bottomFromEnd;  // rectangle: top .. H - bottomFromEnd
  MessageNumber number = MessageNumber::kNone;
};

void drawMessage(const InstanceData& data, VFBitmap& destination, int textHeight,
                 const RMessageLine* lines, int count, const FilterStateInfo& state) {
  if (destination.hdc == nullptr) return;
  platform::CDeviceContext dc = openDeviceContext(destination.hdc);
  dc.setBkColor(0);
  platform::CFont* previousFont = dc.selectFont(data.textFont);
  const int frames = data.interlaced ? data.futureFrames / 2 : data.futureFrames;
  const int milliseconds =
      static_cast<int>(frames * static_cast<double>(state.lMicrosecsPerSrcFrame) / 1000.0 + 0.5);
  for (int i = 0; i < count; ++i) {
    char text[128];
    const int number = lines[i].number == MessageNumber::kMilliseconds ? milliseconds : frames;
    std::snprintf(text, sizeof text, lines[i].text, number);
    dc.setTextColor(lines[i].colour);
    const platform::RRect rect{0, lines[i].top, static_cast<int>(destination.w),
                               textHeight - lines[i].bottomFromEnd};
    dc.drawText(text, rect, platform::DT_CENTER | platform::DT_VCENTER | platform::DT_SINGLELINE);
  }
  dc.selectFont(previousFont);
  dc.flush();
}

const RMessageLine kNotProcessed[] = {
    {"Quiventa:", kWhite, 0, 20},
    {"This frame was not processed in pass 1", kGrey, 20, 0},
};

const RMessageLine kWaiting[] = {
    {"Quiventa:", kWhite, 0, 70},
    {"Output is delayed %i frames", kGrey, 20, 50, MessageNumber::kFrames},
    {"to collect \"future\" frames", kGrey, 35, 35},
    {"Audio should be delayed %i ms", kGrey, 55, 15, MessageNumber::kMilliseconds},
    {"to maintain audio/video sync", kGrey, 70, 0},
};

}  // namespace

void startRendering(const InstanceData& data, int destWidth, int destHeight) {
  buildBicubicWeights(-0.6);
  if (data.extrapolateColors) createBorderPixelTable(destWidth, destHeight);
}

void endRendering() {
  releaseBicubicWeights();
  releaseBorderPixelTable();
}

void processPass2Frame(const FilterActivation* fa, const FilterFunctions*, int firstField) {
  InstanceData& data = *instanceOf(fa);
  const FilterStateInfo& state = *fa->pfsi;
  VFBitmap& destination = fa->dst;
  const long current = state.lCurrentSourceFrame;
  const int n = data.framePlans != nullptr ? data.plannedFrameCount : -1;

  const long k = current - static_cast<long>(data.logBaseFrame);
  const long future = data.useFutureFrames ? data.futureFrames : 0;
  const long previous = data.usePreviousFrames ? data.previousFrames : 0;
  const long out = k - future;
  const int fieldFlag = (firstField != 0) == (data.upperFieldFirst != 0) ? 1 : 0;
  const int textHeight = static_cast<int>(data.interlaced ? destination.h * 2 : destination.h);
  const bool delayed = out != k;
  const bool holdFrames = data.usePreviousFrames || data.useFutureFrames;

  const RMessageLine* message = kNotProcessed;
  int messageLines = 2;
  bool rendered = false;
  if (!(n < 0 || k < 0 || out >= n)) {
    RFramePlan* entries = data.framePlans;
    if (holdFrames) {
      const long first = std::max(0L, out - previous);
      const long last = std::min(k, static_cast<long>(n - 1));
      if (current == data.lastSourceFrame + 1) {
        if (first - 1 >= 0 && first - 1 < n) freeEntry(entries, static_cast<int>(first - 1), false);
      } else {
        for (long i = 0; i < n; ++i) {
          if (i < first || i > last) freeEntry(entries, static_cast<int>(i), false);
        }
      }
      if (k < n) {
        RFramePlan& entry = entries[k];
        freeEntry(entries, static_cast<int>(k), false);
        entry.frameBitmap = copySourceFrame(fa->src, data.interlaced != 0);
        const int width = static_cast<int>(fa->src.w), height = static_cast<int>(fa->src.h);
        if (entry.previousTopEdge != nullptr && entry.previousBottomEdge != nullptr) {
          entry.previousRowTable = newRowTable(height);
          buildRowTable(width, height, *entry.previousTopEdge, *entry.previousBottomEdge,
                        data.sourcePixelAspect, data.interlaced, fieldFlag, entry.previousRowTable);
        }
        if (entry.nextTopEdge != nullptr && entry.nextBottomEdge != nullptr) {
          entry.nextRowTable = newRowTable(height);
          buildRowTableInverse(width, height, *entry.nextTopEdge, *entry.nextBottomEdge,
                               data.sourcePixelAspect, data.interlaced, 1 - fieldFlag,
                               entry.nextRowTable);
        }
      }
    }

    if (out == k || (out >= 0 && entries[out].frameBitmap != nullptr)) {
      RFramePlan& entry = entries[out];
      if (entry.ownSkewPlus != nullptr && entry.ownSkewMinus != nullptr) {
        entry.currentRowTable = newRowTable(fa->src.h);
        buildRowTable(static_cast<int>(fa->src.w), static_cast<int>(fa->src.h), *entry.ownSkewPlus,
                      *entry.ownSkewMinus, data.sourcePixelAspect, data.interlaced, fieldFlag,
                      entry.currentRowTable);
      }
      const RRenderRequest request{
          .outputEntry = static_cast<int>(out),
          .lastEntry = n - 1,
          .resampling = data.resampling,
          .delayed = delayed,
          .noFrameSearch = !holdFrames,
          .extrapolate = data.extrapolateColors != 0,
          .soft = data.softBorders != 0,
          .widthX = data.edgeTransitionWidth,
          .widthY = data.interlaced ? data.edgeTransitionWidth / 2 : data.edgeTransitionWidth,
          .threadCount = module_state::processorCount};
      renderFrame(fa, entries, request);
      delete[] entry.currentRowTable;
      entry.currentRowTable = nullptr;
      rendered = true;
    } else {
      message = kWaiting;
      messageLines = 5;
    }
  }

  if (!rendered && (!data.interlaced || fieldFlag == 0)) {
    // For a field view this clears the whole interleaved frame.
    auto* bytes = reinterpret_cast<unsigned char*>(destination.data);
    std::memset(bytes, 0, static_cast<std::size_t>(destination.pitch * destination.h));
    drawMessage(data, destination, textHeight, message, messageLines, state);
  }

  data.framesProcessed += 1;
  data.lastSourceFrame = static_cast<int>(current);
}

// Fixtures for the pass-2 rendering suites: plan entries built by hand (maps
// in pixels, held frame copies), bitmaps with guard pixels around them, and
// the process-wide border pixel table for the lifetime of a scope.
//
// Coordinates are stored rows (row 0 first in memory), the convention of the
// renderer; colours 0x00RRGGBB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "plugin/common/frame_plan.h"
#include "plugin/filter_interface.h"
#include "render/border_extrapolation.h"
#include "render/render_job.h"
#include "tests/support/filter_instance.h"
#include "tests/support/synthetic_frames.h"

namespace testing_support {

// Colour of a pixel from its column and stored row.
using PixelFunction = std::function<std::uint32_t(int x, int row)>;

inline constexpr std::uint32_t kGuardColour = 0xFFFFFFFFu;

// A 32-bit bitmap whose rows are followed by padding up to the pitch and
// which has whole guard rows below and above; everything outside the w x h
// pixels is kGuardColour.
class CGuardedBitmap {
 public:
  CGuardedBitmap(int width, int height, int paddingPixels = 3, int guardRows = 2);
  // bitmap().data points into the object's own memory.
  CGuardedBitmap(const CGuardedBitmap&) = delete;
  CGuardedBitmap& operator=(const CGuardedBitmap&) = delete;
  VFBitmap& bitmap() { return bitmap_; }
  const VFBitmap& bitmap() const { return bitmap_; }
  std::uint32_t& at(int x, int row) { return pixelAt(bitmap_, x, row); }
  void fill(const PixelFunction& colour);
  // True when nothing outside the pixels was written.
  bool guardsIntact() const;
  // The w x h pixels, row by row.
  std::vector<std::uint32_t> pixels() const { return pixelsOf(bitmap_); }

 private:
  int guardRows_;
  std::vector<std::uint32_t> memory_;
  VFBitmap bitmap_;
};

// (x, y) -> (c0 + x*c2 + y*c4, c1 + x*c3 + y*c5), coefficients in pixels.
void setAffineMap(RAffineMap map, double c0, double c1, double c2, double c3, double c4, double c5);
inline void setShift(RAffineMap map, double dx, double dy) {
  setAffineMap(map, dx, dy, 1, 0, 0, 1);
}

// Plan entries with every pointer null, identity maps and no scene start;
// released fully (frame copies, tables, edge sets) on destruction.
class CPlanEntries {
 public:
  explicit CPlanEntries(int count);
  ~CPlanEntries();
  CPlanEntries(const CPlanEntries&) = delete;
  CPlanEntries& operator=(const CPlanEntries&) = delete;

  RFramePlan* data() { return entries_.data(); }
  RFramePlan& operator[](int i) { return entries_[static_cast<std::size_t>(i)]; }
  int size() const { return static_cast<int>(entries_.size()); }

  // Gives entry i its own compact frame copy filled by `colour`.
  void holdFrame(int i, int width, int height, const PixelFunction& colour);
  // A uniform frame.
  void holdFrame(int i, int width, int height, std::uint32_t colour) {
    holdFrame(i, width, height, [colour](int, int) { return colour; });
  }

 private:
  std::vector<RFramePlan> entries_;
};

// The process-wide border pixel table while the object lives.
class CBorderTableScope {
 public:
  CBorderTableScope(int width, int height) { createBorderPixelTable(width, height); }
  ~CBorderTableScope() { releaseBorderPixelTable(); }
  CBorderTableScope(const CBorderTableScope&) = delete;
  CBorderTableScope& operator=(const CBorderTableScope&) = delete;
};

// A host frame record over a source and a destination bitmap.
struct RRenderTarget {
  RRenderTarget(int sourceWidth, int sourceHeight, int destWidth, int destHeight);
  CGuardedBitmap source;
  CGuardedBitmap destination;
  FilterStateInfo state;
  FilterActivation activation;
};

// A job for calling the per-pixel steps directly, without threads.
inline RenderJob directJob(CPlanEntries& entries, int outputEntry) {
  return {.entries = entries.data(),
          .outputEntry = outputEntry,
          .lastEntry = entries.size() - 1,
          .resampling = 0,
          .borderList = {},
          .borderLock = {},
          .workLock = {}};
}

}  // namespace testing_support

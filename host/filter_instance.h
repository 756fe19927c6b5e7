// One instance of the loaded filter, driven as the video host drives it:
// zeroed, 8-byte aligned instance memory of the size the definition states,
// initProc on creation and deinitProc on destruction; settings only through
// fssProc (the statement it writes) and the "Config" script function; and
// for each processing run paramProc, startProc, runProc per frame and
// endProc.
//
// Bitmaps are the host's 32-bit bottom-up bitmaps (plugin/filter_interface.h):
// the source is sized by beginRun, the destination by the filter's
// paramProc. When paramProc asks for a device context, the destination gets
// one over its pixels for the length of the run.
//
// Thread-safety: all calls on the thread that created the instance, one at a
// time. The module must outlive the instance.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/av_handles.h"
#include "host/filter_module.h"
#include "plugin/filter_interface.h"

namespace host {

class CFilterInstance {
 public:
  explicit CFilterInstance(const CFilterModule& module);
  ~CFilterInstance();
  CFilterInstance(const CFilterInstance&) = delete;
  CFilterInstance& operator=(const CFilterInstance&) = delete;

  // The statement fssProc writes, e.g. Config("12|1|30|...").
  std::string settingsStatement();
  // Hands a settings string (escapes already undone) to the Config function.
  void applySettingsString(const std::string& settings);
  // configProc without a parent window: the filter's settings dialog. True
  // when the user confirmed (the settings may have changed).
  bool configure();

  // paramProc with the destination preset to the source size, then the
  // destination buffer (and device context when asked for), then startProc.
  // Throws CHostError (runtime) when paramProc asks for an impossible size.
  void beginRun(long sourceWidth, long sourceHeight);
  // runProc for one frame; `state` is handed to the filter as it is.
  void runFrame(const FilterStateInfo& state);
  // endProc; releases the device context. Called by the destructor for a run
  // still open (an error or an interrupt in the middle).
  void endRun();

  // The source bitmap of the open run: fill its pixels before runFrame.
  const VFBitmap& source() const { return sourceLayout_; }
  // The destination of the open run as paramProc sized it.
  const VFBitmap& destination() const { return destinationLayout_; }
  bool hasDeviceContext() const { return deviceContext_ != nullptr; }
  // True when the open run works in the source bitmap (destination.data ==
  // source.data), as a filter that does not ask for separate buffers does.
  bool inPlace() const { return inPlace_; }

  // From the next call on, the open run's bitmaps (and the device context)
  // describe these pixels; null: the instance's own. Lets a host decode the
  // next frame and encode the last one while the filter works on this one,
  // without copying frames. An in-place run takes `source` for both. The
  // memory must come from allocatePixels for the same layout and stay valid
  // until the next usePixels or the end of the run.
  void usePixels(Pixel32* source, Pixel32* destination);
  // Zeroed pixel memory for a bitmap of `layout` (source() or destination()).
  static AvBuffer allocatePixels(const VFBitmap& layout);

 private:
  void restoreBitmaps();

  const CFilterModule& module_;
  std::vector<std::uint64_t> memory_;
  VFBitmap source_;
  VFBitmap destination_;
  // What the bitmaps describe between calls; the filter may rewrite the
  // records during a call (field processing), so each call starts from here.
  VFBitmap sourceLayout_;
  VFBitmap destinationLayout_;
  FilterStateInfo state_;
  FilterActivation activation_;
  AvBuffer sourcePixels_;
  AvBuffer destinationPixels_;
  // The device context granted for the run: a plain record of the
  // destination's pixels, which the module draws on with its own code.
  std::unique_ptr<RDeviceContext> deviceContext_;
  bool runOpen_ = false;
  bool inPlace_ = false;
};

}  // namespace host

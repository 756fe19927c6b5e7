// One processing run of the filter over the input: decode the frames into
// the source bitmap, call the filter, and encode (or discard) what it puts
// into the destination bitmap.
//
// Frame calls: lCurrentSourceFrame and lCurrentFrame are the input's frame
// numbers (decoded pictures counted from 0), also when the run starts later
// in the input (`feedFirst`), so that a log written for a part of the input
// names the same frames as one written for all of it; lMicrosecsPerSrcFrame
// (= lMicrosecsPerFrame) is one frame at the input's frame rate, rounded;
// lSourceFrameMS (= lDestFrameMS) is the frame number times the frame
// duration in whole milliseconds.
//
// Delay compensation: a filter that outputs the frame `delayFrames` calls
// behind the current one gets that many extra calls at the end (numbers
// continuing, the last decoded picture as source); the first `delayFrames`
// outputs are dropped and the output of frame i gets the time of input
// frame i. So the output has the input's frame count and timestamps, and
// stays in sync with the audio, which is carried with its own timestamps.
//
// Parts: only frames [feedFirst, feedEnd) go to the filter (the frames
// before are decoded and skipped, the input is not read past feedEnd), and
// only the outputs of frames [writeFirst, writeEnd) are written, with times
// that start at 0, and the other streams' packets of the same time span.
//
// Thread-safety: one thread (the filter's callbacks run on it); decoding and
// encoding run ahead and behind on threads of their own (host/frame_pipeline.h).
#pragma once

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

#include "host/filter_instance.h"
#include "host/media_output.h"
#include "host/progress.h"

namespace host {

struct RPassRequest {
  std::string passName;  // for the progress line, e.g. "pass 1"
  int passIndex = 1, passCount = 1;
  long long laterFrames = -1;  // frame calls of the command's later passes; -1: as many
  long long knownFrames = 0;   // the input's frames in the run when known (from pass 1); 0: not
  std::string inputPath;
  std::string outputWritePath;   // empty: the filter's output is discarded
  std::string outputNamedPath;   // the user's name, selects the container
  std::string compareWritePath;  // empty: none; else input and output side by side
  std::string compareNamedPath;
  int delayFrames = 0;                      // leading outputs to drop; 0: none
  long long feedFirst = 0, feedEnd = -1;    // -1: to the end of the input
  long long writeFirst = 0, writeEnd = -1;  // within the fed frames
  REncodingOptions encoding;
  // Called with the input's frame size before the filter's run starts, and
  // before the filter sees frame `frame`; either may throw CHostError to
  // refuse the run.
  std::function<void(long width, long height)> checkSource;
  std::function<void(long long frame)> checkFrame;
  bool announceInput = false;  // warn that further video streams are left out
  bool quiet = false;          // no notes (what is re-encoded), warnings only
  // Sees every picture handed to the filter in the source bitmap before the
  // filter does (not the repeated last picture of the delay calls).
  std::function<void(const VFBitmap&)> sourceObserver;
};

struct RPassReport {
  long long decodedFrames = 0;  // pictures decoded, skipped ones before feedFirst included
  long long fedFrames = 0;      // pictures handed to the filter
  long long filterCalls = 0;
  long long writtenFrames = 0;
  bool inputEnded = false;  // the input ended before feedEnd (or feedEnd was -1)
  int corruptFrames = 0;    // skipped pictures and unreadable packets
  long destinationWidth = 0;
  long destinationHeight = 0;
};

// Throws CHostError: runtime for input, codec and file failures, for an
// input that holds a single picture or changes its frame size; interrupted
// when a signal arrived (checked after the filter's start and every frame,
// and before the output is finished).
RPassReport runPass(CFilterInstance& instance, const RPassRequest& request,
                    CProgressDisplay& progress, std::ostream& messages);

}  // namespace host

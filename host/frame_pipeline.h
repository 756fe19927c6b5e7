// A run's frames on several threads, so that a pass costs about its slowest
// stage instead of the sum of all: a reader thread demuxes and decodes
// pictures a few frames ahead of the filter and converts them straight into
// spare source bitmaps; the filter runs on the caller's thread; a writer
// thread encodes what the filter put into the destination bitmap, and copies
// the input's other packets, behind it. On a machine with cores to spare,
// converter threads take the conversions off the reader and the writer, so
// that consecutive pictures convert at the same time, still straight into
// the source bitmaps and in order. Frames are never copied on the way: the
// filter instance is pointed at the buffer that holds the next picture
// (CFilterInstance::usePixels).
//
// The filter and the output see the same pictures and calls in the same
// order as when one thread does everything (packets of other streams and
// pictures interleaved as the file has them), so the bytes do not change.
// An error of the reader (a picture size that changes) reaches the caller
// where the single-threaded loop would have met it: after every picture
// decoded before it. An error of the writer is thrown to the caller at its
// next hand-over or at finishWriting. A picture swscale cannot convert is
// skipped and counted (skippedPictures), as the decoder does with corrupt
// ones; it counts towards the picture limit.
//
// The number of converter threads follows the machine's cores (none below
// four, then half of them, at most four), not the filter's processor count;
// QUIVENTA_CONVERTER_THREADS=N in the environment (0 to 8) sets it, and the
// constructor throws CHostError (usage) for another value.
//
// Signals go to the caller's thread only, whose checks and handlers expect
// them (host/interrupt.h); stopping there stops every thread of the
// pipeline.
//
// Thread-safety: every member function on the thread that created the
// pipeline, which also owns the filter instance. The input, decoder and
// output belong to the pipeline's threads while it exists (the decoder's and
// input's counters may be read once nextPicture returned false).
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "host/av_handles.h"
#include "host/bounded_queue.h"
#include "host/filter_instance.h"
#include "host/media_input.h"
#include "host/media_output.h"
#include "host/picture_conversion.h"
#include "host/video_decoder.h"

namespace host {

struct RPipelineSetup {
  CMediaInput* input = nullptr;
  CVideoDecoder* decoder = nullptr;
  CFilterInstance* instance = nullptr;  // with its run open
  CMediaOutput* output = nullptr;       // opened; null: the output is discarded
  // The last picture is kept as a source for calls after the input's end.
  bool keepLastPicture = false;
  // The input is not read past this many pictures; -1: to its end.
  long long pictureLimit = -1;
};

class CFramePipeline {
 public:
  // Starts the reader, the converter threads and (with an output) the writer.
  explicit CFramePipeline(const RPipelineSetup& setup);
  // Stops every thread without waiting for the rest of the input and points
  // the instance back at its own pixels.
  ~CFramePipeline();
  CFramePipeline(const CFramePipeline&) = delete;
  CFramePipeline& operator=(const CFramePipeline&) = delete;

  // Makes the next decoded picture the instance's source (with a free
  // destination) and gives its time in the stream's time base
  // (AV_NOPTS_VALUE when unknown). False at the end of the input. Rethrows
  // what stopped the reader.
  bool nextPicture(std::int64_t* pts);
  // After nextPicture returned false: whether the input ended (rather than
  // the picture limit stopping it).
  bool inputEnded() const { return inputEnded_; }
  // Decoded pictures swscale could not convert, left out.
  int skippedPictures() const { return skippedPictures_; }
  // Makes the last picture the source again, for a call after the input's
  // end. Needs keepLastPicture and one picture.
  void repeatLastPicture();
  // Hands the destination of the call just made to the writer, with time
  // `pts`. Rethrows the writer's error.
  void writeDestination(std::int64_t pts);
  // Waits until everything handed over is written; rethrows the writer's
  // error. The output may then be finished.
  void finishWriting();

 private:
  // A buffer of the pools: an index into sources_ or destinations_.
  using Slot = int;
  enum class ItemKind { kPicture, kPacket, kEnd, kError };
  struct RItem {
    ItemKind kind = ItemKind::kEnd;
    Slot slot = -1;  // kPicture: its source buffer (and, in place, destination)
    std::int64_t pts = 0;
    AvPacket packet;           // kPacket
    std::exception_ptr error;  // kError
    bool inputEnded = false;   // kEnd
  };
  // A converter's work: the decoded `picture` into source `slot`, or
  // (without a picture) what the writer gets from `slot` into its encoder
  // picture.
  struct RConversion {
    Slot slot = -1;
    AvFrame picture;
  };
  // Where a conversion's outcome waits for the one thread that needs it,
  // one per slot: a slot is converted at most once before it is used.
  template <typename T>
  using Outcomes = std::vector<std::unique_ptr<CBoundedQueue<T>>>;

  void stop();
  void readAll();
  void receivePictures(bool* stopped);
  void convertAll(int converter);
  bool convertToSource(RConversion* conversion, int converter);
  std::exception_ptr convertForEncoder(Slot slot, int converter);
  void writeAll();
  void handToWriter(RItem item);
  void takeDestination();
  void releaseHeld();
  Pixel32* sourcePixels(Slot slot) const;
  Pixel32* destinationPixels(Slot slot) const;
  Pixel32* writerPixels(Slot slot) const;

  RPipelineSetup setup_;
  const VFBitmap sourceLayout_;
  const VFBitmap destinationLayout_;
  const bool inPlace_;
  const int converterThreads_;  // 0: the reader and the writer convert themselves
  std::vector<AvBuffer> sources_;
  std::vector<AvBuffer> destinations_;  // empty in place or without an output
  AvBuffer lastPicture_;                // in place: the last picture as decoded
  // Per converter thread (without any: one for the reader), its own
  // conversions; none to the encoder without an output or threads.
  std::vector<CPictureToBitmap> toBitmap_;
  std::vector<CBitmapToPicture> toEncoder_;
  // Per writer slot (destinations_, in place sources_) with converter
  // threads: its encoder picture.
  std::vector<AvFrame> encoderPictures_;
  CBoundedQueue<Slot> freeSources_;
  CBoundedQueue<Slot> freeDestinations_;
  CBoundedQueue<RConversion> conversions_;
  Outcomes<bool> converted_;                   // per source slot: whether it holds its picture
  Outcomes<std::exception_ptr> encoderReady_;  // per writer slot: null when it does
  CBoundedQueue<RItem> decoded_;
  CBoundedQueue<RItem> toWrite_;
  // On the caller's thread: the source of the call being made (and the one
  // before it) and its destination, -1 when none.
  Slot heldSource_ = -1;
  Slot heldDestination_ = -1;
  bool destinationHandedOver_ = false;
  bool readerEnded_ = false;
  bool inputEnded_ = false;
  int skippedPictures_ = 0;
  long long pictures_ = 0;  // the reader's
  // Written by the writer before it takes its next item; read by the
  // caller's thread under the queue's ordering or after the join.
  std::exception_ptr writeError_;
  std::atomic<bool> writeFailed_{false};
  std::atomic<bool> stopping_{false};
  std::thread reader_;
  std::vector<std::thread> converters_;
  std::thread writer_;
};

}  // namespace host

#include "host/frame_pipeline.h"

#include <pthread.h>

#include <csignal>
#include <cstring>

namespace host {
namespace {

// Enough for the reader to be a couple of pictures ahead while the filter
// holds one (and, after the input's end, the last) and the writer encodes
// one; more would only cost memory.
constexpr int kSourceBuffers = 4;
constexpr int kDestinationBuffers = 3;
// Pictures are bounded by the buffers; this bounds the packets of other
// streams that travel between them.
constexpr std::size_t kQueuedItems = 32;

// Blocks the termination signals on the calling thread while it lives, so
// that threads started meanwhile leave them to the main thread, whose checks
// and handlers expect them (host/interrupt.h).
class CSignalsBlocked {
 public:
  CSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&blocked, signalNumber);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
  }
  ~CSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  CSignalsBlocked(const CSignalsBlocked&) = delete;
  CSignalsBlocked& operator=(const CSignalsBlocked&) = delete;

 private:
  sigset_t previous_;
};

std::vector<AvBuffer> allocateBuffers(const VFBitmap& layout, int count) {
  std::vector<AvBuffer> buffers;
  for (int i = 0; i < count; ++i) buffers.push_back(CFilterInstance::allocatePixels(layout));
  return buffers;
}

}  // namespace

CFramePipeline::CFramePipeline(const RPipelineSetup& setup)
    : setup_(setup),
      sourceLayout_(setup.instance->source()),
      destinationLayout_(setup.instance->destination()),
      inPlace_(setup.instance->inPlace()),
      sources_(allocateBuffers(sourceLayout_, kSourceBuffers)),
      destinations_(allocateBuffers(
          destinationLayout_, setup.output != nullptr && !inPlace_ ? kDestinationBuffers : 0)),
      freeSources_(kSourceBuffers),
      freeDestinations_(kDestinationBuffers),
      decoded_(kQueuedItems),
      toWrite_(kQueuedItems) {
  for (Slot slot = 0; slot < kSourceBuffers; ++slot) freeSources_.push(slot);
  for (Slot slot = 0; slot < static_cast<Slot>(destinations_.size()); ++slot) {
    freeDestinations_.push(slot);
  }
  // An in-place filter writes over its source, so what the calls after the
  // input's end get is kept aside as it was decoded.
  if (setup.keepLastPicture && inPlace_)
    lastPicture_ = CFilterInstance::allocatePixels(sourceLayout_);

  const CSignalsBlocked signalsBlocked;
  reader_ = std::thread([this] { readAll(); });
  if (setup_.output != nullptr) {
    try {
      writer_ = std::thread([this] { writeAll(); });
    } catch (...) {
      stopping_ = true;
      decoded_.close();
      freeSources_.close();
      reader_.join();
      throw;
    }
  }
}

CFramePipeline::~CFramePipeline() {
  stopping_ = true;
  decoded_.close();
  freeSources_.close();
  freeDestinations_.close();
  toWrite_.close();
  if (reader_.joinable()) reader_.join();
  if (writer_.joinable()) writer_.join();
  setup_.instance->usePixels(nullptr, nullptr);
}

bool CFramePipeline::nextPicture(std::int64_t* pts) {
  while (!readerEnded_) {
    std::optional<RItem> item = decoded_.pop();
    if (!item || item->kind == ItemKind::kEnd || item->kind == ItemKind::kError) {
      readerEnded_ = true;
      reader_.join();
      if (item && item->kind == ItemKind::kError) std::rethrow_exception(item->error);
      inputEnded_ = item && item->inputEnded;
      break;
    }
    if (item->kind == ItemKind::kPacket) {
      handToWriter(std::move(*item));
      continue;
    }
    releaseHeld();
    heldSource_ = item->slot;
    if (lastPicture_) {
      std::memcpy(lastPicture_.get(), sourcePixels(heldSource_),
                  static_cast<std::size_t>(sourceLayout_.size));
    }
    takeDestination();
    *pts = item->pts;
    return true;
  }
  return false;
}

void CFramePipeline::repeatLastPicture() {
  if (inPlace_) {
    // The held buffer carries the filter's output now (or the writer has it).
    releaseHeld();
    std::optional<Slot> slot = freeSources_.pop();
    if (!slot) return;
    heldSource_ = *slot;
    std::memcpy(sourcePixels(heldSource_), lastPicture_.get(),
                static_cast<std::size_t>(sourceLayout_.size));
  }
  takeDestination();
}

void CFramePipeline::writeDestination(std::int64_t pts) {
  if (setup_.output == nullptr) return;
  RItem item;
  item.kind = ItemKind::kPicture;
  item.slot = inPlace_ ? heldSource_ : heldDestination_;
  item.pts = pts;
  destinationHandedOver_ = true;
  handToWriter(std::move(item));
}

void CFramePipeline::finishWriting() {
  if (!writer_.joinable()) return;
  toWrite_.push(RItem{});
  writer_.join();
  if (writeError_) std::rethrow_exception(writeError_);
}

void CFramePipeline::handToWriter(RItem item) {
  if (writeFailed_.load(std::memory_order_acquire)) std::rethrow_exception(writeError_);
  if (setup_.output == nullptr) return;
  toWrite_.push(std::move(item));
}

void CFramePipeline::takeDestination() {
  if (inPlace_ || destinations_.empty()) {
    setup_.instance->usePixels(sourcePixels(heldSource_), nullptr);
    return;
  }
  // A destination that went to no writer (a call that only fills the delay)
  // serves the next call.
  if (heldDestination_ < 0 || destinationHandedOver_) {
    std::optional<Slot> slot = freeDestinations_.pop();
    heldDestination_ = slot ? *slot : -1;
    destinationHandedOver_ = false;
  }
  setup_.instance->usePixels(sourcePixels(heldSource_), destinationPixels(heldDestination_));
}

void CFramePipeline::releaseHeld() {
  if (heldSource_ < 0) return;
  // In place the writer gives the buffer back once it has encoded it.
  if (!(inPlace_ && destinationHandedOver_)) freeSources_.push(heldSource_);
  if (inPlace_) destinationHandedOver_ = false;
  heldSource_ = -1;
}

Pixel32* CFramePipeline::sourcePixels(Slot slot) const {
  return slot < 0 ? nullptr : reinterpret_cast<Pixel32*>(sources_[slot].get());
}

Pixel32* CFramePipeline::destinationPixels(Slot slot) const {
  return slot < 0 ? nullptr : reinterpret_cast<Pixel32*>(destinations_[slot].get());
}

void CFramePipeline::readAll() {
  RItem last;
  try {
    AvPacket packet = allocatePacket();
    const int videoIndex = setup_.input->videoStreamIndex();
    bool stopped = false;
    const long long limit = setup_.pictureLimit;
    auto limitReached = [&] { return limit >= 0 && pictures_ >= limit; };
    while (!stopped && !stopping_ && !limitReached() && setup_.input->readPacket(packet.get())) {
      if (packet->stream_index == videoIndex) {
        setup_.decoder->send(packet.get());
        av_packet_unref(packet.get());
        receivePictures(&stopped);
      } else if (setup_.output != nullptr) {
        RItem item;
        item.kind = ItemKind::kPacket;
        item.packet = allocatePacket();
        av_packet_move_ref(item.packet.get(), packet.get());
        stopped = !decoded_.push(std::move(item));
      } else {
        av_packet_unref(packet.get());
      }
    }
    // Stopped early, the caller is leaving and needs no more pictures.
    if (!stopped && !stopping_ && !limitReached()) {
      setup_.decoder->send(nullptr);
      receivePictures(&stopped);
      last.inputEnded = true;
    }
  } catch (...) {
    last.kind = ItemKind::kError;
    last.error = std::current_exception();
  }
  decoded_.push(std::move(last));
}

void CFramePipeline::receivePictures(bool* stopped) {
  while (setup_.pictureLimit < 0 || pictures_ < setup_.pictureLimit) {
    std::optional<Slot> slot = freeSources_.pop();
    if (!slot) {
      *stopped = true;
      return;
    }
    VFBitmap bitmap = sourceLayout_;
    bitmap.data = sourcePixels(*slot);
    RItem item;
    item.kind = ItemKind::kPicture;
    item.slot = *slot;
    bool received = false;
    try {
      received = setup_.decoder->receive(bitmap, &item.pts);
    } catch (...) {
      freeSources_.push(*slot);
      throw;
    }
    if (!received) {
      freeSources_.push(*slot);
      return;
    }
    ++pictures_;
    if (!decoded_.push(std::move(item))) {
      *stopped = true;
      return;
    }
  }
}

void CFramePipeline::writeAll() {
  while (std::optional<RItem> item = toWrite_.pop()) {
    if (item->kind == ItemKind::kEnd) return;
    if (!writeFailed_.load(std::memory_order_relaxed)) {
      try {
        if (item->kind == ItemKind::kPacket) {
          setup_.output->writeInputPacket(item->packet.get());
        } else {
          VFBitmap bitmap = destinationLayout_;
          bitmap.data = inPlace_ ? sourcePixels(item->slot) : destinationPixels(item->slot);
          setup_.output->writePicture(bitmap, item->pts);
        }
      } catch (...) {
        writeError_ = std::current_exception();
        writeFailed_.store(true, std::memory_order_release);
      }
    }
    // Failed or not, the buffer goes back, so the caller never waits for it.
    if (item->kind == ItemKind::kPicture) {
      (inPlace_ ? freeSources_ : freeDestinations_).push(item->slot);
    }
  }
}

}  // namespace host

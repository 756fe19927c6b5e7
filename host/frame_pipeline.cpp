#include "host/frame_pipeline.h"

#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_error.h"
#include "host/machine_limits.h"

namespace host {
namespace {

constexpr int kMostConverterThreads = 8;

// Converter threads pay off only where cores are left once the filter and
// the decoder have theirs. On fewer than four the reader and the writer
// convert themselves, which measured faster there than handing the
// conversions over (the decoded picture is still in the cache, and the two
// directions run at once); from four on, half the cores convert, at most
// four: beyond that the filter, not the conversion, sets the pace.
int converterThreads() {
  if (const char* given = std::getenv("QUIVENTA_CONVERTER_THREADS")) {
    char* end = nullptr;
    const long value = std::strtol(given, &end, 10);
    if (*given == '\0' || *end != '\0' || value < 0 || value > kMostConverterThreads) {
      failUsage(std::string("QUIVENTA_CONVERTER_THREADS=") + given + ": give a number from 0 to " +
                std::to_string(kMostConverterThreads));
    }
    return static_cast<int>(value);
  }
  const int cores = machineCores();
  return cores < 4 ? 0 : std::min(cores / 2, 4);
}
// Enough sources for the reader to be a couple of pictures ahead while the
// filter holds one (and, after the input's end, the last) and the writer
// encodes one in place, and for every converter thread to work meanwhile;
// likewise the destinations behind the filter. More would only cost memory.
int sourceBuffers(int converterThreads) { return 4 + converterThreads; }
int destinationBuffers(int converterThreads) { return 3 + converterThreads; }
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

template <typename T>
std::vector<std::unique_ptr<CBoundedQueue<T>>> oneEach(std::size_t count) {
  std::vector<std::unique_ptr<CBoundedQueue<T>>> queues;
  for (std::size_t i = 0; i < count; ++i) queues.push_back(std::make_unique<CBoundedQueue<T>>(1));
  return queues;
}

}  // namespace

CFramePipeline::CFramePipeline(const RPipelineSetup& setup)
    : setup_(setup),
      sourceLayout_(setup.instance->source()),
      destinationLayout_(setup.instance->destination()),
      inPlace_(setup.instance->inPlace()),
      converterThreads_(converterThreads()),
      sources_(allocateBuffers(sourceLayout_, sourceBuffers(converterThreads_))),
      destinations_(allocateBuffers(destinationLayout_, setup.output != nullptr && !inPlace_
                                                            ? destinationBuffers(converterThreads_)
                                                            : 0)),
      freeSources_(sources_.size()),
      freeDestinations_(destinationBuffers(converterThreads_)),
      conversions_(sources_.size() + destinations_.size()),
      converted_(oneEach<bool>(sources_.size())),
      encoderReady_(
          oneEach<std::exception_ptr>(setup.output == nullptr || converterThreads_ == 0
                                          ? 0
                                          : (inPlace_ ? sources_ : destinations_).size())),
      decoded_(kQueuedItems),
      toWrite_(kQueuedItems) {
  for (Slot slot = 0; slot < static_cast<Slot>(sources_.size()); ++slot) freeSources_.push(slot);
  for (Slot slot = 0; slot < static_cast<Slot>(destinations_.size()); ++slot) {
    freeDestinations_.push(slot);
  }
  // An in-place filter writes over its source, so what the calls after the
  // input's end get is kept aside as it was decoded.
  if (setup.keepLastPicture && inPlace_)
    lastPicture_ = CFilterInstance::allocatePixels(sourceLayout_);
  // Without converter threads the reader uses the first; the writer then
  // has the output convert.
  for (int converter = 0; converter < std::max(converterThreads_, 1); ++converter) {
    toBitmap_.emplace_back(setup.input->videoStream());
    if (setup.output != nullptr && converterThreads_ > 0) {
      toEncoder_.push_back(setup.output->makeConverter());
    }
  }
  for (std::size_t slot = 0; slot < encoderReady_.size(); ++slot) {
    encoderPictures_.push_back(toEncoder_.front().allocatePicture());
  }

  const CSignalsBlocked signalsBlocked;
  try {
    reader_ = std::thread([this] { readAll(); });
    for (int converter = 0; converter < converterThreads_; ++converter) {
      converters_.emplace_back([this, converter] { convertAll(converter); });
    }
    if (setup_.output != nullptr) writer_ = std::thread([this] { writeAll(); });
  } catch (...) {
    stop();
    throw;
  }
}

CFramePipeline::~CFramePipeline() {
  stop();
  setup_.instance->usePixels(nullptr, nullptr);
}

void CFramePipeline::stop() {
  stopping_ = true;
  decoded_.close();
  freeSources_.close();
  freeDestinations_.close();
  conversions_.close();
  for (auto& outcome : converted_) outcome->close();
  for (auto& outcome : encoderReady_) outcome->close();
  toWrite_.close();
  if (reader_.joinable()) reader_.join();
  for (std::thread& converter : converters_) converter.join();
  if (writer_.joinable()) writer_.join();
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
    // The converters may finish pictures out of order; they are taken in the
    // order decoded.
    const std::optional<bool> converted = converted_[item->slot]->pop();
    if (!converted || !*converted) {
      ++skippedPictures_;
      freeSources_.push(item->slot);
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
  if (item.slot < 0) return;  // stopping: nothing to write into
  destinationHandedOver_ = true;
  if (writeFailed_.load(std::memory_order_acquire)) std::rethrow_exception(writeError_);
  if (converterThreads_ > 0) conversions_.push(RConversion{item.slot, nullptr});
  toWrite_.push(std::move(item));
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

Pixel32* CFramePipeline::writerPixels(Slot slot) const {
  return inPlace_ ? sourcePixels(slot) : destinationPixels(slot);
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
    RConversion conversion{-1, allocateFrame()};
    std::optional<Slot> slot = freeSources_.pop();
    if (!slot) {
      *stopped = true;
      return;
    }
    conversion.slot = *slot;
    RItem item;
    item.kind = ItemKind::kPicture;
    item.slot = *slot;
    bool received = false;
    try {
      received = setup_.decoder->receive(conversion.picture.get(), &item.pts);
    } catch (...) {
      freeSources_.push(*slot);
      throw;
    }
    if (!received) {
      freeSources_.push(*slot);
      return;
    }
    ++pictures_;
    // The conversion is under way before the caller learns of the picture,
    // so the caller never waits for one nobody was asked for.
    if (converterThreads_ == 0) {
      converted_[*slot]->push(convertToSource(&conversion, 0));
    } else if (!conversions_.push(std::move(conversion))) {
      *stopped = true;
      return;
    }
    if (!decoded_.push(std::move(item))) {
      *stopped = true;
      return;
    }
  }
}

void CFramePipeline::convertAll(int converter) {
  while (std::optional<RConversion> conversion = conversions_.pop()) {
    const Slot slot = conversion->slot;
    if (conversion->picture) {
      converted_[slot]->push(convertToSource(&*conversion, converter));
    } else {
      encoderReady_[slot]->push(convertForEncoder(slot, converter));
    }
  }
}

bool CFramePipeline::convertToSource(RConversion* conversion, int converter) {
  VFBitmap bitmap = sourceLayout_;
  bitmap.data = sourcePixels(conversion->slot);
  const bool converted = toBitmap_[converter].convert(*conversion->picture, bitmap);
  conversion->picture.reset();  // the decoder's buffer goes back at once
  return converted;
}

std::exception_ptr CFramePipeline::convertForEncoder(Slot slot, int converter) {
  try {
    AVFrame* picture = encoderPictures_[slot].get();
    // The encoder may still hold the picture it was last given from here.
    if (av_frame_make_writable(picture) < 0) throw std::bad_alloc();
    VFBitmap bitmap = destinationLayout_;
    bitmap.data = writerPixels(slot);
    toEncoder_[converter].convert(bitmap, picture);
    return nullptr;
  } catch (...) {
    return std::current_exception();
  }
}

void CFramePipeline::writeAll() {
  while (std::optional<RItem> item = toWrite_.pop()) {
    if (item->kind == ItemKind::kEnd) return;
    std::exception_ptr conversionError;
    if (item->kind == ItemKind::kPicture && converterThreads_ > 0) {
      std::optional<std::exception_ptr> ready = encoderReady_[item->slot]->pop();
      if (!ready) return;  // stopping
      conversionError = *ready;
    }
    if (!writeFailed_.load(std::memory_order_relaxed)) {
      try {
        if (conversionError) std::rethrow_exception(conversionError);
        if (item->kind == ItemKind::kPacket) {
          setup_.output->writeInputPacket(item->packet.get());
        } else if (converterThreads_ == 0) {
          VFBitmap bitmap = destinationLayout_;
          bitmap.data = writerPixels(item->slot);
          setup_.output->writePicture(bitmap, item->pts);
        } else {
          setup_.output->encodePicture(encoderPictures_[item->slot].get(), item->pts);
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

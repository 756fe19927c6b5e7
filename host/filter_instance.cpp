#include "host/filter_instance.h"

#include <cstring>

#include "host/host_error.h"

namespace host {
namespace {

// Frames beyond this side would not fit the encoders anyway; a filter that
// asks for more has misread its settings.
constexpr long kMaxSide = 65536;
// swscale reads and writes rows in whole vectors, a little past the last
// pixel; the bitmaps' last stored row must have room for that.
constexpr std::size_t kScalerSlack = 64;

std::ptrdiff_t alignedPitch(long width, std::ptrdiff_t alignment) {
  const std::ptrdiff_t bytes = static_cast<std::ptrdiff_t>(width) * 4;
  return (bytes + alignment - 1) / alignment * alignment;
}

}  // namespace

CFilterInstance::CFilterInstance(const CFilterModule& module)
    : module_(module),
      memory_((static_cast<std::size_t>(module.definition().inst_data_size) + 7) / 8 + 1, 0),
      activation_(destination_, source_) {
  activation_.filter = &module_.definition();
  activation_.filter_data = memory_.data();
  activation_.pfsi = &state_;
  if (module_.definition().initProc != nullptr) {
    module_.definition().initProc(&activation_, &module_.functions());
  }
}

CFilterInstance::~CFilterInstance() {
  if (runOpen_) endRun();
  if (module_.definition().deinitProc != nullptr) {
    module_.definition().deinitProc(&activation_, &module_.functions());
  }
}

std::string CFilterInstance::settingsStatement() {
  // The writer leaves the buffer empty rather than cut the statement, so a
  // longer buffer is tried until it fits.
  for (int length = 4096; length <= (1 << 22); length *= 4) {
    std::vector<char> buffer(static_cast<std::size_t>(length), '\0');
    module_.definition().fssProc(&activation_, &module_.functions(), buffer.data(), length);
    buffer.back() = '\0';
    if (buffer[0] != '\0') return std::string(buffer.data());
  }
  failRuntime(std::string("filter ") + module_.definition().name + " wrote no settings statement");
}

void CFilterInstance::applySettingsString(const std::string& settings) {
  // The interpreter owns the string it passes; the function may only read it.
  std::vector<char> text(settings.begin(), settings.end());
  text.push_back('\0');
  char* pointer = text.data();
  CScriptValue argument(&pointer);
  module_.configFunction()(nullptr, &activation_, &argument, 1);
}

bool CFilterInstance::configure() {
  const FilterConfigProc configProc = module_.definition().configProc;
  return configProc != nullptr && configProc(&activation_, &module_.functions(), nullptr) == 0;
}

void CFilterInstance::beginRun(long sourceWidth, long sourceHeight) {
  if (runOpen_) endRun();
  if (sourceWidth < 1 || sourceHeight < 1 || sourceWidth > kMaxSide || sourceHeight > kMaxSide) {
    failRuntime("the video's frame size " + std::to_string(sourceWidth) + "x" +
                std::to_string(sourceHeight) + " cannot be processed");
  }
  source_ = VFBitmap{};
  source_.w = sourceWidth;
  source_.h = sourceHeight;
  source_.pitch = alignedPitch(sourceWidth, 32);
  source_.modulo = source_.pitch - sourceWidth * 4;
  source_.size = source_.pitch * sourceHeight;
  sourcePixels_ = allocatePixels(source_);
  source_.data = reinterpret_cast<Pixel32*>(sourcePixels_.get());

  destination_ = VFBitmap{};
  destination_.w = sourceWidth;
  destination_.h = sourceHeight;
  destination_.pitch = source_.pitch;
  destination_.modulo = source_.modulo;
  destination_.size = source_.size;

  long paramResult = FILTERPARAM_SWAP_BUFFERS;
  if (module_.definition().paramProc != nullptr) {
    paramResult = module_.definition().paramProc(&activation_, &module_.functions());
  }
  const long w = destination_.w;
  const long h = destination_.h;
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) {
    failRuntime(std::string("filter ") + module_.definition().name + " asked for a " +
                std::to_string(w) + "x" + std::to_string(h) + " output frame");
  }
  if (destination_.pitch < static_cast<std::ptrdiff_t>(w) * 4)
    destination_.pitch = alignedPitch(w, 8);
  destination_.modulo = destination_.pitch - w * 4;
  destination_.size = destination_.pitch * h;
  destination_.offset = 0;
  destination_.hdc = nullptr;
  const bool inPlace = !(paramResult & FILTERPARAM_SWAP_BUFFERS) && w == sourceWidth &&
                       h == sourceHeight && destination_.pitch == source_.pitch;
  inPlace_ = inPlace;
  if (inPlace) {
    destinationPixels_.reset();
    destination_.data = source_.data;
  } else {
    destinationPixels_ = allocatePixels(destination_);
    destination_.data = reinterpret_cast<Pixel32*>(destinationPixels_.get());
  }
  if (destination_.dwFlags & VFBitmap::NEEDS_HDC) {
    deviceContext_ = std::make_unique<RDeviceContext>(
        RDeviceContext{destination_.data, w, h, destination_.pitch});
    destination_.hdc = deviceContext_.get();
  }
  sourceLayout_ = source_;
  destinationLayout_ = destination_;

  state_ = FilterStateInfo{};
  runOpen_ = true;
  if (module_.definition().startProc != nullptr) {
    restoreBitmaps();
    module_.definition().startProc(&activation_, &module_.functions());
  }
}

void CFilterInstance::runFrame(const FilterStateInfo& state) {
  restoreBitmaps();
  state_ = state;
  module_.definition().runProc(&activation_, &module_.functions());
}

void CFilterInstance::endRun() {
  if (!runOpen_) return;
  runOpen_ = false;
  restoreBitmaps();
  if (module_.definition().endProc != nullptr) {
    module_.definition().endProc(&activation_, &module_.functions());
  }
  destination_.hdc = nullptr;
  destinationLayout_.hdc = nullptr;
  deviceContext_.reset();
}

void CFilterInstance::usePixels(Pixel32* source, Pixel32* destination) {
  if (source == nullptr) source = reinterpret_cast<Pixel32*>(sourcePixels_.get());
  if (inPlace_) {
    destination = source;
  } else if (destination == nullptr) {
    destination = reinterpret_cast<Pixel32*>(destinationPixels_.get());
  }
  sourceLayout_.data = source;
  destinationLayout_.data = destination;
  if (deviceContext_) deviceContext_->bits = destination;
}

AvBuffer CFilterInstance::allocatePixels(const VFBitmap& layout) {
  return allocateBuffer(static_cast<std::size_t>(layout.size) + kScalerSlack);
}

void CFilterInstance::restoreBitmaps() {
  source_ = sourceLayout_;
  destination_ = destinationLayout_;
  activation_.pfsi = &state_;
}

}  // namespace host

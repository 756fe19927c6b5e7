#include "host/pass_runner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>

#include "host/frame_pipeline.h"
#include "host/host_error.h"
#include "host/interrupt.h"
#include "host/media_input.h"
#include "host/video_decoder.h"

namespace host {
namespace {

// Input (left) and output (right) side by side, tops aligned, in one
// bottom-up bitmap; what neither covers is black.
class CSideBySide {
 public:
  CSideBySide(const VFBitmap& source, const VFBitmap& destination)
      : leftWidth_(source.w),
        rightWidth_(destination.w),
        height_(std::max(source.h, destination.h)) {
    pixels_ =
        allocateBuffer(static_cast<std::size_t>((leftWidth_ + rightWidth_) * 4 * height_) + 64);
    bitmap_ = VFBitmap{};
    bitmap_.w = leftWidth_ + rightWidth_;
    bitmap_.h = height_;
    bitmap_.pitch = bitmap_.w * 4;
    bitmap_.size = bitmap_.pitch * height_;
    bitmap_.data = reinterpret_cast<Pixel32*>(pixels_.get());
  }

  // `sourcePixels` holds a picture laid out as the source bitmap.
  const VFBitmap& compose(const VFBitmap& source, const std::uint8_t* sourcePixels,
                          const VFBitmap& destination) {
    std::memset(pixels_.get(), 0, static_cast<std::size_t>(bitmap_.size));
    auto* rows = reinterpret_cast<std::uint8_t*>(bitmap_.data);
    // Picture row r (from the top) is stored row h - 1 - r in each bitmap.
    for (long r = 0; r < source.h; ++r) {
      std::memcpy(rows + (height_ - 1 - r) * bitmap_.pitch,
                  sourcePixels + (source.h - 1 - r) * source.pitch,
                  static_cast<std::size_t>(source.w) * 4);
    }
    const auto* output = reinterpret_cast<const std::uint8_t*>(destination.data);
    for (long r = 0; r < destination.h; ++r) {
      std::memcpy(rows + (height_ - 1 - r) * bitmap_.pitch + leftWidth_ * 4,
                  output + (destination.h - 1 - r) * destination.pitch,
                  static_cast<std::size_t>(destination.w) * 4);
    }
    return bitmap_;
  }
  const VFBitmap& bitmap() const { return bitmap_; }

 private:
  long leftWidth_, rightWidth_, height_;
  AvBuffer pixels_;
  VFBitmap bitmap_;
};

class CPassLoop {
 public:
  CPassLoop(CFilterInstance& instance, const RPassRequest& request, CProgressDisplay& progress,
            std::ostream& messages)
      : instance_(instance),
        request_(request),
        progress_(progress),
        messages_(messages),
        input_(request.inputPath),
        decoder_(input_.videoStream()),
        frameRate_(input_.frameRate()),
        frameTicks_(av_rescale_q(1, av_inv_q(frameRate_), input_.videoStream().time_base)) {
    microsecsPerFrame_ = std::lround(1e6 * frameRate_.den / frameRate_.num);
    partial_ = request.writeFirst > 0 || request.writeEnd >= 0;
    // The part's times: its frames at the input's rate from the stream's
    // start, the same for the video and the other streams.
    const AVStream& video = input_.videoStream();
    const double start =
        video.start_time == AV_NOPTS_VALUE ? 0 : video.start_time * av_q2d(video.time_base);
    partStart_ = start + static_cast<double>(request.writeFirst) / av_q2d(frameRate_);
    partEnd_ = request.writeEnd < 0
                   ? -1
                   : start + static_cast<double>(request.writeEnd) / av_q2d(frameRate_);
  }

  RPassReport run() {
    const AVStream& video = input_.videoStream();
    if (request_.announceInput && input_.videoStreamCount() > 1) {
      messages_ << "quiventa: warning: " << request_.inputPath << " has "
                << input_.videoStreamCount() << " video streams; stream "
                << input_.videoStreamIndex() << " (" << avcodec_get_name(video.codecpar->codec_id)
                << ", " << video.codecpar->width << "x" << video.codecpar->height
                << ") is stabilised, the others are left out\n";
    }
    if (request_.checkSource) request_.checkSource(video.codecpar->width, video.codecpar->height);
    stopIfInterrupted();
    instance_.beginRun(video.codecpar->width, video.codecpar->height);
    // A signal during the filter's start (its planning) stops the run here.
    stopIfInterrupted();
    const VFBitmap& destination = instance_.destination();
    report_.destinationWidth = destination.w;
    report_.destinationHeight = destination.h;

    const RVideoProperties properties = videoPropertiesOf(video, frameRate_);
    if (!request_.outputWritePath.empty()) {
      output_ = openOutput(request_.outputWritePath, request_.outputNamedPath, destination.w,
                           destination.h, properties, true);
    }
    if (!request_.compareWritePath.empty()) {
      sideBySide_ = std::make_unique<CSideBySide>(instance_.source(), destination);
      compare_ = openOutput(request_.compareWritePath, request_.compareNamedPath,
                            sideBySide_->bitmap().w, sideBySide_->bitmap().h, properties, false);
    }
    RProgressPass pass;
    pass.name = request_.passName;
    pass.index = request_.passIndex;
    pass.count = request_.passCount;
    pass.exact = request_.knownFrames > 0 || input_.frameCountIsExact();
    long long frames = request_.knownFrames > 0 ? request_.knownFrames
                                                : input_.estimatedFrameCount() - request_.feedFirst;
    if (request_.knownFrames == 0 && request_.feedEnd >= 0) {
      frames = std::min(frames, request_.feedEnd - request_.feedFirst);
    }
    pass.total = frames > 0 ? frames + request_.delayFrames : 0;
    pass.laterFrames = request_.laterFrames;
    progress_.start(pass);

    CFramePipeline pipeline(RPipelineSetup{.input = &input_,
                                           .decoder = &decoder_,
                                           .instance = &instance_,
                                           .output = output_.get(),
                                           .keepLastPicture = request_.delayFrames > 0,
                                           .pictureLimit = request_.feedEnd});
    pipeline_ = &pipeline;
    std::int64_t pts = AV_NOPTS_VALUE;
    while (pipeline.nextPicture(&pts)) receivePicture(pts);
    report_.inputEnded = pipeline.inputEnded();

    stopIfInterrupted();
    report_.corruptFrames =
        decoder_.corruptFrames() + pipeline.skippedPictures() + input_.readErrors();
    if (report_.decodedFrames == 0) {
      failRuntime("no video frame of " + request_.inputPath + " could be decoded");
    }
    if (report_.decodedFrames == 1) {
      failRuntime(request_.inputPath +
                  " holds a single picture, not a video: there is no motion to stabilise");
    }
    if (report_.fedFrames == 0) {
      failRuntime(request_.inputPath + " has " + std::to_string(report_.decodedFrames) +
                  " frames: --start lies after its end");
    }
    // The filter still holds the last frames; the last picture stands in as
    // source while it hands them out.
    for (int extra = 0; extra < request_.delayFrames; ++extra) {
      pipeline.repeatLastPicture();
      callFilter();
    }
    instance_.endRun();
    stopIfInterrupted();
    pipeline.finishWriting();
    if (output_) output_->finish();
    if (compare_) compare_->finish();
    progress_.finish();
    return report_;
  }

 private:
  std::unique_ptr<CMediaOutput> openOutput(const std::string& writePath,
                                           const std::string& namedPath, long width, long height,
                                           const RVideoProperties& properties, bool withStreams) {
    auto output = std::make_unique<CMediaOutput>(writePath, namedPath, request_.encoding);
    const std::string note = output->addVideo(static_cast<int>(width), static_cast<int>(height),
                                              properties, &input_.videoStream());
    if (!note.empty() && !request_.quiet) messages_ << "quiventa: " << note << "\n";
    if (withStreams) {
      output->addStreamsOf(input_.context(), input_.videoStreamIndex(), messages_,
                           request_.quiet ? nullptr : &messages_);
      if (partial_) output->setInputWindow(partStart_, partEnd_);
    }
    output->open();
    return output;
  }

  void receivePicture(std::int64_t pts) {
    if (pts == AV_NOPTS_VALUE) {
      pts = lastPts_ == AV_NOPTS_VALUE ? 0 : lastPts_ + frameTicks_;
    }
    lastPts_ = pts;
    const long long frame = report_.decodedFrames++;
    if (frame < request_.feedFirst) return;
    times_.push_back(pts);
    if (request_.checkFrame) request_.checkFrame(frame);
    ++report_.fedFrames;
    if (compare_) {
      // The output of a delayed frame comes later; its input waits here.
      AvBuffer copy = allocateBuffer(static_cast<std::size_t>(instance_.source().size));
      std::memcpy(copy.get(), instance_.source().data,
                  static_cast<std::size_t>(instance_.source().size));
      inputs_.push_back(std::move(copy));
    }
    if (request_.sourceObserver) request_.sourceObserver(instance_.source());
    callFilter();
  }

  void callFilter() {
    const long long call = report_.filterCalls;
    const long long number = request_.feedFirst + call;
    FilterStateInfo state;
    state.lCurrentFrame = static_cast<long>(number);
    state.lCurrentSourceFrame = static_cast<long>(number);
    state.lMicrosecsPerFrame = microsecsPerFrame_;
    state.lMicrosecsPerSrcFrame = microsecsPerFrame_;
    state.lSourceFrameMS = static_cast<long>(number * microsecsPerFrame_ / 1000);
    state.lDestFrameMS = state.lSourceFrameMS;
    instance_.runFrame(state);
    ++report_.filterCalls;

    // Calls before the delay has passed show the filter's waiting message.
    if (call >= request_.delayFrames) {
      const long long frame = number - request_.delayFrames;
      std::int64_t pts = times_.front();
      times_.pop_front();
      AvBuffer input;
      if (compare_) {
        input = std::move(inputs_.front());
        inputs_.pop_front();
      }
      if (frame >= request_.writeFirst && (request_.writeEnd < 0 || frame < request_.writeEnd)) {
        // A part starts at time 0, as FFmpeg's -ss makes it.
        if (partial_) {
          pts -= av_rescale_q(std::llround(partStart_ * 1e6), {1, 1000000},
                              input_.videoStream().time_base);
        }
        if (compare_) {
          compare_->writePicture(
              sideBySide_->compose(instance_.source(), input.get(), instance_.destination()), pts);
        }
        pipeline_->writeDestination(pts);
        ++report_.writtenFrames;
      }
    }
    progress_.update(report_.filterCalls);
    stopIfInterrupted();
  }

  CFilterInstance& instance_;
  const RPassRequest& request_;
  CProgressDisplay& progress_;
  std::ostream& messages_;
  CMediaInput input_;
  CVideoDecoder decoder_;
  AVRational frameRate_;
  std::int64_t frameTicks_;
  long microsecsPerFrame_ = 40000;
  bool partial_ = false;
  std::unique_ptr<CMediaOutput> output_;
  std::unique_ptr<CMediaOutput> compare_;
  std::unique_ptr<CSideBySide> sideBySide_;
  std::deque<AvBuffer> inputs_;         // --compare: the inputs of outputs still to come
  CFramePipeline* pipeline_ = nullptr;  // while the frames run
  std::deque<std::int64_t> times_;
  std::int64_t lastPts_ = AV_NOPTS_VALUE;
  double partStart_ = 0, partEnd_ = -1;  // seconds of the input
  RPassReport report_;
};

}  // namespace

RPassReport runPass(CFilterInstance& instance, const RPassRequest& request,
                    CProgressDisplay& progress, std::ostream& messages) {
  CPassLoop loop(instance, request, progress, messages);
  return loop.run();
}

}  // namespace host

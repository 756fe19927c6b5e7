#include "host/pass_runner.h"

#include <cmath>
#include <cstring>
#include <deque>
#include <memory>

#include "host/host_error.h"
#include "host/interrupt.h"
#include "host/media_input.h"
#include "host/video_decoder.h"

namespace host {
namespace {

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

    if (!request_.outputWritePath.empty()) {
      output_ = std::make_unique<CMediaOutput>(request_.outputWritePath, request_.outputNamedPath,
                                               request_.encoding);
      const std::string note =
          output_->addVideo(static_cast<int>(destination.w), static_cast<int>(destination.h),
                            videoPropertiesOf(video, frameRate_), &video);
      if (!note.empty() && !request_.quiet) messages_ << "quiventa: " << note << "\n";
      output_->addStreamsOf(input_.context(), input_.videoStreamIndex(), messages_,
                            request_.quiet ? nullptr : &messages_);
      output_->open();
    }
    if (request_.delayFrames > 0) {
      lastPicture_ = allocateBuffer(static_cast<std::size_t>(instance_.source().size));
    }

    const long long estimate = input_.estimatedFrameCount();
    progress_.start(request_.passName, estimate > 0 ? estimate + request_.delayFrames : 0);

    AvPacket packet = allocatePacket();
    while (input_.readPacket(packet.get())) {
      if (packet->stream_index == input_.videoStreamIndex()) {
        decoder_.send(packet.get());
        av_packet_unref(packet.get());
        receivePictures();
      } else {
        if (output_) output_->writeInputPacket(packet.get());
        av_packet_unref(packet.get());
      }
    }
    decoder_.send(nullptr);
    receivePictures();

    stopIfInterrupted();
    report_.corruptFrames = decoder_.corruptFrames() + input_.readErrors();
    if (report_.decodedFrames == 0) {
      failRuntime("no video frame of " + request_.inputPath + " could be decoded");
    }
    if (report_.decodedFrames == 1) {
      failRuntime(request_.inputPath +
                  " holds a single picture, not a video: there is no motion to stabilise");
    }
    // The filter still holds the last frames; the last picture stands in as
    // source while it hands them out.
    for (int extra = 0; extra < request_.delayFrames; ++extra) {
      std::memcpy(instance_.source().data, lastPicture_.get(),
                  static_cast<std::size_t>(instance_.source().size));
      callFilter();
    }
    instance_.endRun();
    stopIfInterrupted();
    if (output_) output_->finish();
    progress_.finish();
    return report_;
  }

 private:
  void receivePictures() {
    std::int64_t pts = AV_NOPTS_VALUE;
    while (decoder_.receive(instance_.source(), &pts)) {
      if (pts == AV_NOPTS_VALUE) {
        pts = lastPts_ == AV_NOPTS_VALUE ? 0 : lastPts_ + frameTicks_;
      }
      lastPts_ = pts;
      times_.push_back(pts);
      if (request_.checkFrame) request_.checkFrame(report_.decodedFrames);
      ++report_.decodedFrames;
      if (lastPicture_) {
        std::memcpy(lastPicture_.get(), instance_.source().data,
                    static_cast<std::size_t>(instance_.source().size));
      }
      if (request_.sourceObserver) request_.sourceObserver(instance_.source());
      callFilter();
    }
  }

  void callFilter() {
    const long long call = report_.filterCalls;
    FilterStateInfo state;
    state.lCurrentFrame = static_cast<long>(call);
    state.lCurrentSourceFrame = static_cast<long>(call);
    state.lMicrosecsPerFrame = microsecsPerFrame_;
    state.lMicrosecsPerSrcFrame = microsecsPerFrame_;
    state.lSourceFrameMS = static_cast<long>(call * microsecsPerFrame_ / 1000);
    state.lDestFrameMS = state.lSourceFrameMS;
    instance_.runFrame(state);
    ++report_.filterCalls;

    // Calls before the delay has passed show the filter's waiting message.
    if (call >= request_.delayFrames) {
      const std::int64_t pts = times_.front();
      times_.pop_front();
      if (output_) output_->writePicture(instance_.destination(), pts);
      ++report_.writtenFrames;
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
  std::unique_ptr<CMediaOutput> output_;
  AvBuffer lastPicture_;
  std::deque<std::int64_t> times_;
  std::int64_t lastPts_ = AV_NOPTS_VALUE;
  RPassReport report_;
};

}  // namespace

RPassReport runPass(CFilterInstance& instance, const RPassRequest& request,
                    CProgressDisplay& progress, std::ostream& messages) {
  CPassLoop loop(instance, request, progress, messages);
  return loop.run();
}

}  // namespace host

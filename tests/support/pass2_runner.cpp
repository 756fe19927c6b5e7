#include "tests/support/pass2_runner.h"

#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/log_files.h"
#include "tests/support/render_fixtures.h"

namespace testing_support {

CPass2Run::CPass2Run(int width, int height, const std::string& log,
                     const std::function<void(InstanceData&)>& configure) {
  InstanceData& data = instance_.data();
  data.pass = 2;
  const std::string path = folder_.path("pass1.log");
  if (!log.empty()) writeTextFile(path, log);
  *data.logFilePath = path;
  if (configure) configure(data);
  instance_.setSourceSize(width, height);
  paramProc(&instance_.fa(), nullptr);
  instance_.useDrawableDestination();
  instance_.state().lMicrosecsPerSrcFrame = 40000;
  startProc(&instance_.fa(), nullptr);
}

CPass2Run::~CPass2Run() { endProc(&instance_.fa(), nullptr); }

std::uint32_t CPass2Run::sourcePixel(long frame, int x, int row) {
  return patternColour(static_cast<unsigned>(frame) + 1000, x, row);
}

void CPass2Run::frame(long n) {
  VFBitmap& source = instance_.src();
  for (int row = 0; row < source.h; ++row) {
    for (int x = 0; x < source.w; ++x) pixelAt(source, x, row) = sourcePixel(n, x, row);
  }
  instance_.state().lCurrentSourceFrame = n;
  instance_.state().lCurrentFrame = n;
  runProc(&instance_.fa(), nullptr);
}

void CPass2Run::frame(long n, const qvclip::RFrame& picture) {
  qvclip::copyToBottomUp(picture, instance_.src().data, instance_.src().pitch);
  instance_.state().lCurrentSourceFrame = n;
  instance_.state().lCurrentFrame = n;
  runProc(&instance_.fa(), nullptr);
}

std::vector<std::uint32_t> CPass2Run::sourcePixels(long frame) {
  std::vector<std::uint32_t> result;
  for (int row = 0; row < instance_.src().h; ++row) {
    for (int x = 0; x < instance_.src().w; ++x) result.push_back(sourcePixel(frame, x, row));
  }
  return result;
}

std::set<int> CPass2Run::heldEntries() {
  std::set<int> held;
  for (int i = 0; i < data().plannedFrameCount; ++i) {
    if (data().framePlans[i].frameBitmap != nullptr) held.insert(i);
  }
  return held;
}

std::vector<qvclip::RFrame> runPass2(const qvclip::CClipGenerator& generator,
                                     const std::string& log,
                                     const std::function<void(InstanceData&)>& configure,
                                     int extraCalls) {
  const qvclip::RClipSettings& clip = generator.settings();
  CPass2Run run(clip.width, clip.height, log, [&](InstanceData& data) {
    data.interlaced = clip.interlaced ? 1 : 0;
    data.upperFieldFirst = clip.upperFieldFirst ? 1 : 0;
    data.rollingShutter = clip.rollingShutterReadout > 0 ? 1 : 0;
    if (configure) configure(data);
  });
  std::vector<qvclip::RFrame> frames;
  qvclip::RFrame picture;
  for (int n = 0; n < clip.frameCount + extraCalls; ++n) {
    if (n < clip.frameCount) generator.renderFrame(n, picture, 2);
    run.frame(n, picture);
    qvclip::RFrame& out = frames.emplace_back();
    out.width = static_cast<int>(run.output().w);
    out.height = static_cast<int>(run.output().h);
    for (int y = out.height - 1; y >= 0; --y) {
      for (int x = 0; x < out.width; ++x) out.pixels.push_back(pixelAt(run.output(), x, y));
    }
  }
  return frames;
}

}  // namespace testing_support

#include "tests/support/pass1_runner.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/file_io.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tools/clipgen/motion_file.h"

namespace testing_support {

std::vector<RLoggedLine> parseLoggedLines(const std::string& text) {
  std::vector<RLoggedLine> lines;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    std::istringstream fields(line);
    RLoggedLine logged;
    if (!(fields >> logged.label)) continue;
    std::string word;
    while (fields >> word) {
      if (word == "new_scene") {
        logged.newScene = true;
      } else if (logged.valueCount < 8) {
        logged.values[logged.valueCount++] = std::atof(word.c_str());
      }
    }
    lines.push_back(logged);
  }
  return lines;
}

CPass1Run::CPass1Run(long width, long height) {
  instance_.setSourceSize(width, height);
  data().pass = 1;
  *data().logFilePath = folder_.path("pass1.log");
}

void CPass1Run::start() {
  paramProc(&instance_.fa(), nullptr);
  instance_.useDrawableDestination();
  startProc(&instance_.fa(), nullptr);
  started_ = true;
}

void CPass1Run::frame(long n, const CColourAt& colourAt) {
  VFBitmap& source = instance_.src();
  for (int y = 0; y < source.h; ++y) {
    for (int x = 0; x < source.w; ++x)
      pixelAt(source, x, y) = colourAt(x + 0.5, source.h - y - 0.5);
  }
  instance_.state().lCurrentSourceFrame = n;
  runProc(&instance_.fa(), nullptr);
}

void CPass1Run::frame(long n, const qvclip::RFrame& picture) {
  qvclip::copyToBottomUp(picture, instance_.src().data, instance_.src().pitch);
  instance_.state().lCurrentSourceFrame = n;
  runProc(&instance_.fa(), nullptr);
}

void CPass1Run::end() {
  if (started_) endProc(&instance_.fa(), nullptr);
  started_ = false;
}

std::string CPass1Run::logText() {
  end();
  std::string content;
  platform::readWholeFile(*data().logFilePath, &content);
  return content;
}

std::string runPass1OnFrames(const std::vector<qvclip::RFrame>& frames,
                             const std::function<void(InstanceData&)>& configure) {
  if (frames.empty()) return {};
  CPass1Run run(frames[0].width, frames[0].height);
  run.data().videoOutput = 0;
  if (configure) configure(run.data());
  run.start();
  for (std::size_t n = 0; n < frames.size(); ++n) run.frame(static_cast<long>(n), frames[n]);
  return run.logText();
}

std::string runPass1(const qvclip::CClipGenerator& generator,
                     const std::function<void(InstanceData&)>& configure) {
  const qvclip::RClipSettings& clip = generator.settings();
  std::vector<qvclip::RFrame> frames(static_cast<std::size_t>(clip.frameCount));
  for (int n = 0; n < clip.frameCount; ++n) generator.renderFrame(n, frames[n], 2);
  return runPass1OnFrames(frames, [&](InstanceData& data) {
    data.interlaced = clip.interlaced ? 1 : 0;
    data.upperFieldFirst = clip.upperFieldFirst ? 1 : 0;
    data.rollingShutter = clip.rollingShutterReadout > 0 ? 1 : 0;
    if (configure) configure(data);
  });
}

RMotionErrors compareWithTruth(const std::vector<RLoggedLine>& lines,
                               const std::vector<qvclip::RMotionRecord>& truth, int edge) {
  std::map<std::string, const qvclip::RMotionRecord*> byLabel;
  for (const qvclip::RMotionRecord& record : truth) byLabel[qvclip::motionLabel(record)] = &record;
  RMotionErrors errors;
  double pan = 0, rotation = 0, zoom = 0;
  for (const RLoggedLine& line : lines) {
    auto found = byLabel.find(line.label);
    if (found == byLabel.end() || line.newScene) continue;
    const qvclip::RMotionRecord& record = *found->second;
    if (record.first || record.newScene) continue;
    const qvclip::RMotion& m = edge == 0 ? record.motion : record.top;
    const double* v = edge == 0 ? line.values : line.values + 4;
    pan += (v[0] - m.panX) * (v[0] - m.panX) + (v[1] - m.panY) * (v[1] - m.panY);
    rotation += (v[2] - m.rotation) * (v[2] - m.rotation);
    zoom += (v[3] - m.zoom) * (v[3] - m.zoom);
    ++errors.compared;
  }
  if (errors.compared > 0) {
    // Pan error per axis, so a tolerance reads as "pixels per axis".
    errors.panRms = std::sqrt(pan / (2.0 * errors.compared));
    errors.rotationRms = std::sqrt(rotation / errors.compared);
    errors.zoomRms = std::sqrt(zoom / errors.compared);
  }
  return errors;
}

}  // namespace testing_support

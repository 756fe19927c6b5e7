#include "tests/support/pass1_runner.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/file_io.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
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

std::string runPass1(const qvclip::CClipGenerator& generator,
                     const std::function<void(InstanceData&)>& configure) {
  const qvclip::RClipSettings& clip = generator.settings();
  CFilterInstance instance;
  InstanceData& data = instance.data();
  data.pass = 1;
  data.videoOutput = 0;
  data.interlaced = clip.interlaced ? 1 : 0;
  data.upperFieldFirst = clip.upperFieldFirst ? 1 : 0;
  data.rollingShutter = clip.rollingShutterReadout > 0 ? 1 : 0;
  if (configure) configure(data);
  const std::string logPath = *data.logFilePath;

  instance.setSourceSize(clip.width, clip.height);
  paramProc(&instance.fa(), nullptr);
  instance.setSourceSize(clip.width, clip.height);
  startProc(&instance.fa(), nullptr);
  qvclip::RFrame frame;
  for (int n = 0; n < clip.frameCount; ++n) {
    generator.renderFrame(n, frame, 2);
    qvclip::copyToBottomUp(frame, instance.src().data, instance.src().pitch);
    instance.state().lCurrentSourceFrame = n;
    runProc(&instance.fa(), nullptr);
  }
  endProc(&instance.fa(), nullptr);
  std::string content;
  platform::readWholeFile(logPath, &content);
  return content;
}

std::string runPass1OnFrames(const std::vector<qvclip::RFrame>& frames,
                             const std::function<void(InstanceData&)>& configure) {
  if (frames.empty()) return {};
  CFilterInstance instance;
  InstanceData& data = instance.data();
  data.pass = 1;
  data.videoOutput = 0;
  if (configure) configure(data);
  const std::string logPath = *data.logFilePath;
  const int width = frames[0].width, height = frames[0].height;
  instance.setSourceSize(width, height);
  paramProc(&instance.fa(), nullptr);
  instance.setSourceSize(width, height);
  startProc(&instance.fa(), nullptr);
  for (std::size_t n = 0; n < frames.size(); ++n) {
    qvclip::copyToBottomUp(frames[n], instance.src().data, instance.src().pitch);
    instance.state().lCurrentSourceFrame = static_cast<long>(n);
    runProc(&instance.fa(), nullptr);
  }
  endProc(&instance.fa(), nullptr);
  std::string content;
  platform::readWholeFile(logPath, &content);
  return content;
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

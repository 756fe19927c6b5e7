#include "tests/support/pass2_runner.h"

#include "platform/device_context.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"

namespace testing_support {

RPass2Output runPass2(const qvclip::CClipGenerator& generator, const std::string& logPath,
                      const std::function<void(InstanceData&)>& configure, int extraCalls) {
  const qvclip::RClipSettings& clip = generator.settings();
  CFilterInstance instance;
  InstanceData& data = instance.data();
  data.pass = 2;
  *data.logFilePath = logPath;
  data.interlaced = clip.interlaced ? 1 : 0;
  data.upperFieldFirst = clip.upperFieldFirst ? 1 : 0;
  data.rollingShutter = clip.rollingShutterReadout > 0 ? 1 : 0;
  if (configure) configure(data);

  instance.setSourceSize(clip.width, clip.height);
  paramProc(&instance.fa(), nullptr);
  instance.useDrawableDestination();
  const VFBitmap& output = instance.dst();
  instance.state().lMicrosecsPerSrcFrame = 40000;
  startProc(&instance.fa(), nullptr);

  RPass2Output result;
  result.width = static_cast<int>(output.w);
  result.height = static_cast<int>(output.h);
  qvclip::RFrame frame;
  for (int n = 0; n < clip.frameCount + extraCalls; ++n) {
    if (n < clip.frameCount) {
      generator.renderFrame(n, frame, 2);
      qvclip::copyToBottomUp(frame, instance.src().data, instance.src().pitch);
    }
    instance.state().lCurrentSourceFrame = n;
    instance.state().lCurrentFrame = n;
    runProc(&instance.fa(), nullptr);
    qvclip::RFrame out;
    out.width = result.width;
    out.height = result.height;
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(
          reinterpret_cast<const unsigned char*>(output.data) +
          output.pitch * (out.height - 1 - y));
      for (int x = 0; x < out.width; ++x)
        out.pixels[static_cast<std::size_t>(y) * out.width + x] = row[x];
    }
    result.frames.push_back(std::move(out));
  }
  endProc(&instance.fa(), nullptr);
  return result;
}

}  // namespace testing_support

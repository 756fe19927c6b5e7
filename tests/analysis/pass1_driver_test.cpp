#include "analysis/pass1_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "planning/end_of_processing.h"
#include "platform/file_io.h"
#include "plugin/filter_callbacks.h"
#include "plugin/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CFilterInstance;
using testing_support::CSmoothTexture;

std::string readFile(const std::string& path) {
  std::string content;
  platform::readWholeFile(path, &content);
  return content;
}

TEST(Pass1DriverTest, IntegerShiftIsLogged) {
  CFilterInstance instance;
  instance.setSourceSize(320, 240);
  InstanceData& data = instance.data();
  data.videoOutput = 0;
  const std::string log = *data.logFilePath;
  CSmoothTexture texture(3);
  paramProc(&instance.fa(), nullptr);
  instance.setSourceSize(320, 240);
  startProc(&instance.fa(), nullptr);
  for (int frame = 0; frame < 3; ++frame) {
    testing_support::renderFrame(instance.src(), [&](double x, double y) {
      return texture.sample(x + 3.0 * frame, y - 2.0 * frame);
    });
    instance.state().lCurrentSourceFrame = frame;
    runProc(&instance.fa(), nullptr);
  }
  endProc(&instance.fa(), nullptr);
  std::printf("%s", readFile(log).c_str());
}

}  // namespace

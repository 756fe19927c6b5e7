#include "plugin/filter/filter_callbacks.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/environment.h"
#include "plugin/common/module_state.h"
#include "tests/support/filter_instance.h"
#include "ui/settings_dialog.h"

namespace {

using testing_support::CFilterInstance;

struct RParamCase {
  int pass, videoOutput, interlaced, interlacedProgressive, sameDestAsSource;
  long sourceWidth, sourceHeight;
  long expectedWidth, expectedHeight;
  bool expectHdc;
};

TEST(FilterCallbacksTest, ParamProcSizesAndPitches) {
  const RParamCase cases[] = {
      {1, 0, 0, 0, 1, 720, 576, 8, 8, false},      // no video output: placeholder
      {1, 1, 0, 0, 1, 640, 480, 640, 490, true},   // text strip
      {1, 1, 1, 0, 1, 640, 481, 640, 500, true},   // even part plus a strip per field
      {2, 1, 1, 1, 1, 720, 576, 720, 1152, true},  // interlaced progressive
      {2, 1, 1, 1, 1, 720, 575, 720, 1148, true},
      {2, 1, 0, 0, 0, 720, 576, 321, 200, true},  // destWidth/destHeight
      {3, 1, 0, 0, 1, 720, 576, 720, 576, true},  // any pass but 1 is pass 2
      {0, 0, 0, 0, 1, 720, 576, 720, 576, true},
  };
  for (const RParamCase& c : cases) {
    CFilterInstance instance;
    InstanceData& data = instance.data();
    data.pass = c.pass;
    data.videoOutput = c.videoOutput;
    data.interlaced = c.interlaced;
    data.interlacedProgressive = c.interlacedProgressive;
    data.sameDestAsSource = c.sameDestAsSource;
    data.destWidth = 321;
    data.destHeight = 200;
    instance.setSourceSize(c.sourceWidth, c.sourceHeight);
    EXPECT_EQ(paramProc(&instance.fa(), nullptr), 1);
    EXPECT_EQ(instance.dst().w, c.expectedWidth) << "pass " << c.pass;
    EXPECT_EQ(instance.dst().h, c.expectedHeight) << "pass " << c.pass;
    EXPECT_EQ(instance.dst().pitch, (c.expectedWidth * 4 + 7) / 8 * 8);
    EXPECT_EQ((instance.dst().dwFlags & VFBitmap::NEEDS_HDC) != 0, c.expectHdc);
  }
}

TEST(FilterCallbacksTest, ProcessorCountFromTheEnvironment) {
  const std::optional<std::string> saved = platform::getEnvironmentVariable("NUMBER_OF_PROCESSORS");
  const std::pair<const char*, int> cases[] = {{"8", 8}, {"0", 1},  {"abc", 1},
                                               {"", 1},  {"-3", 1}, {" 12cores", 12}};
  for (const auto& [text, expected] : cases) {
    platform::setEnvironmentVariable("NUMBER_OF_PROCESSORS", text);
    CFilterInstance instance;
    EXPECT_EQ(module_state::processorCount, expected) << '"' << text << '"';
  }
  platform::unsetEnvironmentVariable("NUMBER_OF_PROCESSORS");
  { CFilterInstance instance; }
  EXPECT_EQ(module_state::processorCount, 1);
  if (saved) platform::setEnvironmentVariable("NUMBER_OF_PROCESSORS", saved->c_str());
}

// Every frame function ends by storing the source frame number it was given;
// the frame itself comes back as the field split test shows.
TEST(RunProcTest, InterlacedFramesAreTwoNumberedFields) {
  CFilterInstance instance;
  instance.setSourceSize(64, 48);
  instance.state().lCurrentSourceFrame = 5;
  instance.data().interlaced = 1;
  EXPECT_EQ(runProc(&instance.fa(), nullptr), 0);
  EXPECT_EQ(instance.data().framesProcessed, 2);
  EXPECT_EQ(instance.data().lastSourceFrame, 11);  // second field of frame 5
}

class ConfigProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = setSettingsDialogRunner([this](InstanceData& data, int templateId) {
      templates.push_back(templateId);
      if (!confirm) return false;
      data.ignoreOutside = 1;
      data.ignoreAreaFollowsMotion = 1;
      data.ignoreOutsideLeft = 1, data.ignoreOutsideTop = 2;
      data.ignoreOutsideRight = 3, data.ignoreOutsideBottom = 4;
      return true;
    });
  }
  void TearDown() override {
    setSettingsDialogRunner(previous);
    platform::setDesktopHorizontalResolution(1920);
  }
  CFilterInstance instance;
  std::vector<int> templates;
  bool confirm = false;
  SettingsDialogRunner previous;
};

TEST_F(ConfigProcTest, TemplateFollowsTheScreenWidthAndOkRecordsTheMovingArea) {
  platform::setDesktopHorizontalResolution(800);
  instance.data().logFileTime = 77;
  EXPECT_EQ(configProc(&instance.fa(), nullptr, nullptr), 1);
  EXPECT_EQ(instance.data().logFileTime, 77u);
  platform::setDesktopHorizontalResolution(1024);
  confirm = true;
  instance.data().lastSourceFrame = 3;
  EXPECT_EQ(configProc(&instance.fa(), nullptr, nullptr), 0);
  EXPECT_EQ(templates, (std::vector<int>{1063, 1000}));
  EXPECT_EQ(instance.data().logFileTime, 0u);
  const std::vector<RMargins*>& areas = *instance.data().ignoreAreaByFrame;
  ASSERT_EQ(areas.size(), 4u);
  EXPECT_EQ(areas[0], nullptr);
  ASSERT_NE(areas[3], nullptr);
  EXPECT_EQ((std::vector<int>{areas[3]->left, areas[3]->top, areas[3]->right, areas[3]->bottom}),
            (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace

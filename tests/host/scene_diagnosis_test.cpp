// The diagnosis after pass 1 on generated clips with known content: it names
// the false new scenes of a dark shot and its remedy, and stays silent on a
// clean shot, on a real cut and once the remedy is applied.
#include "host/scene_diagnosis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_app.h"
#include "tests/host/test_media.h"
#include "tests/support/scratch_folder.h"
#include "tools/clipgen/command_line.h"

namespace {

class SceneDiagnosisTest : public ::testing::Test {
 protected:
  std::string clip(const std::string& variant) {
    const std::string path = scratch_.path(variant + ".y4m");
    qvclip::RClipSettings settings;
    EXPECT_TRUE(qvclip::variantSettings(variant, 640, 360, 16, &settings));
    host_test::writeGeneratedClip(path, settings, {});
    return path;
  }

  // What `quiventa analyze` says with --quiet, which keeps the diagnosis.
  std::string analyze(const std::string& input, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"analyze", input, "--module", QV_MODULE_PATH, "--quiet"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    EXPECT_EQ(host::runQuiventa(arguments, out, err), 0) << err.str();
    return err.str();
  }

  testing_support::CScratchFolder scratch_;
};

TEST_F(SceneDiagnosisTest, NamesFalseNewScenesOfADarkShotAndStaysSilentElsewhere) {
  const std::string dark = clip("dark");
  const std::string said = analyze(dark);
  EXPECT_NE(said.find("new scenes inside what looks like one continuous shot"), std::string::npos)
      << said;
  EXPECT_NE(said.find("darkerThanPercent=15"), std::string::npos) << said;
  EXPECT_NE(said.find("--profile robust"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;

  // The remedy it names removes the new scenes, and with them the warning.
  EXPECT_EQ(analyze(dark, {"--profile", "robust"}), "");

  EXPECT_EQ(analyze(clip("shaky")), "");
  // A real cut: a new scene (two with rememberDiscardedAreas), yet no warning.
  // (Smaller clips have too few blocks for the defaults to see the cut.)
  const std::string cut = clip("cut");
  EXPECT_EQ(analyze(cut), "");
  EXPECT_NE(host_test::fileText(cut + ".log").find("new_scene"), std::string::npos);
}

}  // namespace

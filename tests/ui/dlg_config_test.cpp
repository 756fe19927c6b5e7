#include "ui/dlg_config.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "plugin/common/config_string.h"
#include "tests/support/filter_instance.h"

namespace {

using enum ControlId;
using testing_support::CFilterInstance;

// A dialog opened on a record with the defaults, with a chooser that
// answers `chosen` and a message box that records what it shows.
class DlgConfigTest : public ::testing::Test {
 protected:
  CDlgConfig& open(int templateId = kSettingsTemplateLarge) {
    RDlgConfigOpening opening{templateId, 8, {}};
    opening.services.chooseFile = [this](const RFileChooserRequest& request) {
      requests.push_back(request);
      return chosen;
    };
    opening.services.showMessage = [this](const std::string& text) { messages.push_back(text); };
    dialog = std::make_unique<CDlgConfig>(instance.data(), std::move(opening));
    return *dialog;
  }
  InstanceData& data() { return instance.data(); }

  CFilterInstance instance;
  std::unique_ptr<CDlgConfig> dialog;
  std::optional<std::string> chosen;
  std::vector<RFileChooserRequest> requests;
  std::vector<std::string> messages;
};

TEST_F(DlgConfigTest, OkWithoutChangesKeepsEverySettingExactly) {
  InstanceData& d = data();
  d.pass = 2, d.destPixelAspectPreset = 3, d.sourcePixelAspectPreset = -1;
  d.sourcePixelAspect = 1.2, d.usePixels = 4, d.colorModeRgb = 0, d.videoOutput = 0;
  d.interlaced = 1, d.upperFieldFirst = 1, d.useFutureFrames = 1;
  d.usePreviousFrames = 1, d.extraZoom = 1.0000000000000002, d.darkerThanPercent = 0.1;
  d.ignoreOutsideLeft = -7, d.discardAbsoluteMotion = 1e6, d.rollingShutterAmount = -3.5;
  d.destPixelAspect = 1.4586894586894585;
  *d.logFilePath = "C:\\video\\shaky.log";
  const std::string before = formatConfigStatement(d);
  const InstanceData copy = d;

  CDlgConfig& dialog = open();
  EXPECT_EQ(dialog.text(kSourceAspect), "1.2");
  EXPECT_EQ(dialog.selection(kSourceAspect), -1);
  EXPECT_EQ(dialog.text(kLogFolder), "C:\\video\\");
  EXPECT_EQ(dialog.text(kProcessorCount), "8");
  EXPECT_EQ(dialog.focus(), kOk);
  dialog.press(kOk);
  EXPECT_EQ(dialog.state(), DialogState::kConfirmed);
  EXPECT_EQ(formatConfigStatement(d), before);
  EXPECT_EQ(d.extraZoom, copy.extraZoom);
  EXPECT_EQ(d.darkerThanPercent, copy.darkerThanPercent);
}

TEST_F(DlgConfigTest, ControlsMapToTheirSettingsLikeTheDialog) {
  CDlgConfig& dialog = open();
  dialog.select(kSourceAspect, 2);
  EXPECT_EQ(dialog.text(kSourceAspect), "Standard NTSC  (0.912)");
  dialog.setText(kDestAspect, " 0.75 ");
  dialog.select(kUsePixels, 3);
  dialog.select(kColorMode, 1);
  dialog.select(kVideoOutput, 0);
  dialog.select(kVideoType, 2);
  dialog.setChecked(kFillBorders, true);
  dialog.setChecked(kPass2, true);
  dialog.setText(kLogFolder, "");
  dialog.setText(kBlockSize, "+12");
  dialog.press(kOk);
  ASSERT_EQ(dialog.state(), DialogState::kConfirmed) << dialog.lastMessage();

  const InstanceData& d = data();
  EXPECT_EQ(d.sourcePixelAspectPreset, 2);
  EXPECT_EQ(d.sourcePixelAspect, 0.9115847225152985);
  EXPECT_EQ(d.destPixelAspectPreset, -1);
  EXPECT_EQ(d.destPixelAspect, 0.75);
  EXPECT_EQ(d.usePixels, 4);
  EXPECT_EQ(d.colorModeRgb, 0);
  EXPECT_EQ(d.videoOutput, 0);
  EXPECT_EQ(d.interlaced, 1);
  EXPECT_EQ(d.upperFieldFirst, 0);
  EXPECT_EQ(d.usePreviousFrames, 1);
  EXPECT_EQ(d.useFutureFrames, 1);
  EXPECT_EQ(d.pass, 2);
  EXPECT_EQ(*d.logFilePath, "Quiventa.log");
  EXPECT_EQ(d.blockSize, 12);
}

TEST_F(DlgConfigTest, CancelAndRefusedOkLeaveTheRecordAlone) {
  const std::string before = formatConfigStatement(data());
  CDlgConfig& dialog = open();
  dialog.setChecked(kPass2, true);  // pass-1 controls disabled: still checked
  dialog.setText(kBlockSize, "101");
  dialog.setText(kExtraZoom, "2");
  dialog.press(kOk);
  EXPECT_EQ(dialog.state(), DialogState::kOpen);
  EXPECT_EQ(dialog.focus(), kBlockSize);
  EXPECT_EQ(messages,
            std::vector<std::string>{"Block size: please enter an integer between 1 and 100."});
  dialog.press(kCancel);
  EXPECT_EQ(dialog.state(), DialogState::kCancelled);
  dialog.press(kOk);
  EXPECT_EQ(formatConfigStatement(data()), before);
}

TEST_F(DlgConfigTest, EveryDialogRangeOfTheSchemaIsValidated) {
  // The dialog checks exactly the ranges the schema marks as validated, and
  // an OK with a value out of range stays open with the focus on it.
  CDlgConfig& dialog = open();
  std::set<std::string_view> checked;
  for (const RControlEntry& control : CDlgConfig::controls()) {
    if (control.kind != ControlKind::kEdit || control.enabledWith.empty()) continue;
    const RSetting& setting = settingSchema(control.enabledWith);
    if (setting.range != RangeKind::kValidated) continue;
    checked.insert(setting.name);
    const std::string before = dialog.text(control.id);
    dialog.setText(control.id, std::to_string(setting.max + 1));
    dialog.press(kOk);
    EXPECT_EQ(dialog.focus(), control.id) << setting.name;
    dialog.setText(control.id, before);
  }
  std::set<std::string_view> validated;
  for (const RSetting& setting : settingsSchema()) {
    if (setting.range == RangeKind::kValidated) validated.insert(setting.name);
  }
  EXPECT_EQ(checked, validated);
}

TEST_F(DlgConfigTest, EnablingRulesFollowPassAndBoxes) {
  CDlgConfig& dialog = open();  // pass 1, defaults: rolling shutter off, darker on
  const struct {
    ControlId id;
    bool pass1, pass2;  // enabled with defaults under each pass
  } defaults[] = {
      // clang-format off
      {kPassBoth, false, false}, {kPass1, true, true}, {kSourceAspect, true, true},
      {kVideoType, true, true}, {kLogFolder, true, true}, {kWebPage, true, true},
      {kAmount, false, false}, {kAmountUnit, false, false}, {kBlockSize, true, false},
      {kGroupImageMatching, true, false}, {kIgnoreOutside, true, false},
      {kOutsideLeft, false, false}, {kIgnoreAreaFollowsMotion, false, false},
      {kInsideBottom, false, false}, {kDarkerThanPercent, true, false},
      {kDarkerThanPercentUnit, true, false}, {kDeepAnalysis, true, false},
      {kDeepAnalysisUnit, true, false}, {kResampling, false, true}, {kGroupLimits, false, true},
      {kDestAspect, false, false}, {kDestSizeX, false, false},
      {kInterlacedProgressive, false, false}, {kFillBorders, false, true},
      {kPreviousFrames, false, false}, {kSoftBorders, false, false},
      {kEdgeTransitionWidthUnit, false, false}, {kEdgeTransitionWidth, false, false},
      // clang-format on
  };
  for (const auto& c : defaults) EXPECT_EQ(dialog.enabled(c.id), c.pass1) << int(c.id);
  dialog.setChecked(kPass2, true);
  for (const auto& c : defaults) EXPECT_EQ(dialog.enabled(c.id), c.pass2) << int(c.id);

  // Each box (or list: kVideoType's second item) turns on what depends on it.
  const struct {
    ControlId pass;
    std::vector<std::pair<ControlId, bool>> set;
    std::vector<ControlId> on, off;
  } changes[] = {
      {kPass2, {{kRollingShutter, true}}, {kAmountLabel, kAmount, kAmountUnit}, {}},
      {kPass1,
       {{kRollingShutter, true}},
       {kAmount},
       {kDeepAnalysisLabel, kDeepAnalysis, kDeepAnalysisUnit}},
      {kPass1,
       {{kIgnoreOutside, true}},
       {kOutsideLeft, kOutsideRight, kOutsideTop, kOutsideBottom, kIgnoreAreaFollowsMotion},
       {}},
      {kPass1, {{kIgnoreInside, true}}, {kInsideLeft, kInsideRight, kInsideTop, kInsideBottom}, {}},
      {kPass1, {{kIgnoreDarker, false}}, {}, {kDarkerThanPercent}},
      {kPass2,
       {{kSameDestAsSource, false}},
       {kDestAspectLabel, kDestAspect, kDestSizeLabel, kDestWidth, kDestSizeX, kDestHeight},
       {}},
      {kPass2, {{kVideoType, true}}, {kInterlacedProgressive}, {}},
      {kPass2,
       {{kFillBorders, true}},
       {kPreviousFramesLabel, kPreviousFrames, kFutureFramesLabel, kFutureFrames, kSoftBorders,
        kEdgeTransitionWidthUnit},
       {kEdgeTransitionWidth}},
      {kPass2, {{kFillBorders, true}, {kSoftBorders, true}}, {kEdgeTransitionWidth}, {}},
      {kPass1,
       {{kFillBorders, true}, {kSameDestAsSource, false}},
       {},
       {kPreviousFrames, kDestWidth}},
  };
  for (const auto& change : changes) {
    CDlgConfig& fresh = open();
    fresh.setChecked(change.pass, true);
    for (const auto& [id, checked] : change.set) {
      id == kVideoType ? fresh.select(id, 1) : fresh.setChecked(id, checked);
    }
    for (ControlId id : change.on) EXPECT_TRUE(fresh.enabled(id)) << int(id);
    for (ControlId id : change.off) EXPECT_FALSE(fresh.enabled(id)) << int(id);
  }
}

TEST_F(DlgConfigTest, ChooserAppendsLogAndSplitsThePath) {
  *data().logFilePath = "/home/me/clips/old.log";
  CDlgConfig& dialog = open();
  dialog.press(kBrowse);  // cancelled: nothing changes
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].title, "Select Quiventa Log File");
  EXPECT_EQ(requests[0].startName, "/home/me/clips/old.log");
  EXPECT_EQ(dialog.text(kLogFolder), "/home/me/clips/");

  const struct {
    const char* chosen;
    const char* folder;
    const char* file;
  } cases[] = {
      {"/tmp/new", "/tmp/", "new.log"},
      {"/tmp/a.b/take2", "/tmp/a.b/", "take2.log"},
      {"/tmp/take.txt", "/tmp/", "take.txt"},
      {"/tmp/.hidden", "/tmp/", ".hidden.log"},
      {"D:\\clips\\take", "D:\\clips\\", "take.log"},
  };
  for (const auto& c : cases) {
    chosen = c.chosen;
    dialog.press(kBrowse);
    EXPECT_EQ(dialog.text(kLogFolder), c.folder);
    EXPECT_EQ(dialog.text(kLogFile), c.file);
  }
  EXPECT_EQ(*data().logFilePath, "/home/me/clips/old.log");  // only OK copies out
  dialog.press(kOk);
  EXPECT_EQ(*data().logFilePath, "D:\\clips\\take.log");
}

TEST_F(DlgConfigTest, TypingIntoAnAspectListDeselectsItsPreset) {
  CDlgConfig& dialog = open();
  EXPECT_EQ(dialog.selection(kSourceAspect), 0);
  dialog.setText(kSourceAspect, "Square pixels  (1.0)");  // the toolkit echoing the item
  EXPECT_EQ(dialog.selection(kSourceAspect), 0);
  dialog.setText(kSourceAspect, "1.5 wide");
  EXPECT_EQ(dialog.selection(kSourceAspect), -1);
  dialog.press(kOk);
  EXPECT_EQ(dialog.focus(), kSourceAspect);
  EXPECT_EQ(messages.back(),
            "Source pixel aspect: please choose a preset or enter a ratio greater than 0.");
}

}  // namespace

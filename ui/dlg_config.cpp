#include "ui/dlg_config.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "plugin/common/instance_data.h"

namespace {

using enum ControlId;
using enum ControlKind;
// Columns, named apart from the pass radio buttons.
constexpr DialogColumn kBothColumn = DialogColumn::kBoth;
constexpr DialogColumn kPass1Column = DialogColumn::kPass1;
constexpr DialogColumn kPass2Column = DialogColumn::kPass2;

std::string_view labelOf(std::string_view setting) { return settingSchema(setting).label; }
std::string_view unitOf(std::string_view setting) { return settingSchema(setting).unit; }
std::string_view groupOf(std::string_view setting) { return settingSchema(setting).group; }
std::string_view itemOf(std::string_view setting, int index) {
  return settingSchema(setting).items[static_cast<std::size_t>(index)].text;
}

// Every control in creation order. Texts come from the settings schema
// where a setting owns them; the rest are the dialog's own.
std::vector<RControlEntry> buildControls() {
  return {
      {kPassBoth, kPushHead, kBothColumn, "", "Pass 1 && 2"},
      {kPass1, kRadio, kBothColumn, "", itemOf("pass", 0)},
      {kPass2, kRadio, kBothColumn, "", itemOf("pass", 1)},

      {kGroupBoth, kGroup, kBothColumn, "", groupOf("logFilePath")},
      {kSourceAspectLabel, kLabel, kBothColumn, "", labelOf("sourcePixelAspect")},
      {kSourceAspect, kEditableList, kBothColumn, "sourcePixelAspectPreset", ""},
      {kVideoTypeLabel, kLabel, kBothColumn, "", labelOf("interlaced")},
      {kVideoType, kList, kBothColumn, "interlaced", ""},
      {kRollingShutter, kCheck, kBothColumn, "rollingShutter", labelOf("rollingShutter")},
      {kAmountLabel, kLabel, kBothColumn, "rollingShutterAmount", labelOf("rollingShutterAmount")},
      {kAmount, kEdit, kBothColumn, "rollingShutterAmount", ""},
      {kAmountUnit, kLabel, kBothColumn, "rollingShutterAmount", unitOf("rollingShutterAmount")},
      {kLogFileLabel, kLabel, kBothColumn, "", labelOf("logFilePath")},
      {kLogFolder, kEdit, kBothColumn, "", ""},
      {kLogFolderHint, kLabel, kBothColumn, "", "(folder)"},
      {kLogFile, kEdit, kBothColumn, "", ""},
      {kLogFileHint, kLabel, kBothColumn, "", "(file)"},
      {kAppendToLogFile, kCheck, kBothColumn, "appendToLogFile", labelOf("appendToLogFile")},
      {kBrowse, kButton, kBothColumn, "", "..."},
      {kProcessorsLabel, kLabel, kBothColumn, "", "Number of processors found:"},
      {kProcessorCount, kLabel, kBothColumn, "", ""},

      {kGroupPass1, kGroup, kPass1Column, "", groupOf("videoOutput")},
      {kVideoOutputLabel, kLabel, kPass1Column, "", labelOf("videoOutput")},
      {kVideoOutput, kList, kPass1Column, "videoOutput", ""},
      {kGroupImageMatching, kGroup, kPass1Column, "", groupOf("blockSize")},
      {kBlockSizeLabel, kLabel, kPass1Column, "", labelOf("blockSize")},
      {kBlockSize, kEdit, kPass1Column, "blockSize", ""},
      {kBlockSizeUnit, kLabel, kPass1Column, "", unitOf("blockSize")},
      {kScaleLabel, kLabel, kPass1Column, "", labelOf("scale")},
      {kScale, kList, kPass1Column, "scale", ""},
      {kUsePixelsLabel, kLabel, kPass1Column, "", labelOf("usePixels")},
      {kUsePixels, kList, kPass1Column, "usePixels", ""},
      {kColorModeLabel, kLabel, kPass1Column, "", labelOf("colorModeRgb")},
      {kColorMode, kList, kPass1Column, "colorModeRgb", ""},
      {kInitialSearchRangeLabel, kLabel, kPass1Column, "", labelOf("initialSearchRange")},
      {kInitialSearchRange, kEdit, kPass1Column, "initialSearchRange", ""},
      {kInitialSearchRangeUnit, kLabel, kPass1Column, "", unitOf("initialSearchRange")},
      {kDifferentialSearchRangeLabel, kLabel, kPass1Column, "", labelOf("differentialSearchRange")},
      {kDifferentialSearchRange, kEdit, kPass1Column, "differentialSearchRange", ""},
      {kDifferentialSearchRangeUnit, kLabel, kPass1Column, "", unitOf("differentialSearchRange")},
      {kGroupDiscard, kGroup, kPass1Column, "", groupOf("discardMatchValue")},
      {kDiscardMatchValueLabel, kLabel, kPass1Column, "", labelOf("discardMatchValue")},
      {kDiscardMatchValue, kEdit, kPass1Column, "discardMatchValue", ""},
      {kDiscardMatchValueUnit, kLabel, kPass1Column, "", unitOf("discardMatchValue")},
      {kDiscardSecondBestLabel, kLabel, kPass1Column, "", labelOf("discardSecondBest")},
      {kDiscardSecondBest, kEdit, kPass1Column, "discardSecondBest", ""},
      {kDiscardWrongDirectionLabel, kLabel, kPass1Column, "", labelOf("discardWrongDirection")},
      {kDiscardWrongDirection, kEdit, kPass1Column, "discardWrongDirection", ""},
      {kDiscardWrongDirectionUnit, kLabel, kPass1Column, "", unitOf("discardWrongDirection")},
      {kDiscardAbsoluteMotionLabel, kLabel, kPass1Column, "", labelOf("discardAbsoluteMotion")},
      {kDiscardAbsoluteMotion, kEdit, kPass1Column, "discardAbsoluteMotion", ""},
      {kDiscardAbsoluteMotionUnit, kLabel, kPass1Column, "", unitOf("discardAbsoluteMotion")},
      {kRememberDiscardedAreas, kCheck, kPass1Column, "rememberDiscardedAreas",
       labelOf("rememberDiscardedAreas")},
      {kDeepAnalysisLabel, kLabel, kPass1Column, "deepAnalysisPercent",
       labelOf("deepAnalysisPercent")},
      {kDeepAnalysis, kEdit, kPass1Column, "deepAnalysisPercent", ""},
      {kDeepAnalysisUnit, kLabel, kPass1Column, "deepAnalysisPercent",
       unitOf("deepAnalysisPercent")},
      {kSkipFrameLabel, kLabel, kPass1Column, "", labelOf("skipFramePercent")},
      {kSkipFrame, kEdit, kPass1Column, "skipFramePercent", ""},
      {kSkipFrameUnit, kLabel, kPass1Column, "", unitOf("skipFramePercent")},
      {kGroupIgnore, kGroup, kPass1Column, "", groupOf("ignoreOutside")},
      {kFromBorderLabel, kLabel, kPass1Column, "", "from border:"},
      {kLeftHead, kLabel, kPass1Column, "", labelOf("ignoreOutsideLeft")},
      {kRightHead, kLabel, kPass1Column, "", labelOf("ignoreOutsideRight")},
      {kTopHead, kLabel, kPass1Column, "", labelOf("ignoreOutsideTop")},
      {kBottomHead, kLabel, kPass1Column, "", labelOf("ignoreOutsideBottom")},
      {kIgnoreOutside, kCheck, kPass1Column, "ignoreOutside", labelOf("ignoreOutside")},
      {kOutsideLeft, kEdit, kPass1Column, "ignoreOutsideLeft", ""},
      {kOutsideRight, kEdit, kPass1Column, "ignoreOutsideRight", ""},
      {kOutsideTop, kEdit, kPass1Column, "ignoreOutsideTop", ""},
      {kOutsideBottom, kEdit, kPass1Column, "ignoreOutsideBottom", ""},
      {kIgnoreAreaFollowsMotion, kCheck, kPass1Column, "ignoreAreaFollowsMotion",
       labelOf("ignoreAreaFollowsMotion")},
      {kIgnoreInside, kCheck, kPass1Column, "ignoreInside", labelOf("ignoreInside")},
      {kInsideLeft, kEdit, kPass1Column, "ignoreInsideLeft", ""},
      {kInsideRight, kEdit, kPass1Column, "ignoreInsideRight", ""},
      {kInsideTop, kEdit, kPass1Column, "ignoreInsideTop", ""},
      {kInsideBottom, kEdit, kPass1Column, "ignoreInsideBottom", ""},
      {kIgnoreDarker, kCheck, kPass1Column, "ignoreDarker", labelOf("ignoreDarker")},
      {kDarkerThanPercent, kEdit, kPass1Column, "darkerThanPercent", ""},
      {kDarkerThanPercentUnit, kLabel, kPass1Column, "", unitOf("darkerThanPercent")},

      {kGroupPass2, kGroup, kPass2Column, "", groupOf("resampling")},
      {kSameDestAsSource, kCheck, kPass2Column, "sameDestAsSource", labelOf("sameDestAsSource")},
      {kDestAspectLabel, kLabel, kPass2Column, "destPixelAspectPreset", labelOf("destPixelAspect")},
      {kDestAspect, kEditableList, kPass2Column, "destPixelAspectPreset", ""},
      {kDestSizeLabel, kLabel, kPass2Column, "destWidth", labelOf("destWidth")},
      {kDestWidth, kEdit, kPass2Column, "destWidth", ""},
      {kDestSizeX, kLabel, kPass2Column, "destWidth", unitOf("destWidth")},
      {kDestHeight, kEdit, kPass2Column, "destHeight", ""},
      {kInterlacedProgressive, kCheck, kPass2Column, "interlacedProgressive",
       labelOf("interlacedProgressive")},
      {kResamplingLabel, kLabel, kPass2Column, "", labelOf("resampling")},
      {kResampling, kList, kPass2Column, "resampling", ""},
      {kEdgeCompensationLabel, kLabel, kPass2Column, "", labelOf("edgeCompensation")},
      {kEdgeCompensation, kList, kPass2Column, "edgeCompensation", ""},
      {kFillBorders, kCheck, kPass2Column, "usePreviousFrames", labelOf("usePreviousFrames")},
      {kPreviousFramesLabel, kLabel, kPass2Column, "previousFrames", labelOf("previousFrames")},
      {kPreviousFrames, kEdit, kPass2Column, "previousFrames", ""},
      {kFutureFramesLabel, kLabel, kPass2Column, "futureFrames", labelOf("futureFrames")},
      {kFutureFrames, kEdit, kPass2Column, "futureFrames", ""},
      {kSoftBorders, kCheck, kPass2Column, "softBorders", labelOf("softBorders")},
      {kEdgeTransitionWidth, kEdit, kPass2Column, "edgeTransitionWidth", ""},
      // The unit belongs to the check box's caption, not to the edit.
      {kEdgeTransitionWidthUnit, kLabel, kPass2Column, "softBorders",
       unitOf("edgeTransitionWidth")},
      {kExtrapolateColors, kCheck, kPass2Column, "extrapolateColors", labelOf("extrapolateColors")},
      {kExtraZoomLabel, kLabel, kPass2Column, "", labelOf("extraZoom")},
      {kExtraZoom, kEdit, kPass2Column, "extraZoom", ""},
      {kGroupSmoothness, kGroup, kPass2Column, "", groupOf("smoothZoom")},
      {kSmoothHorizontalLabel, kLabel, kPass2Column, "", labelOf("smoothHorizontalPanning")},
      {kSmoothHorizontal, kEdit, kPass2Column, "smoothHorizontalPanning", ""},
      {kSmoothVerticalLabel, kLabel, kPass2Column, "", labelOf("smoothVerticalPanning")},
      {kSmoothVertical, kEdit, kPass2Column, "smoothVerticalPanning", ""},
      {kSmoothRotationLabel, kLabel, kPass2Column, "", labelOf("smoothRotation")},
      {kSmoothRotation, kEdit, kPass2Column, "smoothRotation", ""},
      {kSmoothZoomLabel, kLabel, kPass2Column, "", labelOf("smoothZoom")},
      {kSmoothZoom, kEdit, kPass2Column, "smoothZoom", ""},
      {kGroupLimits, kGroup, kPass2Column, "", groupOf("maxCorrectionZoom")},
      {kLimitHorizontalLabel, kLabel, kPass2Column, "", labelOf("maxCorrectionHorizontalPanning")},
      {kLimitHorizontal, kEdit, kPass2Column, "maxCorrectionHorizontalPanning", ""},
      {kLimitVerticalLabel, kLabel, kPass2Column, "", labelOf("maxCorrectionVerticalPanning")},
      {kLimitVertical, kEdit, kPass2Column, "maxCorrectionVerticalPanning", ""},
      {kLimitRotationLabel, kLabel, kPass2Column, "", labelOf("maxCorrectionRotation")},
      {kLimitRotation, kEdit, kPass2Column, "maxCorrectionRotation", ""},
      {kLimitZoomLabel, kLabel, kPass2Column, "", labelOf("maxCorrectionZoom")},
      {kLimitZoom, kEdit, kPass2Column, "maxCorrectionZoom", ""},

      {kVersionText, kLabel, kBothColumn, "", "Quiventa 2.4"},
      {kWebPage, kButton, kBothColumn, "", "Visit Quiventa web page"},
      {kOk, kButton, kBothColumn, "", "OK"},
      {kCancel, kButton, kBothColumn, "", "Cancel"},
  };
}

const std::vector<RControlEntry>& controlTable() {
  static const std::vector<RControlEntry> table = buildControls();
  return table;
}

std::size_t indexOf(ControlId id) {
  const std::vector<RControlEntry>& table = controlTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].id == id) return i;
  }
  return table.size();
}

// What OK checks, in this order; each names its control in the message.
struct RCheckedEdit {
  ControlId id;
  std::string_view name;
};
constexpr std::array<RCheckedEdit, 23> kRangeChecks = {{
    {kBlockSize, "Block size"},
    {kDestHeight, "Destination video size (height)"},
    {kDestWidth, "Destination video size (width)"},
    {kSkipFrame, "Skip frame if <"},
    {kSmoothHorizontal, "Motion smoothness, horizontal panning"},
    {kInitialSearchRange, "Initial search range"},
    {kSmoothRotation, "Motion smoothness, rotation"},
    {kDifferentialSearchRange, "Differential search range"},
    {kSmoothVertical, "Motion smoothness, vertical panning"},
    {kSmoothZoom, "Motion smoothness, zoom"},
    {kDiscardWrongDirection, "Discard blocks that move > (wrong direction)"},
    {kDiscardSecondBest, "Discard blocks that have 2nd best match > best -"},
    {kDiscardMatchValue, "Discard blocks that have match value <"},
    {kExtraZoom, "Extra zoom factor"},
    {kLimitHorizontal, "Max. correction limit, horizontal panning"},
    {kLimitRotation, "Max. correction limit, rotation"},
    {kLimitVertical, "Max. correction limit, vertical panning"},
    {kLimitZoom, "Max. correction limit, zoom"},
    {kFutureFrames, "Future frames"},
    {kPreviousFrames, "Previous frames"},
    {kDeepAnalysis, "Deep analysis if <"},
    {kEdgeTransitionWidth, "Edge transition width"},
    {kDarkerThanPercent, "Darker than (% brightness)"},
}};
// Numbers the dialog takes as typed, but numbers they must be.
constexpr std::array<RCheckedEdit, 10> kNumberChecks = {{
    {kOutsideLeft, "Ignore pixels outside, left"},
    {kOutsideRight, "Ignore pixels outside, right"},
    {kOutsideTop, "Ignore pixels outside, top"},
    {kOutsideBottom, "Ignore pixels outside, bottom"},
    {kInsideLeft, "Ignore pixels inside, left"},
    {kInsideRight, "Ignore pixels inside, right"},
    {kInsideTop, "Ignore pixels inside, top"},
    {kInsideBottom, "Ignore pixels inside, bottom"},
    {kDiscardAbsoluteMotion, "Discard blocks that move > (absolute motion)"},
    {kAmount, "Rolling shutter amount"},
}};

constexpr std::string_view kBlanks = " \t\n\v\f\r";

std::string_view trimmed(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// The whole text (blanks around it aside) as a number, or nothing.
std::optional<int> wholeInteger(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

std::optional<double> wholeNumber(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return {};
  }
  return value;
}

// The shortest text that reads back as the same double, so that an OK
// without changes keeps every number exactly.
std::string exactText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string boundText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Split after the last separator; the folder keeps it. Paths may carry
// either separator: '/' on this system, '\' in settings written on Windows.
std::pair<std::string, std::string> splitPath(std::string_view path) {
  std::size_t cut = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (isSeparator(path[i])) cut = i + 1;
  }
  return {std::string(path.substr(0, cut)), std::string(path.substr(cut))};
}

// Template 1063's lists end after item 6 and round item 2 differently.
constexpr std::array<std::string_view, 7> kCompactAspectItems = {
    "Square pixels  (1.0)",    "Standard PAL  (1.094)",    "Standard NTSC  (0.911)",
    "Anamorphic PAL  (1.459)", "Anamorphic NTSC  (1.215)", "SVCD PAL  (1.641)",
    "SVCD NTSC  (1.367)",
};

}  // namespace

int settingsTemplateForScreenWidth(int pixels) {
  return pixels < 1024 ? kSettingsTemplateCompact : kSettingsTemplateLarge;
}

CDlgConfig::CDlgConfig(InstanceData& data, RDlgConfigOpening opening)
    : data_(data),
      templateId_(opening.templateId),
      services_(std::move(opening.services)),
      states_(controlTable().size()) {
  for (std::size_t i = 0; i < states_.size(); ++i) states_[i].text = controlTable()[i].text;
  copyIn();
  state(kProcessorCount).text = std::to_string(opening.processorCount);
  focus_ = kOk;
}

std::span<const RControlEntry> CDlgConfig::controls() { return controlTable(); }

const RControlEntry& CDlgConfig::controlEntry(ControlId id) {
  return controlTable().at(indexOf(id));
}

std::span<const std::string_view> CDlgConfig::items(ControlId id) const {
  static const std::vector<std::vector<std::string_view>> lists = [] {
    std::vector<std::vector<std::string_view>> all(controlTable().size());
    for (std::size_t i = 0; i < controlTable().size(); ++i) {
      const RControlEntry& control = controlTable()[i];
      if (control.kind != kList && control.kind != kEditableList) continue;
      for (const RSettingItem& item : settingSchema(control.enabledWith).items) {
        all[i].push_back(item.text);
      }
    }
    return all;
  }();
  const bool aspect = id == kSourceAspect || id == kDestAspect;
  if (aspect && templateId_ == kSettingsTemplateCompact) return kCompactAspectItems;
  const std::size_t index = indexOf(id);
  if (index >= lists.size()) return {};
  return lists[index];
}

CDlgConfig::RState& CDlgConfig::state(ControlId id) { return states_.at(indexOf(id)); }
const CDlgConfig::RState& CDlgConfig::state(ControlId id) const { return states_.at(indexOf(id)); }

const std::string& CDlgConfig::text(ControlId id) const { return state(id).text; }

bool CDlgConfig::checked(ControlId id) const { return state(id).checked; }
int CDlgConfig::selection(ControlId id) const { return state(id).selection; }

bool CDlgConfig::flagSet(std::string_view setting) const {
  if (setting == "interlaced") return state(kVideoType).selection > 0;
  if (setting == "useFutureFrames") setting = "usePreviousFrames";
  for (std::size_t i = 0; i < controlTable().size(); ++i) {
    const RControlEntry& control = controlTable()[i];
    if (control.kind == kCheck && control.enabledWith == setting) return states_[i].checked;
  }
  return false;
}

bool CDlgConfig::enabled(ControlId id) const {
  const RControlEntry& control = controlEntry(id);
  if (control.kind == kPushHead) return false;
  const bool pass1 = state(kPass1).checked;
  if (control.column == kPass1Column && !pass1) return false;
  if (control.column == kPass2Column && pass1) return false;
  if (control.enabledWith.empty()) return true;
  return settingInEffect(settingSchema(control.enabledWith),
                         [this](std::string_view flag) { return flagSet(flag); });
}

void CDlgConfig::setText(ControlId id, std::string_view text) {
  const RControlEntry& control = controlEntry(id);
  if (control.kind != kEdit && control.kind != kEditableList) return;
  RState& target = state(id);
  target.text.assign(text);
  if (control.kind == kEditableList) {
    const std::span<const std::string_view> list = items(id);
    const int selected = target.selection;
    const bool stillItem = selected >= 0 && static_cast<std::size_t>(selected) < list.size() &&
                           list[static_cast<std::size_t>(selected)] == text;
    if (!stillItem) target.selection = -1;
  }
}

void CDlgConfig::select(ControlId id, int index) {
  const RControlEntry& control = controlEntry(id);
  if (control.kind != kList && control.kind != kEditableList) return;
  const std::span<const std::string_view> list = items(id);
  if (index < 0 || static_cast<std::size_t>(index) >= list.size()) index = -1;
  RState& target = state(id);
  target.selection = index;
  if (control.kind == kEditableList) {
    target.text = index >= 0 ? std::string(list[static_cast<std::size_t>(index)]) : std::string();
  }
}

void CDlgConfig::setChecked(ControlId id, bool checked) {
  const RControlEntry& control = controlEntry(id);
  if (control.kind == kCheck) {
    state(id).checked = checked;
  } else if (control.kind == kRadio && checked) {
    state(kPass1).checked = id == kPass1;
    state(kPass2).checked = id == kPass2;
  }
}

void CDlgConfig::press(ControlId id) {
  if (state_ != DialogState::kOpen) return;
  switch (id) {
    case kOk:
      if (validate()) {
        copyOut();
        state_ = DialogState::kConfirmed;
      }
      break;
    case kCancel:
      state_ = DialogState::kCancelled;
      break;
    case kBrowse: {
      if (!services_.chooseFile) break;
      RFileChooserRequest request;
      request.title = "Select Quiventa Log File";
      request.startName = state(kLogFolder).text + state(kLogFile).text;
      request.filters = {{"Log Files (*.log)", "*.log"}, {"All Files (*.*)", "*.*"}};
      if (std::optional<std::string> chosen = services_.chooseFile(request)) {
        applyChosenFile(*chosen);
      }
      break;
    }
    case kWebPage:
      if (services_.visitWebPage) services_.visitWebPage();
      break;
    default:
      break;
  }
}

void CDlgConfig::applyChosenFile(std::string_view path) {
  std::string full(path);
  const std::string file = splitPath(full).second;
  if (file.find('.', 1) == std::string::npos) full += ".log";
  auto [folder, name] = splitPath(full);
  state(kLogFolder).text = std::move(folder);
  state(kLogFile).text = std::move(name);
}

void CDlgConfig::copyIn() {
  for (std::size_t i = 0; i < controlTable().size(); ++i) {
    const RControlEntry& control = controlTable()[i];
    RState& target = states_[i];
    if (control.enabledWith.empty() || control.id == kFillBorders) continue;
    const RSetting& setting = settingSchema(control.enabledWith);
    if (control.kind == kEdit) {
      target.text = setting.type == SettingType::kDouble ? exactText(data_.*setting.doubleMember)
                                                         : std::to_string(data_.*setting.intMember);
    } else if (control.kind == kCheck) {
      target.checked = data_.*setting.intMember != 0;
    } else if (control.kind == kList) {
      int value = data_.*setting.intMember;
      if (setting.type == SettingType::kBool) value = value != 0 ? 1 : 0;
      target.selection = -1;
      for (std::size_t item = 0; item < setting.items.size(); ++item) {
        if (setting.items[item].value == value) {
          target.selection = static_cast<int>(item);
          break;
        }
      }
    }
  }
  state(kVideoType).selection = data_.interlaced == 0 ? 0 : data_.upperFieldFirst != 0 ? 1 : 2;
  state(kPass1).checked = data_.pass == 1;
  state(kPass2).checked = data_.pass == 2;
  state(kPassBoth).checked = true;
  state(kFillBorders).checked = data_.usePreviousFrames != 0 || data_.useFutureFrames != 0;

  for (ControlId id : {kDestAspect, kSourceAspect}) {
    const bool source = id == kSourceAspect;
    const int preset = source ? data_.sourcePixelAspectPreset : data_.destPixelAspectPreset;
    const double value = source ? data_.sourcePixelAspect : data_.destPixelAspect;
    select(id, preset);
    if (selection(id) >= 0) continue;
    if (preset < 0) {
      char text[64];
      std::snprintf(text, sizeof text, "%lg", value);
      state(id).text = text;
    } else {
      // A preset this template's list lacks (the compact lists end before
      // HDV): the field shows its exact value, so OK keeps the ratio.
      state(id).text = exactText(value);
    }
  }

  auto [folder, file] = splitPath(data_.logFilePath != nullptr ? *data_.logFilePath : "");
  state(kLogFolder).text = std::move(folder);
  state(kLogFile).text = std::move(file);
}

bool CDlgConfig::validate() {
  auto refuse = [this](ControlId id, std::string_view name, const std::string& what) {
    lastMessage_ = std::string(name) + ": " + what;
    focus_ = id;
    if (services_.showMessage) services_.showMessage(lastMessage_);
    return false;
  };
  for (const RCheckedEdit& check : kRangeChecks) {
    const RSetting& setting = settingSchema(controlEntry(check.id).enabledWith);
    const std::string bounds = boundText(setting.min) + " and " + boundText(setting.max);
    const std::string& text = state(check.id).text;
    if (setting.type == SettingType::kDouble) {
      const std::optional<double> value = wholeNumber(text);
      if (!value || *value < setting.min || *value > setting.max) {
        return refuse(check.id, check.name, "please enter a number between " + bounds + ".");
      }
    } else {
      const std::optional<int> value = wholeInteger(text);
      if (!value || *value < setting.min || *value > setting.max) {
        return refuse(check.id, check.name, "please enter an integer between " + bounds + ".");
      }
    }
  }
  for (const RCheckedEdit& check : kNumberChecks) {
    const RSetting& setting = settingSchema(controlEntry(check.id).enabledWith);
    const std::string& text = state(check.id).text;
    if (setting.type == SettingType::kDouble ? !wholeNumber(text) : !wholeInteger(text)) {
      return refuse(check.id, check.name,
                    setting.type == SettingType::kDouble ? "please enter a number."
                                                         : "please enter an integer.");
    }
  }
  // The geometry divides by the pixel aspects: a typed one must be a ratio.
  for (ControlId id : {kSourceAspect, kDestAspect}) {
    if (selection(id) >= 0) continue;
    const std::optional<double> value = wholeNumber(state(id).text);
    if (!value || *value <= 0) {
      return refuse(id, id == kSourceAspect ? "Source pixel aspect" : "Destination pixel aspect",
                    "please choose a preset or enter a ratio greater than 0.");
    }
  }
  lastMessage_.clear();
  return true;
}

void CDlgConfig::copyOut() {
  for (std::size_t i = 0; i < controlTable().size(); ++i) {
    const RControlEntry& control = controlTable()[i];
    const RState& source = states_[i];
    if (control.enabledWith.empty() || control.id == kFillBorders) continue;
    const RSetting& setting = settingSchema(control.enabledWith);
    if (control.kind == kEdit) {
      if (setting.type == SettingType::kDouble) {
        data_.*setting.doubleMember = *wholeNumber(source.text);
      } else {
        data_.*setting.intMember = *wholeInteger(source.text);
      }
    } else if (control.kind == kCheck) {
      data_.*setting.intMember = source.checked ? 1 : 0;
    } else if (control.kind == kList && control.id != kVideoType && source.selection >= 0) {
      // A list without a selection (a value no item stands for) keeps it.
      data_.*setting.intMember = setting.items[static_cast<std::size_t>(source.selection)].value;
    }
  }
  const int videoType = selection(kVideoType);
  if (videoType >= 0) {
    data_.interlaced = videoType > 0 ? 1 : 0;
    data_.upperFieldFirst = videoType == 1 ? 1 : 0;
  }
  data_.pass = checked(kPass1) ? 1 : checked(kPass2) ? 2 : 0;
  data_.usePreviousFrames = data_.useFutureFrames = checked(kFillBorders) ? 1 : 0;

  for (ControlId id : {kDestAspect, kSourceAspect}) {
    const RSetting& preset = settingSchema(controlEntry(id).enabledWith);
    const RSetting& target = settingSchema(preset.presetTarget);
    const int index = selection(id);
    data_.*preset.intMember = index;
    data_.*target.doubleMember = index >= 0 ? preset.presetValues[static_cast<std::size_t>(index)]
                                            : *wholeNumber(state(id).text);
  }

  const std::string path = state(kLogFolder).text + state(kLogFile).text;
  if (data_.logFilePath != nullptr) {
    *data_.logFilePath = path;
  } else {
    data_.logFilePath = new std::string(path);
  }
}

// CDlgConfig: the settings dialog's behaviour without a toolkit. It holds
// the state of every control of the settings dialog (texts, check marks,
// list selections), copies an instance record in on opening and out on a
// validated OK, computes which controls are enabled, validates in a fixed
// order naming the failing control, and runs the log-file chooser's path
// rules. A toolkit (Qt on Linux, dialog resources on Windows) creates one
// widget per control of controls(), forwards what the user does as
// setText / select / setChecked / press, and after each call shows what the
// model says: text(), checked(), selection(), enabled() and focus().
//
// Control identifiers are stable numbers (ControlId): resource templates
// and widget names use them. Texts are the dialog's own, verbatim; a "&&"
// displays as one ampersand in both toolkits.
//
// The model keeps a reference to the record for its lifetime and writes it
// only in a successful press(kOk). Not thread-safe; one model per shown
// dialog, used on the thread that shows it.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plugin/common/settings_schema.h"

struct InstanceData;

inline constexpr int kSettingsTemplateLarge = 1000;
inline constexpr int kSettingsTemplateCompact = 1063;

// The template for a desktop this many pixels wide.
int settingsTemplateForScreenWidth(int pixels);

enum class ControlId : int {
  kOk = 1,
  kCancel = 2,
  // Column heads and group boxes.
  kPassBoth = 1100,  // "Pass 1 && 2": disabled, always pressed
  kPass1,
  kPass2,
  kGroupBoth,
  kGroupPass1,
  kGroupPass2,
  kGroupImageMatching,
  kGroupDiscard,
  kGroupIgnore,
  kGroupSmoothness,
  kGroupLimits,
  // Column "Parameters affecting both passes".
  kSourceAspectLabel = 1200,
  kSourceAspect,  // editable list
  kVideoTypeLabel,
  kVideoType,
  kRollingShutter,
  kAmountLabel,
  kAmount,
  kAmountUnit,
  kLogFileLabel,
  kLogFolder,
  kLogFolderHint,
  kLogFile,
  kLogFileHint,
  kAppendToLogFile,
  kBrowse,
  kProcessorsLabel,
  kProcessorCount,
  // Column "Pass 1 parameters".
  kVideoOutputLabel = 1300,
  kVideoOutput,
  kBlockSizeLabel,
  kBlockSize,
  kBlockSizeUnit,
  kScaleLabel,
  kScale,
  kUsePixelsLabel,
  kUsePixels,
  kColorModeLabel,
  kColorMode,
  kInitialSearchRangeLabel,
  kInitialSearchRange,
  kInitialSearchRangeUnit,
  kDifferentialSearchRangeLabel,
  kDifferentialSearchRange,
  kDifferentialSearchRangeUnit,
  kDiscardMatchValueLabel,
  kDiscardMatchValue,
  kDiscardMatchValueUnit,
  kDiscardSecondBestLabel,
  kDiscardSecondBest,
  kDiscardWrongDirectionLabel,
  kDiscardWrongDirection,
  kDiscardWrongDirectionUnit,
  kDiscardAbsoluteMotionLabel,
  kDiscardAbsoluteMotion,
  kDiscardAbsoluteMotionUnit,
  kRememberDiscardedAreas,
  kDeepAnalysisLabel,
  kDeepAnalysis,
  kDeepAnalysisUnit,
  kSkipFrameLabel,
  kSkipFrame,
  kSkipFrameUnit,
  kFromBorderLabel,
  kLeftHead,
  kRightHead,
  kTopHead,
  kBottomHead,
  kIgnoreOutside,
  kOutsideLeft,
  kOutsideRight,
  kOutsideTop,
  kOutsideBottom,
  kIgnoreAreaFollowsMotion,
  kIgnoreInside,
  kInsideLeft,
  kInsideRight,
  kInsideTop,
  kInsideBottom,
  kIgnoreDarker,
  kDarkerThanPercent,
  kDarkerThanPercentUnit,
  // Column "Pass 2 parameters".
  kSameDestAsSource = 1400,
  kDestAspectLabel,
  kDestAspect,  // editable list
  kDestSizeLabel,
  kDestWidth,
  kDestSizeX,
  kDestHeight,
  kInterlacedProgressive,
  kResamplingLabel,
  kResampling,
  kEdgeCompensationLabel,
  kEdgeCompensation,
  kFillBorders,
  kPreviousFramesLabel,
  kPreviousFrames,
  kFutureFramesLabel,
  kFutureFrames,
  kSoftBorders,
  kEdgeTransitionWidth,
  kEdgeTransitionWidthUnit,
  kExtrapolateColors,
  kExtraZoomLabel,
  kExtraZoom,
  kSmoothHorizontalLabel,
  kSmoothHorizontal,
  kSmoothVerticalLabel,
  kSmoothVertical,
  kSmoothRotationLabel,
  kSmoothRotation,
  kSmoothZoomLabel,
  kSmoothZoom,
  kLimitHorizontalLabel,
  kLimitHorizontal,
  kLimitVerticalLabel,
  kLimitVertical,
  kLimitRotationLabel,
  kLimitRotation,
  kLimitZoomLabel,
  kLimitZoom,
  // Bottom row.
  kVersionText = 1500,
  kWebPage,
};

enum class ControlKind {
  kLabel,         // static text
  kGroup,         // group box with a caption
  kEdit,          // one-line text field
  kCheck,         // check box
  kRadio,         // push-like radio button ("Pass 1", "Pass 2")
  kPushHead,      // push-like button shown pressed ("Pass 1 && 2")
  kList,          // drop-down list
  kEditableList,  // drop-down list whose field takes a typed number
  kButton,        // push button
};

struct RControlEntry {
  ControlId id;
  ControlKind kind;
  DialogColumn column;
  // The setting whose conditions enable the control besides its column;
  // empty when only the column counts.
  std::string_view enabledWith;
  std::string_view text;  // caption of labels, groups, buttons and boxes
};

// The log-file chooser as the toolkit shows it: the system's save-file
// dialog without an overwrite question or default extension, in a folder
// that must exist.
struct RFileChooserRequest {
  std::string title;      // "Select Quiventa Log File"
  std::string startName;  // folder text followed by file text
  // (description, pattern) pairs: "Log Files (*.log)" "*.log", then all files.
  std::vector<std::pair<std::string, std::string>> filters;
};

// What the model asks of its toolkit. Any of them may be empty (a test's
// model): the chooser then counts as cancelled, messages go nowhere, the
// web page is not opened.
struct RDlgConfigServices {
  // The confirmed full path, or nothing when cancelled.
  std::function<std::optional<std::string>(const RFileChooserRequest&)> chooseFile;
  std::function<void(const std::string& message)> showMessage;
  std::function<void()> visitWebPage;
};

struct RDlgConfigOpening {
  int templateId = kSettingsTemplateLarge;
  int processorCount = 1;
  RDlgConfigServices services;
};

enum class DialogState { kOpen, kConfirmed, kCancelled };

class CDlgConfig {
 public:
  // Opens the dialog on `data`: copies in, then gives OK the focus.
  CDlgConfig(InstanceData& data, RDlgConfigOpening opening);
  // For a toolkit whose services need the window that shows the model.
  void setServices(RDlgConfigServices services) { services_ = std::move(services); }

  // Every control in creation (and tab) order.
  static std::span<const RControlEntry> controls();
  static const RControlEntry& controlEntry(ControlId id);
  // The items of a list or editable list in this template.
  std::span<const std::string_view> items(ControlId id) const;
  int templateId() const { return templateId_; }

  // --- what the user does ----------------------------------------------
  // Typing into an edit or an editable list's field. Typing into an
  // editable list deselects its item unless the text is that item's.
  void setText(ControlId id, std::string_view text);
  // Choosing item `index` (-1: none) of a list; an editable list's field
  // then shows the item's text.
  void select(ControlId id, int index);
  // Checking a box or radio button; a radio unchecks its partner and cannot
  // be unchecked directly.
  void setChecked(ControlId id, bool checked);
  // Pressing a button: kOk validates and, when every value is valid, copies
  // out and confirms; kCancel cancels; kBrowse runs the chooser; kWebPage
  // visits the web page. Other controls are not buttons: no effect.
  void press(ControlId id);

  // --- what the toolkit shows ------------------------------------------
  // Edits and editable lists: their field; other controls: their caption.
  const std::string& text(ControlId id) const;
  bool checked(ControlId id) const;
  int selection(ControlId id) const;  // -1 when no item is selected
  bool enabled(ControlId id) const;
  ControlId focus() const { return focus_; }
  DialogState state() const { return state_; }
  // The message of the last refused OK; empty when there was none.
  const std::string& lastMessage() const { return lastMessage_; }

  // The chooser's path rule, public for toolkits that run it themselves:
  // a confirmed path without extension gets ".log", then the folder edit
  // gets everything up to its last separator ('/' or '\') and the file edit
  // the rest.
  void applyChosenFile(std::string_view path);

 private:
  struct RState {
    std::string text;
    bool checked = false;
    int selection = -1;
  };
  RState& state(ControlId id);
  const RState& state(ControlId id) const;
  bool flagSet(std::string_view setting) const;
  void copyIn();
  bool validate();
  void copyOut();

  InstanceData& data_;
  int templateId_;
  RDlgConfigServices services_;
  std::vector<RState> states_;  // parallel to controls()
  ControlId focus_ = ControlId::kOk;
  DialogState state_ = DialogState::kOpen;
  std::string lastMessage_;
};

// The settings of the filter described once, as data: for each of the 60
// settings its record name, position in the Config string, type, default,
// the range the settings dialog holds it to, the dialog's texts for it, the
// items of its list, the settings it depends on, the format version that
// introduced it, and a one-line meaning.
//
// Everything that names, orders or bounds the settings reads this table:
// the Config writer and parser, the defaults of initProc, the settings
// dialog's model, and the command-line host (its --set, help, settings
// listing and README section). The host may include this header although it
// sits in the common layer: it describes the settings string, the module's
// published interface, and nothing of the record's run-time part.
//
// Texts in `label`, `unit`, `group` and the items are the dialog's own,
// verbatim. The table is immutable; every function here is thread-safe.
#pragma once

#include <functional>
#include <span>
#include <string_view>

struct InstanceData;

enum class SettingType { kInt, kBool, kDouble, kString };

// How the dialog bounds a setting.
enum class RangeKind {
  kNone,       // a flag, the log path or an ignore margin: any value of the type
  kValidated,  // the dialog refuses a value outside [min, max] when OK is pressed
  kChoice,     // a list or radio choice: the dialog offers only [min, max]
  kPositive,   // a pixel aspect: a preset's value or a typed number above 0
  kUnchecked,  // a number the dialog takes as typed
};

// Where the dialog shows a setting: the column of both passes is always
// enabled, the pass columns only while their pass is chosen.
enum class DialogColumn { kBoth, kPass1, kPass2 };

// A setting is in effect only while a flag (or either of two flags) has the
// state `whenSet` asks for; the dialog disables it otherwise.
struct RSettingCondition {
  std::string_view flag;    // empty: no condition
  std::string_view orFlag;  // empty, or a second flag that satisfies it as well
  bool whenSet = true;
};

// One item of a list or radio choice: the setting's value and the item text.
struct RSettingItem {
  int value;
  std::string_view text;
};

struct RSetting {
  std::string_view name;  // record name, e.g. "blockSize"
  int position = 0;       // 2..61 in the Config string
  SettingType type = SettingType::kInt;
  double defaultValue = 0;  // unused for the log path, which initProc builds
  RangeKind range = RangeKind::kNone;
  double min = 0, max = 0;  // for kValidated and kChoice
  DialogColumn column = DialogColumn::kBoth;
  std::string_view label = {};                // the dialog's text before (or of) the control
  std::string_view unit = {};                 // the dialog's text after the control
  std::string_view group = {};                // the group box or row caption around it
  std::span<const RSettingItem> items = {};   // list items in dialog order (large template)
  std::span<const double> presetValues = {};  // aspect presets: the value of each item
  std::string_view presetTarget = {};         // the setting a preset index sets
  RSettingCondition conditions[2] = {};       // all must hold
  int sinceVersion = 1;                       // first format version that carries the position
  double absentValue = 0;                     // stored when an older string lacks the position
  std::string_view meaning = {};
  int InstanceData::*intMember = nullptr;        // kInt, kBool
  double InstanceData::*doubleMember = nullptr;  // kDouble
};

inline constexpr int kConfigFormatVersion = 12;

// The 60 settings in Config order (positions 2 to 61).
std::span<const RSetting> settingsSchema();
// Null for an unknown name (names are case-sensitive).
const RSetting* findSettingSchema(std::string_view name);
// The entry of a known name; the name must exist.
const RSetting& settingSchema(std::string_view name);

// How many fields (format version included) a string of `version` carries;
// versions outside 1..12 count as the nearest one.
int configFieldCount(int version);

// Whether the dialog would enable `setting` given the flags' states, leaving
// aside which pass is shown: all its conditions hold. `isSet(name)` tells
// whether a flag is set.
bool settingInEffect(const RSetting& setting, const std::function<bool(std::string_view)>& isSet);
bool conditionHolds(const RSettingCondition& condition,
                    const std::function<bool(std::string_view)>& isSet);

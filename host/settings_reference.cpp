#include "host/settings_reference.h"

#include <charconv>
#include <sstream>
#include <vector>

#include "plugin/common/settings_schema.h"

namespace host {
namespace {

std::string numberText(double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// One setting in words, the same for every form.
struct RDescription {
  std::string name;
  std::string summary;  // type, default, range
  std::string meaning;
  std::vector<std::string> values;  // "0 = ..." for list settings
  std::string dialog;               // where and how the dialog shows it
  std::string dependsOn;            // "" or "sameDestAsSource=0"
};

std::string typeText(const RSetting& setting) {
  switch (setting.type) {
    case SettingType::kInt:
      return "whole number";
    case SettingType::kBool:
      return "0 or 1";
    case SettingType::kDouble:
      return "number";
    case SettingType::kString:
      return "file path";
  }
  return "";
}

std::string defaultText(const RSetting& setting) {
  if (setting.type == SettingType::kString) {
    return "Quiventa/Quiventa.log in the user's data folder";
  }
  return numberText(setting.defaultValue);
}

std::string rangeText(const RSetting& setting) {
  const std::string bounds = numberText(setting.min) + " to " + numberText(setting.max);
  switch (setting.range) {
    case RangeKind::kValidated:
      return "dialog range " + bounds;
    case RangeKind::kChoice:
      return !setting.presetTarget.empty()
                 ? "one of 0 to " + numberText(setting.max) + ", or -1 for a typed value"
                 : "one of " + bounds;
    case RangeKind::kPositive:
      return "above 0";
    case RangeKind::kUnchecked:
      return "any number (the dialog takes it as typed)";
    case RangeKind::kNone:
      break;
  }
  return "";
}

std::string conditionText(const RSettingCondition& condition) {
  const char* state = condition.whenSet ? "=1" : "=0";
  std::string text = std::string(condition.flag) + state;
  if (!condition.orFlag.empty()) text += " or " + std::string(condition.orFlag) + state;
  return text;
}

std::string columnName(DialogColumn column) {
  switch (column) {
    case DialogColumn::kBoth:
      return "Parameters affecting both passes";
    case DialogColumn::kPass1:
      return "Pass 1 parameters";
    case DialogColumn::kPass2:
      return "Pass 2 parameters";
  }
  return "";
}

RDescription describe(const RSetting& setting) {
  RDescription description;
  description.name = std::string(setting.name);
  description.summary = typeText(setting) + ", default " + defaultText(setting);
  const std::string range = rangeText(setting);
  if (!range.empty()) description.summary += ", " + range;
  description.meaning = std::string(setting.meaning);
  for (std::size_t i = 0; i < setting.items.size(); ++i) {
    std::string value =
        std::to_string(setting.items[i].value) + " = " + quoted(setting.items[i].text);
    if (i < setting.presetValues.size()) {
      value += " (" + std::string(setting.presetTarget) + " " +
               numberText(setting.presetValues[i]) + ")";
    }
    description.values.push_back(value);
  }
  // Column > group > the texts around the control, all as the dialog shows them.
  std::string place;
  if (!setting.label.empty()) place = quoted(setting.label);
  if (!setting.unit.empty()) place += (place.empty() ? "... " : " ... ") + quoted(setting.unit);
  if (!place.empty()) {
    description.dialog = quoted(columnName(setting.column)) + " > ";
    if (!setting.group.empty() && setting.group != columnName(setting.column)) {
      description.dialog += quoted(setting.group) + " > ";
    }
    description.dialog += place;
  }
  for (const RSettingCondition& condition : setting.conditions) {
    if (condition.flag.empty()) continue;
    if (!description.dependsOn.empty()) description.dependsOn += " and ";
    description.dependsOn += conditionText(condition);
  }
  return description;
}

// The settings of one dialog column, in Config order.
std::vector<RDescription> column(DialogColumn which) {
  std::vector<RDescription> descriptions;
  for (const RSetting& setting : settingsSchema()) {
    if (setting.column == which) descriptions.push_back(describe(setting));
  }
  return descriptions;
}

constexpr DialogColumn kColumns[] = {DialogColumn::kBoth, DialogColumn::kPass1,
                                     DialogColumn::kPass2};

std::string html(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

void writeSettingsText(std::ostream& out) {
  out << "Settings (--set NAME=VALUE), by the column of the settings dialog that holds them.\n"
         "A setting that depends on others has an effect only while they are as stated.\n";
  for (DialogColumn which : kColumns) {
    out << "\n" << columnName(which) << "\n";
    for (const RDescription& d : column(which)) {
      out << "\n  " << d.name << "  (" << d.summary << ")\n      " << d.meaning << "\n";
      for (const std::string& value : d.values) out << "        " << value << "\n";
      if (!d.dependsOn.empty()) out << "      only while " << d.dependsOn << "\n";
      if (!d.dialog.empty()) out << "      dialog: " << d.dialog << "\n";
    }
  }
}

std::string readmeSettingsSection() {
  std::ostringstream out;
  out << kReadmeSectionBegin << "\n";
  for (DialogColumn which : kColumns) {
    out << "\n#### " << columnName(which) << "\n\n";
    for (const RDescription& d : column(which)) {
      out << "- `" << d.name << "` (" << d.summary << "): " << d.meaning << ".";
      if (!d.dependsOn.empty()) out << " Only while `" << d.dependsOn << "`.";
      if (!d.dialog.empty()) out << " Dialog: " << d.dialog << ".";
      out << "\n";
      for (const std::string& value : d.values) out << "  - " << value << "\n";
    }
  }
  out << "\n" << kReadmeSectionEnd << "\n";
  return out.str();
}

std::string manualHtml() {
  std::ostringstream out;
  out << R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Quiventa 2.4</title>
<style>
body { font-family: sans-serif; max-width: 62em; margin: 2em auto; padding: 0 1em; line-height: 1.4; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #bbb; padding: 0.3em 0.5em; vertical-align: top; text-align: left; }
code, .dialog { white-space: pre-wrap; }
.dialog { color: #444; }
</style>
</head>
<body>
<h1>Quiventa 2.4</h1>
<p>Quiventa is a two-pass video stabiliser. It removes camera shake and makes panning,
rotation and zooming smoother.</p>
<ol>
<li><b>Pass 1</b> (motion analysis) compares every frame, or every field of interlaced
video, with the previous one, measures the camera motion and writes it to the log file.</li>
<li><b>Pass 2</b> (correction) reads the log, smooths the camera path within the correction
limits, and renders the corrected frames, filling the uncovered borders as chosen.</li>
</ol>
<p>Run the filter twice over the same clip: first with <b>Pass 1</b> chosen in the settings
dialog, then with <b>Pass 2</b>. The settings dialog has three columns: the parameters that
affect both passes, and those of each pass; a pass's column is enabled while that pass is
chosen. On Linux the command-line host does both passes in one command:
<code>quiventa stabilize shaky.mp4 steady.mp4</code>; <code>quiventa settings</code> lists
what follows, and <code>quiventa config --dialog</code> opens this dialog.</p>
<h2>Settings</h2>
<p>Each setting with its name in the <code>Config</code> statement (and for
<code>--set NAME=VALUE</code>), its type, default and range, and its place in the dialog.
A setting that depends on others has an effect only while they are as stated.</p>
)";
  for (DialogColumn which : kColumns) {
    out << "<h3>" << html(columnName(which)) << "</h3>\n<table>\n"
        << "<tr><th>Setting</th><th>Type, default, range</th><th>Meaning</th></tr>\n";
    for (const RDescription& d : column(which)) {
      out << "<tr><td><code>" << html(d.name) << "</code></td><td>" << html(d.summary)
          << "</td><td>" << html(d.meaning);
      if (!d.values.empty()) {
        out << "<ul>";
        for (const std::string& value : d.values)
          out << "<li><code>" << html(value) << "</code></li>";
        out << "</ul>";
      }
      if (!d.dependsOn.empty()) out << "<br>Only while <code>" << html(d.dependsOn) << "</code>.";
      if (!d.dialog.empty())
        out << "<br><span class=\"dialog\">Dialog: " << html(d.dialog) << "</span>";
      out << "</td></tr>\n";
    }
    out << "</table>\n";
  }
  out << "</body>\n</html>\n";
  return out.str();
}

}  // namespace host

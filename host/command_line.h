// The quiventa command line: the command, its files and options, checked as
// far as that is possible without the filter module (setting names and value
// types included), and the usage text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/media_output.h"

namespace host {

enum class Command { kStabilize, kAnalyze, kRender, kConfig, kPlan, kSettings, kHelp };

// One --set NAME=VALUE or --log PATH, in command-line order.
struct RSettingChange {
  std::string name;
  std::string value;
  std::string fieldText;  // the value as it goes into the settings string
  // Set because another --set changed it, as the dialog would: a preset
  // index sets its pixel aspect, a typed aspect clears the preset.
  bool implied = false;
};

struct RCommandLine {
  Command command = Command::kHelp;
  std::string input;
  std::string output;                          // stabilize, render
  std::string preview;                         // analyze --preview
  std::string profile;                         // --profile NAME; empty: none
  std::vector<RSettingChange> profileChanges;  // its settings, applied before --config
  std::optional<std::string> configText;
  std::vector<RSettingChange> changes;
  bool logChanged = false;  // --log or --set logFilePath=...
  std::optional<int> threads;
  std::string modulePath;  // empty: Quiventa.vdf beside the program
  bool quiet = false;
  bool keepDelay = false;
  bool forceLog = false;  // render: use a log that does not match INPUT's frames
  bool dialog = false;    // config: edit the settings in the filter's dialog first
  REncodingOptions encoding;
  int planWidth = 0, planHeight = 0;  // plan: --size
  std::string plotPath;               // plan: --plot
};

// `arguments` without the program name. Throws CHostError (usage) with a
// message that names the offending argument.
RCommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

}  // namespace host

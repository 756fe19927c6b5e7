// The quiventa command line: the command, its files and options, checked as
// far as that is possible without the filter module (setting names and value
// types included), and the usage text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/media_output.h"

namespace host {

enum class Command { kStabilize, kAnalyze, kRender, kConfig, kPlan, kSettings, kHelp, kVersion };

// What happens to an output file that exists already, as with FFmpeg's -y
// and -n: ask on a terminal (refuse without one), replace, or never touch.
enum class Overwrite { kAsk, kYes, kNo };

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
  Command helpTopic = Command::kHelp;  // kHelp: the overview; else that command's help
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
  Overwrite overwrite = Overwrite::kAsk;
  // --start and --duration in seconds; only a part of INPUT is written.
  std::optional<double> startSeconds;
  std::optional<double> durationSeconds;
  std::string comparePath;  // stabilize, render: input and output side by side
  // Off: the input's sample aspect ratio and field order are not applied.
  bool autoMetadata = true;
  std::vector<std::string> notes;     // said unless --quiet (old option names)
  int planWidth = 0, planHeight = 0;  // plan: --size
  std::string plotPath;               // plan: --plot
};

// `arguments` without the program name. Throws CHostError (usage) with a
// message that names the offending argument.
RCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The overview for kHelp, else the help of one command.
std::string usageText(Command topic = Command::kHelp);
std::string versionText();

// "90", "1:30", "0:01:30.5" as seconds; nullopt for anything else.
std::optional<double> parseTimeText(const std::string& text);

}  // namespace host

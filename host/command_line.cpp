#include "host/command_line.h"

#include <array>
#include <charconv>

#include "host/host_error.h"
#include "host/machine_limits.h"
#include "host/profiles.h"
#include "host/settings_table.h"

namespace host {
namespace {

constexpr std::array<const char*, 10> kPresets = {"ultrafast", "superfast", "veryfast", "faster",
                                                  "fast",      "medium",    "slow",     "slower",
                                                  "veryslow",  "placebo"};

RSettingChange settingChange(const std::string& name, const std::string& value) {
  const RSettingInfo* setting = findSetting(name);
  if (setting == nullptr) {
    failUsage("unknown setting '" + name + "' in --set " + name + "=" + value +
              " (quiventa --help lists the names)");
  }
  if (setting->position == kPassPosition) {
    failUsage("--set pass=" + value +
              ": the pass is set by the command (analyze, render, "
              "stabilize)");
  }
  std::string error;
  std::optional<std::string> text = fieldTextForValue(*setting, value, &error);
  if (!text) failUsage("--set " + error);
  return {name, value, *text};
}

// What the dialog does besides: choosing a preset sets the pixel aspect to
// the preset's value; typing an aspect leaves no preset chosen.
std::vector<RSettingChange> impliedChanges(const RSettingChange& change) {
  const RSettingInfo& setting = *findSetting(change.name);
  std::vector<RSettingChange> implied;
  if (!setting.presetTarget.empty()) {
    const long long index = parseWholeInteger(change.fieldText).value_or(-1);
    if (index >= 0 && index < static_cast<long long>(setting.presetValues.size())) {
      char text[32];
      const double value = setting.presetValues[static_cast<std::size_t>(index)];
      const auto written = std::to_chars(text, text + sizeof text, value);
      implied.push_back(
          settingChange(std::string(setting.presetTarget), std::string(text, written.ptr)));
    }
  }
  for (const RSettingInfo& preset : settingsTable()) {
    if (preset.presetTarget == change.name) {
      implied.push_back(settingChange(std::string(preset.name), "-1"));
    }
  }
  for (RSettingChange& each : implied) each.implied = true;
  return implied;
}

}  // namespace

RCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
  RCommandLine line;
  if (arguments.empty()) failUsage("no command given (quiventa --help shows the usage)");

  const std::string& command = arguments[0];
  if (command == "stabilize") {
    line.command = Command::kStabilize;
  } else if (command == "analyze") {
    line.command = Command::kAnalyze;
  } else if (command == "render") {
    line.command = Command::kRender;
  } else if (command == "config") {
    line.command = Command::kConfig;
  } else if (command == "plan") {
    line.command = Command::kPlan;
  } else if (command == "settings") {
    line.command = Command::kSettings;
  } else if (command == "help" || command == "--help" || command == "-h") {
    line.command = Command::kHelp;
    return line;
  } else {
    failUsage("unknown command '" + command +
              "' (use stabilize, analyze, render, config, plan or settings)");
  }

  std::vector<std::string> files;
  bool sizeGiven = false, plotGiven = false;
  bool previewGiven = false;
  bool encodingGiven = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    std::optional<std::string> attached;
    if (argument.rfind("--", 0) == 0) {
      const std::size_t equals = argument.find('=');
      if (equals != std::string::npos && argument != "--set") {
        attached = argument.substr(equals + 1);
        argument = argument.substr(0, equals);
      }
    }
    auto value = [&]() -> std::string {
      if (attached) return *attached;
      if (i + 1 >= arguments.size()) failUsage(argument + " needs a value");
      return arguments[++i];
    };
    auto noValue = [&]() {
      if (attached) failUsage(argument + " takes no value");
    };

    if (argument == "--help" || argument == "-h") {
      noValue();
      line.command = Command::kHelp;
      return line;
    } else if (argument == "--profile") {
      const std::string name = value();
      if (!line.profile.empty()) failUsage("--profile given twice");
      const RProfile* profile = findProfile(name);
      if (profile == nullptr) {
        failUsage("unknown profile '" + name + "' (use " + profileNames() +
                  "; quiventa settings describes them)");
      }
      line.profile = name;
      for (const RProfileSetting& setting : profile->settings) {
        line.profileChanges.push_back(
            settingChange(std::string(setting.name), std::string(setting.value)));
      }
    } else if (argument == "--dialog") {
      noValue();
      line.dialog = true;
    } else if (argument == "--config") {
      if (line.configText) failUsage("--config given twice");
      line.configText = value();
    } else if (argument == "--set") {
      const std::string assignment = value();
      const std::size_t equals = assignment.find('=');
      if (equals == std::string::npos || equals == 0) {
        failUsage("--set takes NAME=VALUE, not '" + assignment + "'");
      }
      RSettingChange change =
          settingChange(assignment.substr(0, equals), assignment.substr(equals + 1));
      if (change.name == "logFilePath") line.logChanged = true;
      line.changes.push_back(change);
      for (const RSettingChange& implied : impliedChanges(change)) line.changes.push_back(implied);
    } else if (argument == "--log") {
      const std::string path = value();
      if (path.empty()) failUsage("--log needs a file path");
      if (!carriesInSettingsString(path)) {
        failUsage("--log " + path + ": a log file name cannot contain " + kUncarriedCharacters +
                  " (the settings string cannot carry them)");
      }
      line.changes.push_back(settingChange("logFilePath", path));
      line.logChanged = true;
    } else if (argument == "--threads") {
      const std::string text = value();
      std::optional<long long> count = parseWholeInteger(text);
      const int most = maximumProcessorCount();
      if (!count || *count < 1 || *count > most) {
        failUsage("--threads " + text + ": give a number of processors from 1 to " +
                  std::to_string(most) + " (this machine has " + std::to_string(machineCores()) +
                  " cores)");
      }
      line.threads = static_cast<int>(*count);
    } else if (argument == "--module") {
      line.modulePath = value();
      if (line.modulePath.empty()) failUsage("--module needs a file path");
    } else if (argument == "--quiet" || argument == "-q") {
      noValue();
      line.quiet = true;
    } else if (argument == "--preview") {
      line.preview = value();
      previewGiven = true;
      if (line.preview.empty()) failUsage("--preview needs a file name");
    } else if (argument == "--size") {
      const std::string text = value();
      const std::size_t x = text.find('x');
      std::optional<long long> width, height;
      if (x != std::string::npos) {
        width = parseWholeInteger(text.substr(0, x));
        height = parseWholeInteger(text.substr(x + 1));
      }
      if (!width || !height || *width < 1 || *height < 1 || *width > 32768 || *height > 32768) {
        failUsage("--size " + text + ": give WIDTHxHEIGHT, e.g. 1280x720");
      }
      line.planWidth = static_cast<int>(*width);
      line.planHeight = static_cast<int>(*height);
      sizeGiven = true;
    } else if (argument == "--plot") {
      line.plotPath = value();
      plotGiven = true;
      if (line.plotPath.empty()) failUsage("--plot needs a file name");
    } else if (argument == "--force-log") {
      noValue();
      line.forceLog = true;
    } else if (argument == "--keep-delay") {
      noValue();
      line.keepDelay = true;
      encodingGiven = true;
    } else if (argument == "--crf") {
      const std::string text = value();
      std::optional<double> crf = parseFiniteDouble(text);
      if (!crf || *crf < 0 || *crf > 51)
        failUsage("--crf " + text + ": give a number from 0 to 51");
      line.encoding.crf = *crf;
      encodingGiven = true;
    } else if (argument == "--preset") {
      const std::string text = value();
      bool known = false;
      for (const char* preset : kPresets) known = known || text == preset;
      if (!known) {
        failUsage("--preset " + text +
                  ": use ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, "
                  "veryslow or placebo");
      }
      line.encoding.preset = text;
      encodingGiven = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      failUsage("unknown option " + argument);
    } else {
      files.push_back(argument);
    }
  }

  std::size_t wanted = 0;
  const char* shape = "";
  switch (line.command) {
    case Command::kStabilize:
      wanted = 2;
      shape = "quiventa stabilize INPUT OUTPUT [options]";
      break;
    case Command::kRender:
      wanted = 2;
      shape = "quiventa render INPUT OUTPUT [options]";
      break;
    case Command::kAnalyze:
      wanted = 1;
      shape = "quiventa analyze INPUT [--preview VIDEO] [options]";
      break;
    case Command::kConfig:
      wanted = 0;
      shape = "quiventa config [options]";
      break;
    case Command::kPlan:
      wanted = 1;
      shape = "quiventa plan LOG --size WIDTHxHEIGHT [--plot PLOT.svg] [options]";
      break;
    case Command::kSettings:
      wanted = 0;
      shape = "quiventa settings";
      break;
    case Command::kHelp:
      break;
  }
  if (files.size() != wanted) {
    failUsage(std::string(files.size() < wanted ? "missing" : "too many") +
              " file arguments: " + shape);
  }
  for (const std::string& file : files) {
    if (file.empty()) failUsage("an empty file name was given");
  }
  if (wanted >= 1) line.input = files[0];
  if (wanted >= 2) line.output = files[1];
  if (previewGiven && line.command != Command::kAnalyze) {
    failUsage("--preview belongs to analyze; stabilize and render write OUTPUT");
  }
  if (line.forceLog && line.command != Command::kRender) {
    failUsage("--force-log belongs to render");
  }
  if (line.keepDelay && line.command != Command::kRender && line.command != Command::kStabilize) {
    failUsage("--keep-delay belongs to render and stabilize");
  }
  if (line.dialog && line.command != Command::kConfig) failUsage("--dialog belongs to config");
  if (line.command == Command::kPlan && !sizeGiven) {
    failUsage("plan needs the source size the log belongs to: --size WIDTHxHEIGHT");
  }
  if ((sizeGiven || plotGiven) && line.command != Command::kPlan) {
    failUsage("--size and --plot belong to plan");
  }
  if (line.command == Command::kSettings &&
      (line.configText || !line.changes.empty() || !line.profile.empty())) {
    failUsage(
        "settings lists the settings and profiles; it takes no --config, --set, --log or "
        "--profile");
  }
  if (encodingGiven && (line.command == Command::kConfig || line.command == Command::kPlan ||
                        line.command == Command::kSettings)) {
    failUsage("--crf, --preset and --keep-delay need a command that writes video");
  }
  return line;
}

std::string usageText() {
  std::string text =
      "Quiventa 2.4: two-pass video stabiliser\n"
      "\n"
      "usage:\n"
      "  quiventa stabilize INPUT OUTPUT [options]   pass 1, then pass 2\n"
      "  quiventa analyze   INPUT [--preview VIDEO] [options]   pass 1 only; writes the log\n"
      "  quiventa render    INPUT OUTPUT [options]   pass 2 only; reads the log\n"
      "  quiventa config    [--dialog] [options]     prints the Config(\"...\") statement;\n"
      "                     --dialog edits it in the filter's settings dialog first\n"
      "  quiventa settings                           lists the profiles and every setting: "
      "meaning,\n"
      "                     default, range, values and place in the settings dialog\n"
      "  quiventa plan      LOG --size WIDTHxHEIGHT [--plot PLOT.svg] [options]\n"
      "                     plans pass 2 from a log as it would for a source of that size and\n"
      "                     prints each channel's corrections; --plot draws the camera paths\n"
      "\n"
      "options:\n"
      "  --profile NAME     start from the settings for a kind of footage: " +
      profileNames() +
      "\n"
      "                     (quiventa settings lists what each changes)\n"
      "  --config TEXT      start from a settings statement: Config(\"...\") as a host script\n"
      "                     holds it (backslash escapes undone) or the bare string\n"
      "  --set NAME=VALUE   change one setting by its record name (blockSize=20,\n"
      "                     rollingShutter=1, ...); repeatable, applied in order\n"
      "  --log PATH         the log file (sets logFilePath); by default stabilize uses\n"
      "                     OUTPUT.log, analyze and render INPUT.log\n"
      "  --force-log        render: use a log even though it has no motion for some of\n"
      "                     INPUT's frames or describes more frames than INPUT has\n"
      "  --threads N        processors for the filter (default: all cores, or\n"
      "                     NUMBER_OF_PROCESSORS when set, at most 8 per core)\n"
      "  --module PATH      the filter module (default: Quiventa.vdf beside quiventa)\n"
      "  --quiet            no progress display and no notes\n"
      "  --preview VIDEO    analyze: write the pass-1 video output to VIDEO\n"
      "  --keep-delay       render, stabilize: keep the filter's output delay and message\n"
      "                     frames instead of aligning the output with the input\n"
      "  --crf N            H.264 quality, 0 (lossless) to 51 (default 18)\n"
      "  --preset NAME      H.264 speed preset (default medium)\n"
      "\n"
      "Outputs: .mp4, .mkv, .mov (H.264, audio kept), .y4m (raw), NAME%04d.png (PNG images,\n"
      "numbered from 1). OUTPUT and the log are written to temporary files beside them and\n"
      "renamed at the end; a failed or interrupted run leaves existing files as they were.\n"
      "\n"
      "Settings start from the filter's defaults, then the --profile, then --config, then each\n"
      "--set and --log in order. Values outside the dialog ranges draw a warning. Refused, because "
      "the\n"
      "filter would misbehave:\n";
  text += refusedValuesDescription();
  text += "\nSetting names:\n";
  std::string row = " ";
  for (const RSettingInfo& setting : settingsTable()) {
    const char* type = setting.type == SettingType::kInt      ? "int"
                       : setting.type == SettingType::kBool   ? "0/1"
                       : setting.type == SettingType::kDouble ? "number"
                                                              : "path";
    std::string entry = " ";
    entry.append(setting.name).append(" (").append(type).append(")");
    if (row.size() + entry.size() > 88) {
      text += row;
      text += '\n';
      row.clear();
      row.push_back(' ');
    }
    row += entry;
  }
  text += row + "\n";
  text +=
      "\nExit status: 0 done, 1 failure, 2 wrong command line or settings, 128 + the signal\n"
      "when stopped by a signal (130 for Ctrl-C, 143 for SIGTERM).\n";
  return text;
}

}  // namespace host

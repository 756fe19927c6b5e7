#include "host/command_line.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

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

std::optional<double> parseTimeText(const std::string& text) {
  // [[HH:]MM:]SS[.fraction], as FFmpeg's -ss and -t take it.
  double seconds = 0;
  std::size_t begin = 0;
  for (int part = 0; part < 3; ++part) {
    const std::size_t colon = text.find(':', begin);
    const std::string piece = text.substr(begin, colon - begin);
    if (colon == std::string::npos) {
      std::optional<double> value = parseFiniteDouble(piece);
      if (!value || *value < 0 || piece.empty() || piece[0] == '+' || piece[0] == '-') {
        return std::nullopt;
      }
      if (part > 0 && *value >= 60) return std::nullopt;
      // A year of video is more than any clip; beyond it frame numbers
      // computed from the time would overflow.
      const double total = seconds * 60 + *value;
      if (total > 366.0 * 24 * 3600) return std::nullopt;
      return total;
    }
    std::optional<long long> whole = parseWholeInteger(piece);
    if (!whole || *whole < 0 || *whole > 1000000 || (part > 0 && *whole >= 60)) {
      return std::nullopt;
    }
    seconds = seconds * 60 + static_cast<double>(*whole);
    begin = colon + 1;
  }
  return std::nullopt;
}

RCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
  RCommandLine line;
  if (arguments.empty()) failUsage("no command given (quiventa --help shows the usage)");

  const std::string& command = arguments[0];
  if (command == "--version" || command == "-version") {
    line.command = Command::kVersion;
    return line;
  }
  if (command == "help" && arguments.size() == 2) {
    // "quiventa help render" is "quiventa render --help".
    RCommandLine topic = parseCommandLine({arguments[1], "--help"});
    return topic;
  }
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
      line.helpTopic = line.command;
      line.command = Command::kHelp;
      return line;
    } else if (argument == "--version") {
      line.command = Command::kVersion;
      return line;
    } else if (argument == "-y" || argument == "-n") {
      const Overwrite wanted = argument == "-y" ? Overwrite::kYes : Overwrite::kNo;
      if (line.overwrite != Overwrite::kAsk && line.overwrite != wanted) {
        failUsage("-y and -n contradict each other: give one");
      }
      line.overwrite = wanted;
    } else if (argument == "--start" || argument == "--duration") {
      const std::string text = value();
      const std::optional<double> seconds = parseTimeText(text);
      if (!seconds || (argument == "--duration" && *seconds <= 0)) {
        failUsage(argument + " " + text + ": give seconds (12.5) or [HH:]MM:SS[.fraction]" +
                  (argument == "--duration" ? ", more than 0" : ""));
      }
      (argument == "--start" ? line.startSeconds : line.durationSeconds) = *seconds;
    } else if (argument == "--compare") {
      line.comparePath = value();
      if (line.comparePath.empty()) failUsage("--compare needs a file name");
    } else if (argument == "--no-auto-metadata") {
      noValue();
      line.autoMetadata = false;
    } else if (argument == "--codec") {
      const std::string name = value();
      const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
      if (codec == nullptr || codec->type != AVMEDIA_TYPE_VIDEO) {
        failUsage("--codec " + name +
                  ": FFmpeg has no video encoder of that name (ffmpeg -encoders lists them)");
      }
      line.encoding.codec = name;
      encodingGiven = true;
    } else if (argument == "--pix-fmt") {
      const std::string name = value();
      if (av_get_pix_fmt(name.c_str()) == AV_PIX_FMT_NONE) {
        failUsage("--pix-fmt " + name +
                  ": FFmpeg knows no pixel format of that name (ffmpeg -pix_fmts lists them)");
      }
      line.encoding.pixelFormat = name;
      encodingGiven = true;
    } else if (argument == "--encoder-option") {
      const std::string assignment = value();
      const std::size_t equals = assignment.find('=');
      if (equals == std::string::npos || equals == 0) {
        failUsage("--encoder-option takes NAME=VALUE, not '" + assignment + "'");
      }
      line.encoding.encoderOptions.emplace_back(assignment.substr(0, equals),
                                                assignment.substr(equals + 1));
      encodingGiven = true;
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
    } else if (argument == "--encoder-preset" || argument == "--preset") {
      // --preset was the first name; it is easily taken for a settings profile.
      if (argument == "--preset") {
        line.notes.push_back("--preset is now called --encoder-preset");
      }
      line.encoding.preset = value();
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
    case Command::kVersion:
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
  const bool x264Family = line.encoding.codec.empty() || line.encoding.codec == "libx264" ||
                          line.encoding.codec == "libx265";
  if (!line.encoding.preset.empty() && x264Family) {
    bool known = false;
    for (const char* preset : kPresets) known = known || line.encoding.preset == preset;
    if (!known) {
      failUsage("--encoder-preset " + line.encoding.preset +
                ": use ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, "
                "veryslow or placebo");
    }
  }
  const bool writesVideo = line.command == Command::kStabilize ||
                           line.command == Command::kRender || line.command == Command::kAnalyze;
  if ((line.startSeconds || line.durationSeconds) && !writesVideo) {
    failUsage("--start and --duration belong to stabilize, analyze and render");
  }
  if (!line.comparePath.empty() && line.command != Command::kStabilize &&
      line.command != Command::kRender) {
    failUsage("--compare belongs to stabilize and render");
  }
  if (!line.autoMetadata && !writesVideo) {
    failUsage("--no-auto-metadata belongs to stabilize, analyze and render");
  }
  if (line.overwrite != Overwrite::kAsk && !writesVideo && line.command != Command::kPlan) {
    failUsage("-y and -n belong to commands that write files (stabilize, analyze, render, plan)");
  }
  if (encodingGiven && (line.command == Command::kConfig || line.command == Command::kPlan ||
                        line.command == Command::kSettings)) {
    failUsage(
        "--codec, --pix-fmt, --crf, --encoder-preset, --encoder-option and --keep-delay need a "
        "command that writes video");
  }
  return line;
}

namespace {

// Which commands an option belongs to, for the help of each command.
enum : unsigned {
  kS = 1u << static_cast<int>(Command::kStabilize),
  kA = 1u << static_cast<int>(Command::kAnalyze),
  kR = 1u << static_cast<int>(Command::kRender),
  kC = 1u << static_cast<int>(Command::kConfig),
  kP = 1u << static_cast<int>(Command::kPlan),
  kPasses = kS | kA | kR,
  kSettingsUsers = kPasses | kC | kP,
};

struct ROptionHelp {
  const char* name;
  const char* text;  // lines after the first are indented by the caller
  unsigned commands;
};

constexpr ROptionHelp kOptionHelp[] = {
    {"--profile NAME",
     "start from the settings for a kind of footage (quiventa settings\nlists them)",
     kSettingsUsers},
    {"--config TEXT",
     "start from a settings statement: Config(\"...\") as a host script\nholds it (backslash "
     "escapes undone) or the bare string",
     kSettingsUsers},
    {"--set NAME=VALUE",
     "change one setting by its record name (blockSize=20,\nrollingShutter=1, ...); repeatable, "
     "applied in order",
     kSettingsUsers},
    {"--log PATH",
     "the log file (sets logFilePath); by default stabilize uses\nOUTPUT.log, analyze and render "
     "INPUT.log",
     kPasses},
    {"--dialog", "edit the settings in the filter's settings dialog first", kC},
    {"--preview VIDEO", "write the pass-1 video output (the vectors) to VIDEO", kA},
    {"--size WxH", "the source size the log belongs to (required)", kP},
    {"--plot PLOT.svg", "draw each channel's camera path, smoothed path and limits", kP},
    {"--force-log",
     "use a log even though it has no motion for some of INPUT's\nframes or describes more "
     "frames than INPUT has",
     kR},
    {"--start TIME",
     "begin at TIME (seconds, or [HH:]MM:SS[.fraction]); pass 1 also\nanalyses the frames the "
     "smoothing needs around the part",
     kPasses},
    {"--duration TIME", "write only TIME of the input (default: to its end)", kPasses},
    {"--compare VIDEO", "also write input (left) and output (right) side by side", kS | kR},
    {"--no-auto-metadata",
     "do not take the sample aspect ratio and field order from the\ninput (they set "
     "sourcePixelAspect, destPixelAspect, interlaced,\nupperFieldFirst unless given)",
     kPasses},
    {"--codec NAME",
     "video encoder (FFmpeg's name: libx264, libx265, prores_ks, ffv1,\n...); default libx264 "
     "for .mp4, .mkv, .mov",
     kPasses},
    {"--pix-fmt NAME",
     "output pixel format (yuv420p, yuv422p10le, ...); default: the\ninput's chroma and bit "
     "depth where the encoder has them",
     kPasses},
    {"--crf N", "quality of libx264 and libx265, 0 (lossless) to 51 (default 18)", kPasses},
    {"--encoder-preset NAME",
     "the encoder's speed preset (libx264: ultrafast .. placebo,\ndefault medium)", kPasses},
    {"--encoder-option K=V",
     "an option passed to the encoder as it is (tune=film,\nx264-params=keyint=50); repeatable",
     kPasses},
    {"--keep-delay",
     "keep the filter's output delay and message frames instead of\naligning the output with "
     "the input",
     kS | kR},
    {"-y", "replace existing output files without asking", kPasses | kP},
    {"-n", "never replace an existing output file (exit at once)", kPasses | kP},
    {"--threads N",
     "processors for the filter (default: all cores, or\nNUMBER_OF_PROCESSORS when set, at most 8 "
     "per core)",
     kSettingsUsers},
    {"--module PATH", "the filter module (default: Quiventa.vdf beside quiventa)", kSettingsUsers},
    {"--quiet, -q", "no progress display and no notes (warnings stay)", kSettingsUsers},
    {"--help, -h", "this help", kSettingsUsers},
};

struct RCommandHelp {
  Command command;
  const char* shape;
  const char* what;
};

constexpr RCommandHelp kCommandHelp[] = {
    {Command::kStabilize, "quiventa stabilize INPUT OUTPUT [options]", "pass 1, then pass 2"},
    {Command::kAnalyze, "quiventa analyze   INPUT [--preview VIDEO] [options]",
     "pass 1 only; writes the log"},
    {Command::kRender, "quiventa render    INPUT OUTPUT [options]", "pass 2 only; reads the log"},
    {Command::kConfig, "quiventa config    [--dialog] [options]",
     "prints the Config(\"...\") statement"},
    {Command::kPlan, "quiventa plan      LOG --size WIDTHxHEIGHT [--plot PLOT.svg] [options]",
     "what pass 2 makes of a log"},
    {Command::kSettings, "quiventa settings", "the profiles and every setting described"},
};

// `marked`: options of only some commands say which.
std::string optionLines(unsigned commands, bool marked = false) {
  std::string text;
  for (const ROptionHelp& option : kOptionHelp) {
    if ((option.commands & commands) == 0) continue;
    std::string name = "  ";
    name += option.name;
    name.resize(std::max<std::size_t>(name.size() + 2, 25), ' ');
    text += name;
    if (marked && (option.commands & kS) == 0) text += "render: ";
    if (marked && (option.commands & kR) == 0) text += "stabilize: ";
    for (const char* c = option.text; *c != '\0'; ++c) {
      text += *c;
      if (*c == '\n') text += std::string(25, ' ');
    }
    text += '\n';
  }
  return text;
}

std::string settingNames() {
  std::string text = "Setting names (quiventa settings describes each):\n";
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
  return text + row + "\n";
}

constexpr const char* kExitStatus =
    "\nExit status: 0 done, 1 failure, 2 wrong command line or settings, 128 + the signal\n"
    "when stopped by a signal (130 for Ctrl-C, 143 for SIGTERM).\n";

}  // namespace

std::string usageText(Command topic) {
  std::string text = "Quiventa 2.4: two-pass video stabiliser\n\n";
  if (topic == Command::kHelp || topic == Command::kVersion) {
    text += "usage:\n";
    for (const RCommandHelp& command : kCommandHelp) {
      std::string shape = "  ";
      shape += command.shape;
      text += shape + "\n" + std::string(21, ' ') + command.what + "\n";
    }
    text +=
        "  quiventa COMMAND --help   the options of one command\n"
        "  quiventa --version\n\n"
        "Common options:\n";
    text += optionLines(kS | kR, true);
    text +=
        "\nOutputs: .mp4, .mkv, .mov (H.264 unless --codec; audio kept), .y4m (raw),\n"
        "NAME%04d.png (PNG images, numbered from 1). Files are written to temporary files\n"
        "beside them and renamed at the end; a failed or interrupted run leaves existing\n"
        "files as they were.\n";
    text += kExitStatus;
    return text;
  }
  for (const RCommandHelp& command : kCommandHelp) {
    if (command.command == topic) {
      text += std::string("usage: ") + command.shape + "\n  " + command.what + "\n";
    }
  }
  if (topic == Command::kSettings) return text + kExitStatus;
  text += "\noptions:\n" + optionLines(1u << static_cast<int>(topic));
  text += "\nSettings start from the filter's defaults, then the --profile (" + profileNames() +
          "),\nthen --config, then each --set and --log in order. Values outside the dialog ranges "
          "draw\na warning. Refused, because the filter would misbehave:\n";
  text += refusedValuesDescription();
  text += "\n" + settingNames();
  text += kExitStatus;
  return text;
}

std::string versionText() {
  const unsigned codec = avcodec_version();
  const unsigned format = avformat_version();
  char text[200];
  std::snprintf(text, sizeof text,
                "quiventa 2.4 (filter module Quiventa v2.4)\nFFmpeg libraries: libavcodec "
                "%u.%u.%u, libavformat %u.%u.%u\n",
                codec >> 16, (codec >> 8) & 0xFF, codec & 0xFF, format >> 16, (format >> 8) & 0xFF,
                format & 0xFF);
  return text;
}

}  // namespace host

#include "host/host_app.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <thread>

#include "host/av_handles.h"
#include "host/command_line.h"
#include "host/filter_instance.h"
#include "host/filter_module.h"
#include "host/filter_settings.h"
#include "host/host_error.h"
#include "host/interrupt.h"
#include "host/output_target.h"
#include "host/pass_runner.h"
#include "host/plan_command.h"
#include "host/settings_table.h"

namespace host {
namespace {

void setProcessorCount(const std::optional<int>& threads) {
  if (threads) {
    setenv("NUMBER_OF_PROCESSORS", std::to_string(*threads).c_str(), 1);
  } else if (std::getenv("NUMBER_OF_PROCESSORS") == nullptr) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    setenv("NUMBER_OF_PROCESSORS", std::to_string(cores).c_str(), 1);
  }
}

std::string shellQuoted(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_./+-,:=@%") == std::string::npos;
  if (plain) return text;
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

void refuseSameFile(const std::string& first, const char* firstRole, const std::string& second,
                    const char* secondRole) {
  if (!first.empty() && !second.empty() && isSameFile(first, second)) {
    failUsage(std::string(firstRole) + " " + first + " is the same file as " + secondRole + " " +
              second);
  }
}

class CQuiventa {
 public:
  CQuiventa(const RCommandLine& line, std::ostream& out, std::ostream& err)
      : line_(line),
        out_(out),
        err_(err),
        progress_(stderr, !line.quiet && isatty(STDERR_FILENO) == 1) {}

  int run() {
    checkFiles();
    setProcessorCount(line_.threads);
    CFilterModule module(line_.modulePath.empty() ? defaultModulePath() : line_.modulePath);
    CFilterInstance instance(module);
    CFilterSettings settings(instance);
    prepareSettings(settings);
    if (line_.command == Command::kConfig) {
      out_ << settings.statement() << "\n";
      return 0;
    }
    if (line_.command == Command::kPlan) {
      std::vector<std::string> fields = settings.fields();
      std::string text;
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i + 1 == kLogFilePathPosition) fields[i] = line_.input;
        if (i + 1 == kPassPosition) fields[i].assign(1, '2');  // pass 2
        if (i > 0) text += '|';
        text += fields[i];
      }
      RPlanRequest request{text, line_.input, line_.planWidth, line_.planHeight, line_.plotPath};
      return runPlan(request, out_, err_);
    }
    const std::vector<std::string> fields = settings.fields();
    logPath_ = fields.size() >= kLogFilePathPosition ? fields[kLogFilePathPosition - 1] : "";
    refuseSameFile(logPath_, "the log file", line_.input, "INPUT");
    refuseSameFile(logPath_, "the log file", line_.output, "OUTPUT");
    refuseSameFile(logPath_, "the log file", line_.preview, "the preview");

    switch (line_.command) {
      case Command::kAnalyze:
        analyze(instance, settings);
        break;
      case Command::kRender:
        render(instance, settings);
        break;
      case Command::kStabilize:
        stabilize(instance, settings);
        break;
      default:
        break;
    }
    return 0;
  }

 private:
  void checkFiles() {
    if (!line_.output.empty()) {
      outputKindFor(line_.output);
      refuseSameFile(line_.output, "OUTPUT", line_.input, "INPUT");
    }
    if (!line_.preview.empty()) {
      outputKindFor(line_.preview);
      refuseSameFile(line_.preview, "the preview", line_.input, "INPUT");
    }
  }

  void prepareSettings(CFilterSettings& settings) {
    if (line_.configText) settings.applyUserStatement(*line_.configText);
    for (const RSettingChange& change : line_.changes) {
      settings.setField(findSetting(change.name)->position, change.fieldText, change.name);
    }
    if (line_.command == Command::kStabilize && !line_.logChanged) {
      settings.setField(kLogFilePathPosition, line_.output + ".log", "logFilePath");
    }
    const RSettingsCheck check = checkSettings(settings.fields());
    if (!check.errors.empty()) {
      std::string message = check.errors.front();
      if (check.errors.size() > 1) {
        message += " (and " + std::to_string(check.errors.size() - 1) + " more refused values)";
      }
      failUsage(message);
    }
    for (const std::string& warning : check.warnings) {
      err_ << "quiventa: warning: " << warning << "\n";
    }
  }

  RPassReport runOnePass(CFilterInstance& instance, CFilterSettings& settings, int pass,
                         const COutputTarget* target, const std::string& namedOutput) {
    settings.setField(kPassPosition, std::to_string(pass), "pass");
    RPassRequest request;
    request.passName = "pass " + std::to_string(pass);
    request.inputPath = line_.input;
    if (target != nullptr) {
      request.outputWritePath = target->writePath();
      request.outputNamedPath = namedOutput;
    }
    request.delayFrames = pass == 2 && !line_.keepDelay ? settings.outputDelayFrames() : 0;
    request.encoding = line_.encoding;
    RPassReport report = runPass(instance, request, progress_, err_);
    if (report.corruptFrames > 0) {
      err_ << "quiventa: warning: " << report.corruptFrames
           << " corrupt frame(s) or unreadable packet(s) of " << line_.input << " were skipped\n";
    }
    return report;
  }

  void note(const std::string& text) {
    if (!line_.quiet) err_ << "quiventa: " << text << "\n";
  }

  void wrote(const std::string& path, const RPassReport& report) {
    note("wrote " + path + ": " + std::to_string(report.writtenFrames) + " frames of " +
         std::to_string(report.destinationWidth) + "x" + std::to_string(report.destinationHeight));
  }

  void analyze(CFilterInstance& instance, CFilterSettings& settings) {
    std::optional<COutputTarget> target;
    if (!line_.preview.empty()) target.emplace(line_.preview);
    CInterruptGuard interrupts;
    const RPassReport report =
        runOnePass(instance, settings, 1, target ? &*target : nullptr, line_.preview);
    if (target) {
      target->commit();
      wrote(line_.preview, report);
    }
    note("analysed " + std::to_string(report.decodedFrames) + " frames; log file " + logPath_);
  }

  void requireLog() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(logPath_, error)) {
      failRuntime("log file " + logPath_ + " does not exist: run quiventa analyze " +
                  shellQuoted(line_.input) + " first, or give --log");
    }
  }

  void render(CFilterInstance& instance, CFilterSettings& settings) {
    requireLog();
    COutputTarget target(line_.output);
    CInterruptGuard interrupts;
    const RPassReport report = runOnePass(instance, settings, 2, &target, line_.output);
    target.commit();
    wrote(line_.output, report);
  }

  void stabilize(CFilterInstance& instance, CFilterSettings& settings) {
    COutputTarget target(line_.output);
    CInterruptGuard interrupts;
    runOnePass(instance, settings, 1, nullptr, "");
    const RPassReport report = runOnePass(instance, settings, 2, &target, line_.output);
    target.commit();
    wrote(line_.output, report);
    note("kept the analysis log " + logPath_ +
         "; to render again with other smoothing settings:\n  quiventa render " +
         shellQuoted(line_.input) + " " + shellQuoted(line_.output) + " --log " +
         shellQuoted(logPath_) + " [--set ...]");
  }

  const RCommandLine& line_;
  std::ostream& out_;
  std::ostream& err_;
  CProgressDisplay progress_;
  std::string logPath_;
};

int exitStatusForInterrupt() {
  const int signalNumber = pendingInterrupt();
  return signalNumber > 0 ? 128 + signalNumber : 130;
}

}  // namespace

int runQuiventa(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  try {
    const RCommandLine line = parseCommandLine(arguments);
    // FFmpeg's own chatter (encoder statistics) is not for the user; its
    // errors about broken input are.
    av_log_set_level(line.quiet ? AV_LOG_QUIET : AV_LOG_ERROR);
    if (line.command == Command::kHelp) {
      out << usageText();
      return 0;
    }
    CQuiventa program(line, out, err);
    return program.run();
  } catch (const CHostError& error) {
    err << "quiventa: " << error.what() << "\n";
    if (error.kind() == FailureKind::kInterrupted) return exitStatusForInterrupt();
    return exitStatusOf(error.kind());
  } catch (const std::bad_alloc&) {
    err << "quiventa: out of memory\n";
    return 1;
  } catch (const std::exception& error) {
    err << "quiventa: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace host

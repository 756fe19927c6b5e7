#include "host/host_app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <utility>

#include "host/av_handles.h"
#include "host/command_line.h"
#include "host/filter_instance.h"
#include "host/filter_module.h"
#include "host/filter_settings.h"
#include "host/frame_continuity.h"
#include "host/host_error.h"
#include "host/input_metadata.h"
#include "host/interrupt.h"
#include "host/log_check.h"
#include "host/machine_limits.h"
#include "host/media_input.h"
#include "host/output_target.h"
#include "host/pass1_log.h"
#include "host/pass_runner.h"
#include "host/path_identity.h"
#include "host/plan_command.h"
#include "host/scene_diagnosis.h"
#include "host/settings_listing.h"
#include "host/settings_table.h"
#include "platform/environment.h"

namespace host {
namespace {

// The filter's NUMBER_OF_PROCESSORS: --threads, else the user's value
// within what the machine runs usefully, else the core count.
void setProcessorCount(const std::optional<int>& threads, std::ostream& err) {
  if (threads) {
    setenv("NUMBER_OF_PROCESSORS", std::to_string(*threads).c_str(), 1);
    return;
  }
  const char* given = std::getenv("NUMBER_OF_PROCESSORS");
  if (given == nullptr) {
    setenv("NUMBER_OF_PROCESSORS", std::to_string(machineCores()).c_str(), 1);
    return;
  }
  // Read as the filter reads it: the leading decimal digits.
  const int most = maximumProcessorCount();
  long long value = 0;
  for (const char* digit = given; *digit >= '0' && *digit <= '9' && value <= most; ++digit) {
    value = value * 10 + (*digit - '0');
  }
  if (value > most) {
    err << "quiventa: warning: NUMBER_OF_PROCESSORS=" << given
        << " is more than this machine uses (" << machineCores() << " cores); the filter gets "
        << most << " threads\n";
    setenv("NUMBER_OF_PROCESSORS", std::to_string(most).c_str(), 1);
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

std::string sizeText(long long width, long long height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// Pass 1 matches on two pyramid levels at least, the coarser one 40 pixels
// or more on a side; the block grid needs a block in each direction. A
// smaller picture would be logged as a camera that stands still.
constexpr long kSmallestAnalysedSide = 80;

// While the settings dialog is up nothing needs cleaning up, and its event
// loop never looks at the interrupt flag: a signal ends the program at once.
class CDefaultSignals {
 public:
  CDefaultSignals() {
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &plain, &saved_[i]);
  }
  ~CDefaultSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &saved_[i], nullptr);
  }
  CDefaultSignals(const CDefaultSignals&) = delete;
  CDefaultSignals& operator=(const CDefaultSignals&) = delete;

 private:
  static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
  std::array<struct sigaction, 3> saved_{};
};

class CQuiventa {
 public:
  CQuiventa(const RCommandLine& line, std::ostream& out, std::ostream& err)
      : line_(line),
        out_(out),
        err_(err),
        progress_(stderr, line.quiet                   ? ProgressMode::kOff
                          : isatty(STDERR_FILENO) == 1 ? ProgressMode::kBar
                                                       : ProgressMode::kLines) {}

  int run() {
    for (const std::string& text : line_.notes) note(text);
    checkFiles();
    setProcessorCount(line_.threads, err_);
    CFilterModule module(line_.modulePath.empty() ? defaultModulePath() : line_.modulePath);
    CFilterInstance instance(module);
    CFilterSettings settings(instance);
    if (line_.command == Command::kSettings) {
      writeSettingsListing(settings.fields(), out_);
      return 0;
    }
    prepareSettings(settings);
    if (line_.command == Command::kConfig) {
      if (line_.dialog && !editInDialog(instance)) return 1;
      out_ << settings.statement() << "\n";
      return 0;
    }
    if (line_.command == Command::kPlan) return plan(settings);
    fields_ = settings.fields();
    logPath_ = text(kLogFilePathPosition);
    refuseSameFile(logPath_, "the log file", line_.input, "INPUT");
    refuseSameFile(logPath_, "the log file", line_.output, "OUTPUT");
    refuseSameFile(logPath_, "the log file", line_.preview, "the preview");
    refuseSameFile(logPath_, "the log file", line_.comparePath, "the comparison");

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
    if (!line_.comparePath.empty()) {
      outputKindFor(line_.comparePath);
      refuseSameFile(line_.comparePath, "the comparison", line_.input, "INPUT");
      refuseSameFile(line_.comparePath, "the comparison", line_.output, "OUTPUT");
    }
    if (line_.command == Command::kPlan) {
      refuseSameFile(line_.plotPath, "the plot", line_.input, "the log");
    }
    const std::pair<const std::string*, const char*> outputs[] = {
        {&line_.output, "OUTPUT"},
        {&line_.preview, "the preview"},
        {&line_.comparePath, "the comparison"},
        {&line_.plotPath, "the plot"}};
    for (const auto& [path, role] : outputs) {
      requireRegularOutput(*path, role, "give the name of a regular file");
      allowReplacing(*path);
    }
    struct stat status {};
    if (line_.command == Command::kStabilize && stat(line_.input.c_str(), &status) == 0 &&
        (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISSOCK(status.st_mode))) {
      failUsage("INPUT " + line_.input +
                " is read once per pass, so stabilize needs a file; analyze and render read it "
                "once");
    }
  }

  // As FFmpeg does: -y replaces, -n never does, and otherwise the user is
  // asked when there is a terminal to answer on. A batch job without one
  // must not replace files nobody confirmed.
  void allowReplacing(const std::string& path) {
    if (path.empty() || line_.overwrite == Overwrite::kYes || !outputExists(path)) return;
    if (line_.overwrite == Overwrite::kNo) {
      failRuntime(path + " already exists and -n keeps it: nothing done");
    }
    if (isatty(STDIN_FILENO) != 1 || isatty(STDERR_FILENO) != 1) {
      failUsage(path + " already exists: give -y to replace it (or -n to keep existing files)");
    }
    err_ << "File '" << path << "' already exists. Overwrite? [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes") {
      failRuntime(path + " already exists and was kept: nothing done");
    }
  }

  // The filter's own settings dialog on the prepared settings; false when
  // the user cancelled it.
  bool editInDialog(CFilterInstance& instance) {
    if (!platform::displayNamed()) {
      failRuntime(
          "config --dialog needs a display: neither DISPLAY (X11) nor WAYLAND_DISPLAY "
          "(Wayland) is set");
    }
    const CDefaultSignals signals;
    if (instance.configure()) return true;
    err_ << "quiventa: the settings dialog was cancelled (or could not be shown); nothing "
            "printed\n";
    return false;
  }

  void prepareSettings(CFilterSettings& settings) {
    for (const RSettingChange& change : line_.profileChanges) {
      settings.setField(findSetting(change.name)->position, change.fieldText, change.name);
    }
    if (line_.configText) {
      if (!line_.profile.empty()) {
        err_ << "quiventa: warning: --config replaces every setting, so --profile " << line_.profile
             << " has no effect\n";
      }
      settings.applyUserStatement(*line_.configText);
    }
    for (const RSettingChange& change : line_.changes) {
      settings.setField(findSetting(change.name)->position, change.fieldText, change.name);
    }
    const bool passes = line_.command == Command::kStabilize ||
                        line_.command == Command::kAnalyze || line_.command == Command::kRender;
    if (passes) probeInput(settings);
    if (passes && !line_.logChanged) {
      // Each clip has its own log: stabilize keeps it beside its output,
      // analyze writes it beside the input, where render looks for it.
      const bool beside = line_.command == Command::kStabilize;
      const std::string defaultLog = logPathBeside(beside ? line_.output : line_.input);
      if (!carriesInSettingsString(defaultLog)) {
        failUsage(std::string("the log file would be ") + (beside ? "OUTPUT" : "INPUT") +
                  ".log, but a file name with " + kUncarriedCharacters +
                  " cannot be carried by the settings statement: give --log PATH");
      }
      settings.setField(kLogFilePathPosition, defaultLog, "logFilePath");
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
    std::vector<std::string> changed;
    for (const RSettingChange& change : line_.changes) {
      if (!change.implied) changed.push_back(change.name);
    }
    for (const std::string& warning : settingsWithoutEffect(settings.fields(), changed)) {
      err_ << "quiventa: warning: " << warning << "\n";
    }
  }

  // What the input tells before any pass: its frame rate (for --start and
  // --duration) and the metadata that sets settings. A FIFO or device is
  // read only by the passes, so it tells nothing here.
  void probeInput(CFilterSettings& settings) {
    struct stat status {};
    if (stat(line_.input.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
      if (line_.startSeconds || line_.durationSeconds) {
        failUsage("--start and --duration need INPUT to be a file");
      }
      return;
    }
    const CMediaInput input(line_.input);
    frameRate_ = av_q2d(input.frameRate());
    if (!line_.autoMetadata) return;
    auto userSet = [this](std::string_view name) {
      if (line_.configText) return true;
      for (const auto* changes : {&line_.changes, &line_.profileChanges}) {
        for (const RSettingChange& change : *changes) {
          if (change.name == name) return true;
        }
      }
      return false;
    };
    const RMetadataSettings metadata = settingsFromMetadata(input.videoStream(), userSet);
    for (const RMetadataSetting& change : metadata.changes) {
      const RSettingInfo* setting = findSetting(change.name);
      std::string error;
      const std::optional<std::string> text = fieldTextForValue(*setting, change.value, &error);
      if (text) settings.setField(setting->position, *text, change.name);
    }
    for (const std::string& announcement : metadata.announcements) note(announcement);
  }

  // --start and --duration as frames: the part written, the frames pass 2
  // must see for it (the frames it holds for the borders), and the frames
  // pass 1 analyses so that the smoothing of the part comes out as it would
  // for the whole clip. The smoothing's influence falls off by a factor e
  // every sqrt(smoothness / 10) entries, so 5 of those lengths (under 1 %
  // left) are analysed on each side; a negative smoothness (back to the
  // first frame's position) reaches back to the clip's first frame.
  struct RParts {
    long long writeFirst = 0, writeEnd = -1;
    long long renderFirst = 0, renderEnd = -1;
    long long analyseFirst = 0, analyseEnd = -1;
  };
  RParts parts() const {
    RParts parts;
    if (!line_.startSeconds && !line_.durationSeconds) return parts;
    parts.writeFirst = std::llround(line_.startSeconds.value_or(0) * frameRate_);
    if (line_.durationSeconds) {
      parts.writeEnd =
          parts.writeFirst + std::max(1LL, std::llround(*line_.durationSeconds * frameRate_));
    }
    const long long previous = flag("usePreviousFrames") ? number("previousFrames") : 0;
    const long long future = flag("useFutureFrames") ? number("futureFrames") : 0;
    parts.renderFirst = std::max(0LL, parts.writeFirst - previous);
    parts.renderEnd = parts.writeEnd < 0 ? -1 : parts.writeEnd + future;
    long long reach = 0;
    bool fromStart = false;
    for (const char* name :
         {"smoothHorizontalPanning", "smoothVerticalPanning", "smoothRotation", "smoothZoom"}) {
      const long long smoothness = number(name);
      if (smoothness < 0) fromStart = true;
      if (smoothness > 0) {
        reach = std::max(
            reach,
            static_cast<long long>(std::ceil(5 * std::sqrt(static_cast<double>(smoothness) / 10))));
      }
    }
    reach += previous + future + 2;
    parts.analyseFirst = fromStart ? 0 : std::max(0LL, parts.writeFirst - reach);
    parts.analyseEnd = parts.writeEnd < 0 ? -1 : parts.writeEnd + reach;
    return parts;
  }

  // Settings as the filter holds them (fields_ is read after the changes).
  const std::string& text(int position) const {
    static const std::string kNone;
    return position <= static_cast<int>(fields_.size()) ? fields_[position - 1] : kNone;
  }
  long long number(const char* name) const {
    return parseWholeInteger(text(findSetting(name)->position)).value_or(0);
  }
  bool flag(const char* name) const { return number(name) == 1; }

  // Pass 1 needs something to analyse; both passes need memory for their
  // pictures. Stabilize checks pass 2's needs before pass 1 runs.
  void checkAnalysedSource(long width, long height) const {
    const long fieldHeight = flag("interlaced") ? height / 2 : height;
    const long long blockSize = number("blockSize");
    if (width < kSmallestAnalysedSide && fieldHeight < kSmallestAnalysedSide) {
      failUsage(line_.input + " is " + sizeText(width, height) +
                ": pass 1 measures motion only in pictures at least " +
                std::to_string(kSmallestAnalysedSide) + " pixels wide or high" +
                (flag("interlaced") ? " (fields, for interlaced video)" : ""));
    }
    if (blockSize > 0 && (width / blockSize < 1 || fieldHeight / blockSize < 1)) {
      failUsage("with blockSize=" + std::to_string(blockSize) + " a " +
                sizeText(width, fieldHeight) + (flag("interlaced") ? " field" : " picture") +
                " has no block to match: give a blockSize of at most " +
                std::to_string(std::min(width, fieldHeight)));
    }
    RRunPictures pictures;
    pictures.sourceWidth = width;
    pictures.sourceHeight = height;
    pictures.destinationWidth = line_.preview.empty() ? 8 : width;
    pictures.destinationHeight = line_.preview.empty() ? 8 : height + 20;
    pictures.analysis = true;
    requireMemoryFor(pictures, "pass 1 of a " + sizeText(width, height) + " source");
  }

  void checkRenderedSource(long width, long height) const {
    RRunPictures pictures;
    pictures.sourceWidth = width;
    pictures.sourceHeight = height;
    const bool own = !flag("sameDestAsSource");
    pictures.destinationWidth = own ? number("destWidth") : width;
    pictures.destinationHeight = own ? number("destHeight") : height;
    if (flag("interlaced")) {
      pictures.destinationHeight -= pictures.destinationHeight % 2;
      if (flag("interlacedProgressive")) pictures.destinationHeight *= 2;
    }
    const long long previous = flag("usePreviousFrames") ? number("previousFrames") : 0;
    const long long future = flag("useFutureFrames") ? number("futureFrames") : 0;
    pictures.heldFrames = previous + future + 1;
    requireMemoryFor(pictures, "pass 2 of a " + sizeText(width, height) + " source to a " +
                                   sizeText(pictures.destinationWidth, pictures.destinationHeight) +
                                   " output holding " + std::to_string(previous) +
                                   " previous and " + std::to_string(future) + " future frames");
  }

  RPassReport runOnePass(CFilterInstance& instance, CFilterSettings& settings, int pass,
                         const COutputTarget* target, const std::string& namedOutput,
                         RPassRequest request = {}) {
    settings.setField(kPassPosition, std::to_string(pass), "pass");
    request.passName = "pass " + std::to_string(pass);
    request.inputPath = line_.input;
    if (target != nullptr) {
      request.outputWritePath = target->writePath();
      request.outputNamedPath = namedOutput;
    }
    request.delayFrames = pass == 2 && !line_.keepDelay ? settings.outputDelayFrames() : 0;
    request.encoding = line_.encoding;
    request.announceInput = !announced_;
    request.quiet = line_.quiet;
    request.passCount = line_.command == Command::kStabilize ? 2 : 1;
    request.passIndex = line_.command == Command::kStabilize ? pass : 1;
    request.knownFrames = pass == 2 ? analysedFrames_ : 0;
    const RParts part = parts();
    request.writeFirst = part.writeFirst;
    request.writeEnd = part.writeEnd;
    request.feedFirst = pass == 1 ? part.analyseFirst : part.renderFirst;
    request.feedEnd = pass == 1 ? part.analyseEnd : part.renderEnd;
    if (pass == 1 && request.passCount == 2 && part.renderEnd >= 0) {
      request.laterFrames = part.renderEnd - part.renderFirst + settings.outputDelayFrames();
    }
    if (pass == 2 && analysedFrames_ > 0) {
      // The frames pass 1 saw, less those it analysed only for the smoothing.
      const long long end = analysedFirst_ + analysedFrames_;
      const long long fed =
          (part.renderEnd < 0 ? end : std::min(end, part.renderEnd)) - request.feedFirst;
      request.knownFrames = std::max(1LL, fed);
    }
    if (compare_ != nullptr && pass == 2) {
      request.compareWritePath = compare_->writePath();
      request.compareNamedPath = line_.comparePath;
    }
    announced_ = true;
    RPassReport report = runPass(instance, request, progress_, err_);
    if (pass == 1) {
      analysedFirst_ = request.feedFirst;
      analysedFrames_ = report.fedFrames;
    }
    if (report.corruptFrames > 0) {
      err_ << "quiventa: warning: " << report.corruptFrames
           << " corrupt frame(s) or unreadable packet(s) of " << line_.input << " were skipped\n";
    }
    return report;
  }

  // New scenes inside one shot are a quality problem the user can fix, so
  // they are told even with --quiet.
  void diagnose(const std::string& logPath, const RDiagnosisSettings& settings,
                const CContinuityMeter& continuity) {
    std::ifstream file(logPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    RDiagnosisInput input{text.str(), &continuity.frames(), settings};
    const std::vector<std::string> lines = diagnoseNewScenes(input);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      err_ << (i == 0 ? "quiventa: warning: " : "  ") << lines[i] << "\n";
    }
  }

  void note(const std::string& message) {
    if (!line_.quiet) err_ << "quiventa: " << message << "\n";
  }

  void wrote(const std::string& path, const RPassReport& report) {
    note("wrote " + path + ": " + std::to_string(report.writtenFrames) + " frames of " +
         std::to_string(report.destinationWidth) + "x" + std::to_string(report.destinationHeight));
  }

  // Pass 1 into a temporary log; the log is checked but not yet in place.
  RPassReport analysePass(CFilterInstance& instance, CFilterSettings& settings, CPass1Log& log,
                          const COutputTarget* preview, RPassRequest request) {
    settings.setField(kLogFilePathPosition, log.writePath(), "logFilePath");
    const RDiagnosisSettings diagnosis = diagnosisSettings(settings.fields());
    CContinuityMeter continuity(diagnosis.ignoreDarker ? diagnosis.darkerThanPercent : 0.0);
    request.sourceObserver = [&continuity](const VFBitmap& frame) { continuity.addFrame(frame); };
    // Without a preview nobody sees pass 1's picture of the analysis: the
    // filter then neither draws it nor reads the frame at full size, which
    // costs a fifth of pass 1 and changes nothing in the log.
    const bool unseen = preview == nullptr && flag("videoOutput");
    if (unseen) settings.setField(kVideoOutputPosition, "0", "videoOutput");
    const RPassReport report =
        runOnePass(instance, settings, 1, preview, line_.preview, std::move(request));
    if (unseen) settings.setField(kVideoOutputPosition, "1", "videoOutput");
    settings.setField(kLogFilePathPosition, logPath_, "logFilePath");
    log.verify(expectedLogLines(report.fedFrames, flag("interlaced")));
    diagnose(log.writePath(), diagnosis, continuity);
    return report;
  }

  void analyze(CFilterInstance& instance, CFilterSettings& settings) {
    std::optional<COutputTarget> target;
    if (!line_.preview.empty()) target.emplace(line_.preview);
    CPass1Log log(logPath_, flag("appendToLogFile"));
    RPassRequest request;
    request.checkSource = [this](long w, long h) { checkAnalysedSource(w, h); };
    const RPassReport report =
        analysePass(instance, settings, log, target ? &*target : nullptr, std::move(request));
    stopIfInterrupted();
    if (target) target->commit();
    log.commit();
    if (target) wrote(line_.preview, report);
    note("analysed " + std::to_string(report.fedFrames) + " frames; log file " + logPath_);
  }

  void requireLog() {
    std::error_code error;
    if (!std::filesystem::exists(logPath_, error)) {
      failRuntime("log file " + logPath_ + " does not exist: run quiventa analyze " +
                  shellQuoted(line_.input) + " first, or give --log");
    }
  }

  // A log that is not this clip's renders some frames without motion (or
  // plans the motion of frames that are not there): refused unless the
  // user insists, then said once.
  void logMismatch(const std::string& problem) {
    if (!line_.forceLog) {
      failRuntime(problem + ": it is not the log of " + line_.input + " (run quiventa analyze " +
                  shellQuoted(line_.input) + ", or give --force-log to render with it anyway)");
    }
    if (!mismatchTold_) err_ << "quiventa: warning: " << problem << "; rendering anyway\n";
    mismatchTold_ = true;
  }

  void render(CFilterInstance& instance, CFilterSettings& settings) {
    requireLog();
    openCompare();
    const bool interlaced = flag("interlaced");
    const RLogFacts facts = readPlannableLog(logPath_, flag("rollingShutter"));
    COutputTarget target(line_.output);
    RPassRequest request;
    request.checkSource = [this](long w, long h) { checkRenderedSource(w, h); };
    request.checkFrame = [&](long long frame) {
      if (facts.covers(frame, interlaced)) return;
      logMismatch("the log " + logPath_ + " has no motion for frame " + std::to_string(frame) +
                  " (its entries span " + facts.frameRange(interlaced) + ")");
    };
    const RPassReport report =
        runOnePass(instance, settings, 2, &target, line_.output, std::move(request));
    const long long lastLabel =
        interlaced ? 2 * report.decodedFrames - 1 : report.decodedFrames - 1;
    if (report.inputEnded && facts.lastLabel() > lastLabel) {
      logMismatch("the log " + logPath_ + " spans " + facts.frameRange(interlaced) + ", " +
                  line_.input + " has " + std::to_string(report.decodedFrames) + " frames");
    }
    stopIfInterrupted();
    target.commit();
    commitCompare();
    wrote(line_.output, report);
  }

  void commitCompare() {
    if (compare_ == nullptr) return;
    compare_->commit();
    note("wrote " + line_.comparePath + ": input (left) and output (right) side by side");
  }

  void openCompare() {
    if (!line_.comparePath.empty()) compare_ = std::make_unique<COutputTarget>(line_.comparePath);
  }

  void stabilize(CFilterInstance& instance, CFilterSettings& settings) {
    COutputTarget target(line_.output);
    openCompare();
    {
      CPass1Log log(logPath_, flag("appendToLogFile"));
      RPassRequest request;
      request.checkSource = [this](long w, long h) {
        checkAnalysedSource(w, h);
        checkRenderedSource(w, h);
      };
      analysePass(instance, settings, log, nullptr, std::move(request));
      readPlannableLog(log.writePath(), flag("rollingShutter"), logPath_);
      stopIfInterrupted();
      log.commit();
    }
    RPassReport report;
    try {
      report = runOnePass(instance, settings, 2, &target, line_.output);
      stopIfInterrupted();
    } catch (const CHostError& error) {
      throw CHostError(error.kind(), std::string(error.what()) + " (the analysis log " + logPath_ +
                                         " is complete and kept)");
    }
    target.commit();
    commitCompare();
    wrote(line_.output, report);
    note("kept the analysis log " + logPath_ +
         "; to render again with other smoothing settings:\n  quiventa render " +
         shellQuoted(line_.input) + " " + shellQuoted(line_.output) + " -y --log " +
         shellQuoted(logPath_) + " [--set ...]");
  }

  int plan(CFilterSettings& settings) {
    std::vector<std::string> fields = settings.fields();
    std::string settingsText;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      // The log goes to the planner directly: its name need not fit the
      // settings string.
      const int position = static_cast<int>(i) + 1;
      if (position == kLogFilePathPosition) fields[i] = "-";
      if (position == kPassPosition) fields[i].assign(1, '2');  // pass 2
      if (i > 0) settingsText += '|';
      settingsText += fields[i];
    }
    RPlanRequest request{settingsText, line_.input, line_.planWidth, line_.planHeight,
                         line_.plotPath};
    return runPlan(request, out_, err_);
  }

  const RCommandLine& line_;
  std::ostream& out_;
  std::ostream& err_;
  CProgressDisplay progress_;
  std::vector<std::string> fields_;
  std::string logPath_;
  bool announced_ = false;
  double frameRate_ = 25;
  long long analysedFirst_ = 0, analysedFrames_ = 0;  // pass 1 of stabilize
  std::unique_ptr<COutputTarget> compare_;
  bool mismatchTold_ = false;
};

int exitStatusForInterrupt() {
  const int signalNumber = pendingInterrupt();
  return signalNumber > 0 ? 128 + signalNumber : 130;
}

}  // namespace

int runQuiventa(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  // From the start: a signal before the first check must not end the
  // program with temporaries left, and a signal after the last is no
  // interruption of anything.
  CInterruptGuard interrupts;
  try {
    const RCommandLine line = parseCommandLine(arguments);
    // FFmpeg's own chatter (encoder statistics) is not for the user; its
    // errors about broken input are.
    av_log_set_level(line.quiet ? AV_LOG_QUIET : AV_LOG_ERROR);
    if (line.command == Command::kHelp) {
      out << usageText(line.helpTopic);
      return 0;
    }
    if (line.command == Command::kVersion) {
      out << versionText();
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

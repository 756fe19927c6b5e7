#include "host/plan_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "host/interrupt.h"
#include "host/log_check.h"
#include "host/svg_plot.h"
#include "planning/correction_planner.h"
#include "planning/pass2_startup.h"
#include "platform/file_io.h"
#include "plugin/common/config_string.h"
#include "plugin/common/field_split.h"
#include "plugin/common/instance_data.h"
#include "plugin/common/output_format.h"

namespace host {

namespace {

const char* const kEdgeCompensationNames[] = {
    "None  (large borders)",    "Adaptive zoom  (some borders)", "Adaptive zoom only",
    "Fixed zoom  (no borders)", "Adaptive+fixed (no borders)",   "Adaptive+fixed only"};

// An instance record of the filter's own planning code, set up as the
// module's callbacks set it up: zeroed record, the defaults of initProc, the
// settings string, the output size of paramProc.
class CPlanningInstance {
 public:
  CPlanningInstance(int width, int height)
      : memory_((sizeof(InstanceData) + 7) / 8, 0), fa_(destination_, source_) {
    fa_.filter_data = memory_.data();
    fa_.pfsi = &state_;
    initializeInstance(data());
    source_.w = destination_.w = width;
    source_.h = destination_.h = height;
    source_.pitch = destination_.pitch = width * 4L;
  }
  ~CPlanningInstance() {
    endPass2(data());
    releaseInstance(data());
  }
  InstanceData& data() { return *reinterpret_cast<InstanceData*>(memory_.data()); }
  FilterActivation& fa() { return fa_; }

 private:
  std::vector<std::uint64_t> memory_;
  VFBitmap source_, destination_;
  FilterStateInfo state_;
  FilterActivation fa_;
};

struct RChannelSummary {
  double largest = 0;
  int largestEntry = 0;
  int atLimit = 0;
};

// Corrections within a thousandth of the limit count as held at it: the
// solver stops raising a weight as soon as the correction is not above it.
RChannelSummary summarise(const RPlanChannel& channel) {
  RChannelSummary summary;
  for (std::size_t i = 0; i < channel.path.size(); ++i) {
    const double correction = std::fabs(channel.smoothed[i] - channel.path[i]);
    if (correction > summary.largest) {
      summary.largest = correction;
      summary.largestEntry = static_cast<int>(i);
    }
    if (channel.limit > 0 && correction >= channel.limit * 0.999) ++summary.atLimit;
  }
  return summary;
}

// `logarithmic`: the channel is a log zoom, shown as percent of zoom.
void printChannel(std::ostream& out, const char* name, const RPlanChannel& channel,
                  const char* unit, bool logarithmic = false) {
  const RChannelSummary s = summarise(channel);
  auto shown = [&](double v) { return logarithmic ? (std::exp(v) - 1) * 100 : v; };
  char line[200];
  std::snprintf(line, sizeof line, "  %-10s %10.3f %-3s (entry %6d)  %6d at the limit of %.3f %s\n",
                name, shown(s.largest), unit, s.largestEntry, s.atLimit, shown(channel.limit),
                unit);
  out << line;
}

RSvgPanel panelOf(const std::string& title, const std::string& unit, const RPlanChannel& channel,
                  bool exponential) {
  auto values = [&](auto function) {
    std::vector<double> v(channel.path.size());
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = function(i);
    return v;
  };
  auto shown = [&](double v) { return exponential ? std::exp(v) : v; };
  RSvgPanel panel{title, unit, {}};
  // The limits are drawn where they fall within the range of the paths, so
  // that wide limits do not flatten the shake out of sight.
  panel.series.push_back(
      {"correction limit", "#9a9a9a", true,
       values([&](std::size_t i) { return shown(channel.path[i] + channel.limit); }), false});
  panel.series.push_back(
      {"", "#9a9a9a", true,
       values([&](std::size_t i) { return shown(channel.path[i] - channel.limit); }), false});
  panel.series.push_back({"camera path", "#1f5fbf", false,
                          values([&](std::size_t i) { return shown(channel.path[i]); })});
  panel.series.push_back({"smoothed path", "#d62728", false,
                          values([&](std::size_t i) { return shown(channel.smoothed[i]); })});
  return panel;
}

bool writeFileSafely(const std::string& path, const std::string& content, std::string* error) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  // Appended piece by piece: GCC 12 warns falsely about "literal" + string&& at -O3.
  std::string hiddenName = ".";
  hiddenName += target.filename().string();
  hiddenName += ".tmp-XXXXXX";
  std::string pattern = (folder / hiddenName).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; a plot is as readable as any new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, 0666 & ~mask);
  close(descriptor);
  platform::FileHandle file = platform::createFileTruncate(pattern.c_str());
  const bool written = file != platform::kInvalidFileHandle &&
                       platform::writeFile(file, content.data(), content.size());
  platform::closeFile(file);
  std::error_code failure;
  if (written) fs::rename(pattern, target, failure);
  if (!written || failure) {
    fs::remove(pattern, failure);
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

int runPlan(const RPlanRequest& request, std::ostream& out, std::ostream& err) {
  CPlanningInstance instance(request.width, request.height);
  InstanceData& data = instance.data();
  std::vector<char> settings(request.settings.begin(), request.settings.end());
  settings.push_back('\0');
  parseConfigString(data, settings.data());
  data.pass = 2;
  *data.logFilePath = request.logPath;
  // Refuses what the planner would choke on or read forever (FIFOs, devices).
  readPlannableLog(request.logPath, data.rollingShutter != 0);
  describeOutputFrame(data, instance.fa().src, instance.fa().dst);

  // As the start callback does: fields for interlaced video.
  RPlanReport report;
  if (data.interlaced) {
    splitField(&instance.fa(), FieldStep::kBegin,
               {.secondRowField = 1, .firstField = 1, .pass = 2});
  }
  const int destWidth = static_cast<int>(instance.fa().dst.w);
  const int destHeight = static_cast<int>(instance.fa().dst.h);
  const PlanOutcome outcome = startPass2(&instance.fa(), &report);
  if (data.interlaced) splitField(&instance.fa(), FieldStep::kEnd);

  if (outcome == PlanOutcome::kFailed) {
    // The planner fails on a confirmed abort, which the progress window
    // passes on as the signal it came from, or at its iteration cap.
    stopIfInterrupted();
    err << "quiventa: planning " << request.logPath
        << " did not converge: the smoothing reached its iteration cap\n";
    return 1;
  }
  if (outcome != PlanOutcome::kPlanned) {
    err << "quiventa: " << request.logPath
        << " holds no plan: a log needs at least two readable lines (label, pan x, pan y, "
           "rotation, zoom)\n";
    return 1;
  }

  const int entries = data.plannedFrameCount;
  out << "plan of " << request.logPath << " for a " << request.width << "x" << request.height
      << " source" << (data.interlaced ? " (interlaced: entries are fields)" : "") << ", output "
      << destWidth << "x" << destHeight << "\n";
  out << "  " << entries << " entries; entry 0 is label number " << data.logBaseFrame
      << ", the reference before the first logged frame\n";
  out << "  largest correction per channel, and the entries held at the correction limit:\n";
  printChannel(out, "pan x", report.panX, "px");
  printChannel(out, "pan y", report.panY, "px");
  printChannel(out, "rotation", report.rotation, "deg");
  if (report.edgeCompensation == 2 || report.edgeCompensation == 5) {
    out << "  zoom       not smoothed: the zoom comes from the edge compensation alone\n";
  } else {
    printChannel(out, "zoom", report.logZoom, "%", true);
  }
  // The planner's factor scales the source: below 1 shows less of it,
  // bigger. Users think in magnification, as extraZoom is given.
  std::vector<double> magnification(report.zoomFactor.size());
  for (std::size_t i = 0; i < magnification.size(); ++i) {
    magnification[i] = report.zoomFactor[i] > 0 ? 1 / report.zoomFactor[i] : 0;
  }
  const auto [lowest, highest] = std::minmax_element(magnification.begin(), magnification.end());
  char zoomLine[240];
  const int mode = report.edgeCompensation;
  std::snprintf(zoomLine, sizeof zoomLine,
                "  zoom rendered: %.5f .. %.5f (above 1 enlarges, as extraZoom; edge compensation "
                "%d, \"%s\")\n",
                *lowest, *highest, mode,
                mode >= 0 && mode <= 5 ? kEdgeCompensationNames[mode] : "none");
  out << zoomLine;
  std::vector<int> starts;
  for (std::size_t i = 0; i < report.sceneStart.size(); ++i) {
    if (report.sceneStart[i]) starts.push_back(static_cast<int>(i));
  }
  out << "  scene starts: " << starts.size();
  for (std::size_t i = 0; i < starts.size() && i < 20; ++i)
    out << (i ? ", " : " at entries ") << starts[i];
  if (starts.size() > 20) out << ", ...";
  out << "\n";

  if (!request.plotPath.empty()) {
    std::vector<RSvgPanel> panels = {panelOf("Horizontal panning", "pixels", report.panX, false),
                                     panelOf("Vertical panning", "pixels", report.panY, false),
                                     panelOf("Rotation", "degrees", report.rotation, false),
                                     panelOf("Zoom", "factor", report.logZoom, true)};
    panels.back().series.push_back({"zoom rendered", "#2ca02c", false, magnification});
    RSvgAxis axis;
    axis.first = data.logBaseFrame;
    if (data.interlaced) axis.label = "field (frame n has fields 2n and 2n + 1)";
    const std::string svg =
        renderSvgPlot("Quiventa plan of " + request.logPath, panels, starts, "scene start", axis);
    std::string error;
    if (!writeFileSafely(request.plotPath, svg, &error)) {
      err << "quiventa: " << error << "\n";
      return 1;
    }
    out << "  plot: " << request.plotPath << "\n";
  }
  return 0;
}

}  // namespace host

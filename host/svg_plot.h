// A plain SVG line chart of several panels sharing one horizontal axis (the
// log entries), for the plan command.
#pragma once

#include <string>
#include <vector>

namespace host {

struct RSvgSeries {
  std::string label;
  std::string colour;  // any SVG colour
  bool dashed = false;
  std::vector<double> values;
  bool setsScale = true;  // false: drawn clipped to the range of the others
};

struct RSvgPanel {
  std::string title;
  std::string unit;
  std::vector<RSvgSeries> series;
};

// The horizontal axis: entry i stands for `first` + i * `step` in the
// axis's unit (frame numbers, or fields of interlaced video).
struct RSvgAxis {
  double first = 0;
  double step = 1;
  std::string label = "frame";
};

// Panels stacked top to bottom; `markers` are entry indices drawn as
// vertical lines across every panel (scene starts). Both axes get ticks at
// round values (1, 2, 2.5 or 5 times a power of ten); a series that does not set
// the scale is listed in the legend only where part of it is in sight.
std::string renderSvgPlot(const std::string& title, const std::vector<RSvgPanel>& panels,
                          const std::vector<int>& markers, const std::string& markerLabel,
                          const RSvgAxis& axis = {});

// The round tick step for a range: about `wanted` ticks, 1, 2 or 5 times a
// power of ten (or 2.5 times).
double niceTickStep(double range, int wanted);

}  // namespace host

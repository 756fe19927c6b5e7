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

// Panels stacked top to bottom; `markers` are entry indices drawn as
// vertical lines across every panel (scene starts).
std::string renderSvgPlot(const std::string& title, const std::vector<RSvgPanel>& panels,
                          const std::vector<int>& markers, const std::string& markerLabel);

}  // namespace host

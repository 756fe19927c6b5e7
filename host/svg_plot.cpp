#include "host/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace host {

namespace {

constexpr double kWidth = 1100, kPanelHeight = 230, kLeft = 80, kRight = 170, kTop = 50;
constexpr double kPlotHeight = 170;

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string label(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '&') {
      out += "&amp;";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

double niceTickStep(double range, int wanted) {
  if (!(range > 0) || wanted < 1) return 1;
  const double rough = range / wanted;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 2.5, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

std::string renderSvgPlot(const std::string& title, const std::vector<RSvgPanel>& panels,
                          const std::vector<int>& markers, const std::string& markerLabel,
                          const RSvgAxis& axis) {
  std::size_t entries = 0;
  for (const RSvgPanel& panel : panels) {
    for (const RSvgSeries& series : panel.series) entries = std::max(entries, series.values.size());
  }
  const double plotWidth = kWidth - kLeft - kRight;
  const double height = kTop + kPanelHeight * static_cast<double>(panels.size()) + 40;
  auto xOf = [&](double entry) {
    return kLeft + (entries > 1 ? entry / static_cast<double>(entries - 1) : 0.0) * plotWidth;
  };

  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth) +
                    "\" height=\"" + number(height) +
                    "\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg +=
      "<text x=\"" + number(kLeft) + "\" y=\"28\" font-size=\"16\">" + escape(title) + "</text>\n";

  for (std::size_t p = 0; p < panels.size(); ++p) {
    const RSvgPanel& panel = panels[p];
    const double top = kTop + kPanelHeight * static_cast<double>(p);
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const RSvgSeries& series : panel.series) {
      if (!series.setsScale) continue;
      for (double v : series.values) {
        if (!std::isfinite(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
    if (!(low <= high)) low = 0, high = 1;
    if (high - low < 1e-9) low -= 0.5, high += 0.5;
    const double margin = (high - low) * 0.05;
    low -= margin;
    high += margin;
    auto yOf = [&](double v) { return top + 20 + (high - v) / (high - low) * kPlotHeight; };

    svg += "<text x=\"" + number(kLeft) + "\" y=\"" + number(top + 12) +
           "\" font-weight=\"bold\">" + escape(panel.title) + " (" + escape(panel.unit) +
           ")</text>\n";
    svg += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(top + 20) + "\" width=\"" +
           number(plotWidth) + "\" height=\"" + number(kPlotHeight) +
           "\" fill=\"none\" stroke=\"#999\"/>\n";
    const double yStep = niceTickStep(high - low, 6);
    for (double v = std::ceil(low / yStep) * yStep; v <= high; v += yStep) {
      // Round off what the additions accumulate, so 0 reads "0", not "-1e-17".
      const double shown = std::round(v / yStep) * yStep + 0.0;
      svg += "<line x1=\"" + number(kLeft - 4) + "\" y1=\"" + number(yOf(v)) + "\" x2=\"" +
             number(kLeft + plotWidth) + "\" y2=\"" + number(yOf(v)) + "\" stroke=\"#e4e4e4\"/>\n";
      svg += "<text x=\"" + number(kLeft - 6) + "\" y=\"" + number(yOf(v) + 4) +
             "\" text-anchor=\"end\" fill=\"#555\">" + label(shown) + "</text>\n";
    }
    // Frame ticks along the bottom of every panel.
    if (entries > 1) {
      const double last = axis.first + axis.step * static_cast<double>(entries - 1);
      const double xStep = niceTickStep(last - axis.first, 10);
      for (double v = std::ceil(axis.first / xStep) * xStep; v <= last; v += xStep) {
        const double x = xOf((v - axis.first) / axis.step);
        const double bottom = top + 20 + kPlotHeight;
        svg += "<line x1=\"" + number(x) + "\" y1=\"" + number(bottom) + "\" x2=\"" + number(x) +
               "\" y2=\"" + number(bottom + 4) + "\" stroke=\"#555\"/>\n";
        svg += "<text x=\"" + number(x) + "\" y=\"" + number(bottom + 16) +
               "\" text-anchor=\"middle\" fill=\"#555\" font-size=\"10\">" +
               label(std::round(v / xStep) * xStep + 0.0) + "</text>\n";
      }
    }
    for (int marker : markers) {
      const double x = xOf(marker);
      svg += "<line x1=\"" + number(x) + "\" y1=\"" + number(top + 20) + "\" x2=\"" + number(x) +
             "\" y2=\"" + number(top + 20 + kPlotHeight) +
             "\" stroke=\"#e69500\" stroke-width=\"1.5\"/>\n";
    }
    const std::string clip = "panel" + std::to_string(p);
    svg += "<clipPath id=\"" + clip + "\"><rect x=\"" + number(kLeft) + "\" y=\"" +
           number(top + 20) + "\" width=\"" + number(plotWidth) + "\" height=\"" +
           number(kPlotHeight) + "\"/></clipPath>\n";
    double legendY = top + 30;
    for (const RSvgSeries& series : panel.series) {
      std::string points;
      for (std::size_t i = 0; i < series.values.size(); ++i) {
        if (!std::isfinite(series.values[i])) continue;
        points += number(xOf(static_cast<double>(i))) + "," + number(yOf(series.values[i])) + " ";
      }
      svg += "<polyline clip-path=\"url(#" + clip + ")\" fill=\"none\" stroke=\"" + series.colour +
             "\" stroke-width=\"1.3\"" + (series.dashed ? " stroke-dasharray=\"5,4\"" : "") +
             " points=\"" + points + "\"/>\n";
      bool inSight = series.setsScale;
      for (double v : series.values) inSight = inSight || (v >= low && v <= high);
      if (series.label.empty() || !inSight) continue;
      svg += "<line x1=\"" + number(kWidth - kRight + 12) + "\" y1=\"" + number(legendY) +
             "\" x2=\"" + number(kWidth - kRight + 36) + "\" y2=\"" + number(legendY) +
             "\" stroke=\"" + series.colour + "\" stroke-width=\"2\"" +
             (series.dashed ? " stroke-dasharray=\"5,4\"" : "") + "/>\n";
      svg += "<text x=\"" + number(kWidth - kRight + 42) + "\" y=\"" + number(legendY + 4) + "\">" +
             escape(series.label) + "</text>\n";
      legendY += 18;
    }
    if (!markers.empty()) {
      svg += "<line x1=\"" + number(kWidth - kRight + 12) + "\" y1=\"" + number(legendY) +
             "\" x2=\"" + number(kWidth - kRight + 36) + "\" y2=\"" + number(legendY) +
             "\" stroke=\"#e69500\" stroke-width=\"2\"/>\n";
      svg += "<text x=\"" + number(kWidth - kRight + 42) + "\" y=\"" + number(legendY + 4) + "\">" +
             escape(markerLabel) + "</text>\n";
    }
  }
  svg += "<text x=\"" + number(kLeft + plotWidth / 2) + "\" y=\"" + number(height - 8) +
         "\" text-anchor=\"middle\" fill=\"#555\">" + escape(axis.label) + " (" +
         std::to_string(entries) +
         " log entries; the first is the frame before the first "
         "logged one)</text>\n";
  svg += "</svg>\n";
  return svg;
}

}  // namespace host

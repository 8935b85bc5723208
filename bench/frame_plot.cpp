#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "frame_solves.h"

namespace orvan::bench {
namespace {

constexpr double kWidth = 680, kHeight = 400, kLeft = 70, kBottom = 50, kTop = 30, kRight = 190;
constexpr double kMaxCadence = 300;

}  // namespace

void WriteFrameRmsSvg(const std::string& path, const std::vector<FrameRmsPoint>& points) {
  double top = 0.1;
  for (const FrameRmsPoint& p : points) top = std::max(top, p.rms * 1.1);
  const auto x = [](double cadence) {
    return kLeft + cadence / kMaxCadence * (kWidth - kLeft - kRight);
  };
  const auto y = [top](double rms) {
    return kHeight - kBottom - rms / top * (kHeight - kBottom - kTop);
  };
  std::ofstream svg(path);
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << kLeft << "\" y=\"18\">frame centres about the reference (RMS, \") "
      << "against the time between frames</text>\n";
  char text[512];
  for (double v : {0.0, top / 2, top}) {
    std::snprintf(text, sizeof text, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%.2f</text>\n",
                  kLeft - 6, y(v) + 4, v);
    svg << text;
  }
  for (double c : {60.0, 120.0, 300.0}) {
    std::snprintf(text, sizeof text, "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">%g s</text>\n",
                  x(c), kHeight - kBottom + 18, c);
    svg << text;
  }
  const char* colours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728"};
  int series = 0;
  for (bool rates : {false, true})
    for (double threshold : {0.5, 2.0}) {
      std::string line;
      for (const FrameRmsPoint& p : points)
        if (p.rates == rates && p.threshold == threshold) {
          std::snprintf(text, sizeof text, "%g,%g ", x(p.cadence_s), y(p.rms));
          line += text;
        }
      std::snprintf(
          text, sizeof text,
          "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"2\" points=\"%s\"/>\n"
          "<line x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" stroke=\"%s\" stroke-width=\"2\"/>\n"
          "<text x=\"%g\" y=\"%g\">%s, threshold %g\"</text>\n",
          colours[series], line.c_str(), kWidth - kRight + 10, kTop + 20.0 * series - 4,
          kWidth - kRight + 30, kTop + 20.0 * series - 4, colours[series], kWidth - kRight + 36,
          kTop + 20.0 * series, rates ? "rates" : "pulses", threshold);
      svg << text;
      ++series;
    }
  svg << "</svg>\n";
}

}  // namespace orvan::bench

#pragma once

// The model chain's picture: holding RMS against the number of points fitted.

#include <string>
#include <vector>

namespace orvan::bench {

struct ChainPoint {
  int points;
  double noise;   // arc-seconds
  bool rates;     // rates plus pulses; else pulses alone
  bool measured;  // the air measured; else told wrong
  double rms;     // holding RMS on the sky, arc-seconds
};

void WriteChainPlot(const std::string& path, const std::vector<ChainPoint>& points,
                    double threshold);

}  // namespace orvan::bench

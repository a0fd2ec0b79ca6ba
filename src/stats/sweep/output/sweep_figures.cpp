#include "stats/sweep/output/sweep_figures.h"

#include <cmath>

namespace stats {

std::vector<Spread> SpreadsOf(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                              double SweepSample::*net) {
  std::vector<Spread> spreads;
  for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
    const std::vector<double> nets = NetsOf(measure, pass, kernel, net);
    spreads.push_back(nets.empty() ? Spread{HUGE_VAL, 0, 0} : DescribeSpread(nets));
  }
  return spreads;
}

const Prediction* PredictionOf(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                               size_t kernel) {
  if (!sweep.predicted || !IsBlock(measure.measure)) return nullptr;
  return sweep.model.For(measure.measure, pass, sweep.kernels[kernel].name);
}

}  // namespace stats

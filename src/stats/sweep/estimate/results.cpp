#include "stats/sweep/estimate/results.h"

#include <algorithm>

#include "stats/math/placement_uncertainty.h"
#include "stats/math/statistics.h"

namespace stats {

Spread DescribeSpread(const std::vector<double>& values) {
  return {Quantile(values, 0.5), Quantile(values, 0.25), Quantile(values, 0.75)};
}

std::vector<double> NetsOf(const MeasureResult& measure, Pass pass, size_t kernel,
                           double SweepSample::*net) {
  std::vector<double> nets;
  for (const SweepSample& sample : measure.samples) {
    if (sample.pass == pass && sample.kernel == kernel) nets.push_back(sample.*net);
  }
  return nets;
}

double LayoutEffectShare(const MeasureResult& measure, Pass pass, size_t kernel) {
  return RepeatedShareAway(NetsOf(measure, pass, kernel, &SweepSample::first_half_cycles),
                           NetsOf(measure, pass, kernel, &SweepSample::second_half_cycles),
                           LAYOUT_AWAY_CYCLES);
}

const FigurePrecision* FigureOf(const MeasureResult& measure, Pass pass, size_t kernel) {
  for (const FigurePrecision& figure : measure.figures) {
    if (figure.pass == pass && figure.kernel == kernel) return &figure;
  }
  return nullptr;
}

bool LayoutSensitive(const MeasureResult& measure, Pass pass, size_t kernel) {
  const FigurePrecision* figure = FigureOf(measure, pass, kernel);
  return figure != nullptr && figure->layout_sensitive;
}

const MeasureResult* Find(const SweepResult& result, SweepMeasure measure) {
  for (const MeasureResult& measured : result.measures) {
    if (measured.measure == measure) return &measured;
  }
  return nullptr;
}

void MergeClocks(SweepResult& result, bool first, double slowest_ghz, double fastest_ghz,
                 double median_ghz) {
  result.slowest_clock_ghz = first ? slowest_ghz : std::min(result.slowest_clock_ghz, slowest_ghz);
  result.fastest_clock_ghz = std::max(result.fastest_clock_ghz, fastest_ghz);
  if (first) result.median_clock_ghz = median_ghz;
}

}  // namespace stats

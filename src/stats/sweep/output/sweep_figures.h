// The questions every form of the sweep's output asks of its figures.
#pragma once

#include <vector>

#include "stats/sweep/estimate/results.h"

namespace stats {

// Per kernel of the sweep, its spread over the placements in one pass; a kernel the measure left
// out ranks last.
std::vector<Spread> SpreadsOf(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                              double SweepSample::*net = &SweepSample::net_cycles);

// The model's prediction for a kernel's block measure, or null when none was asked for.
const Prediction* PredictionOf(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                               size_t kernel);

}  // namespace stats

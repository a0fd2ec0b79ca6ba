// The noise floor of a measure, as the table says it.
#pragma once

#include <string>

#include "stats/sweep/estimate/results.h"

namespace stats {

// A noise floor above this many cycles makes the sweep say the host is too noisy.
constexpr double NOISY_HOST_CYCLES = 0.25;

// A measure's "noise:" line, and the plain words that follow it on a noisy host.
std::string NoiseLines(const SweepResult& sweep, const MeasureResult& measure);

}  // namespace stats

// The table absbench-stats --sweep prints: a header, the noise lines, and per pass the kernels
// ranked.
#pragma once

#include <string>

#include "stats/host/machine_facts.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

// A figure this many cycles from its prediction, and this many of its own uncertainties, disagrees
// with it.
constexpr double DISAGREEMENT_CYCLES = 0.25;
constexpr double DISAGREEMENT_UNCERTAINTIES = 3;
std::string FormatSweepTable(const SweepResult& sweep, const MachineFacts& machine);

}  // namespace stats

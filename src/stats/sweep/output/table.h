// The table absbench-stats --sweep prints: a header, the noise lines, and per pass the kernels
// ranked.
#pragma once

#include <string>

#include "stats/machine_facts.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

// A share of placements above this, off in both halves alike, makes a kernel "layout-sensitive".
constexpr double LAYOUT_SENSITIVE_SHARE = 0.10;
// A figure this many cycles from its prediction, and this many of its own floors, disagrees with
// it.
constexpr double DISAGREEMENT_CYCLES = 0.25;
constexpr double DISAGREEMENT_FLOORS = 3;
std::string FormatSweepTable(const SweepResult& sweep, const MachineFacts& machine);

}  // namespace stats

// What absbench-stats --sweep prints and writes.
#pragma once

#include <string>

#include "stats/figures.h"
#include "stats/machine_facts.h"
#include "stats/sweep/measurement.h"

namespace stats {

// A share of placements above this, off in both halves alike, makes a kernel "layout-sensitive".
constexpr double LAYOUT_SENSITIVE_SHARE = 0.10;
// A measure this many cycles from its prediction, and this many noise floors, disagrees with it.
constexpr double DISAGREEMENT_CYCLES = 0.25;
constexpr double DISAGREEMENT_FLOORS = 3;
// A noise floor above this many cycles makes the sweep say the host is too noisy.
constexpr double NOISY_HOST_CYCLES = 0.25;

// A measure's "noise:" line, and the plain words that follow it on a noisy host.
std::string NoiseLines(const SweepResult& sweep, const MeasureResult& measure);

std::string FormatSweepTable(const SweepResult& sweep, const MachineFacts& machine);
std::string FormatSweepCsv(const SweepResult& sweep);

// This build's fixed-layout medians (from repeated runs) beside the placement medians, with each
// net more than half a cycle away marked as an effect of where the code happens to land.
std::string FormatFixedAgainstPlacement(const RunSet& runs, const Figures& figures,
                                        const SweepResult& sweep);

}  // namespace stats

// What absbench-stats --sweep prints and writes.
#pragma once

#include <string>

#include "stats/figures.h"
#include "stats/machine_facts.h"
#include "stats/sweep.h"

namespace stats {

// A share of placements above this makes a kernel "layout-sensitive".
constexpr double LAYOUT_SENSITIVE_SHARE = 0.10;

std::string FormatSweepTable(const SweepResult& sweep, const MachineFacts& machine);
std::string FormatSweepCsv(const SweepResult& sweep);
std::string FormatSweepSvg(const SweepResult& sweep, const MachineFacts& machine);

// This build's fixed-layout medians (from repeated runs) beside the placement medians, with each
// net more than half a cycle away marked as an effect of where the code happens to land.
std::string FormatFixedAgainstPlacement(const RunSet& runs, const Figures& figures,
                                        const SweepResult& sweep);

}  // namespace stats

// This build's fixed layout, from repeated runs of the benchmark, against the placements.
#pragma once

#include <string>
#include <vector>

#include "stats/runs/figures.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

// Whether the benchmark's fixed layout differs from the placements for a reason: its runs' median
// more than half a cycle from the placements' median, and more than two standard errors of that
// median, so that the runs agree with each other more closely than they differ from it.
struct FixedLayoutVerdict {
  enum Kind { SAME, EFFECT_OF_PLACEMENT, CANNOT_TELL } kind = SAME;
  int runs_needed = 0;  // for CANNOT_TELL: about how many runs would tell
};
FixedLayoutVerdict JudgeFixedLayout(const std::vector<double>& runs_cycles, double placed_cycles);

// This build's fixed-layout medians (from repeated runs) beside the placement medians, each judged.
std::string FormatFixedAgainstPlacement(const RunSet& runs, const Figures& figures,
                                        const SweepResult& sweep);

}  // namespace stats

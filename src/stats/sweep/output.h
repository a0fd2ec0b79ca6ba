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

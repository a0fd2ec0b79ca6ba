// The sweep in a measuring process of its own. A user's kernel is an experiment, and experiments
// go wrong in more ways than any check can list (a store into its caller's frame, a system call,
// a floating-point mode changed), so none of its bytes ever run in the process that reports. The
// child runs behind a system-call filter, names each cell before it runs it and reports each
// measure as it ends. When it dies, goes silent, or finds the floating-point control state changed
// after a cell, that cell (or the one before it) runs again alone; a kernel whose cell fails again
// is left out with the reason, and the measures still to come are made again without it.
#pragma once

#include <functional>
#include <vector>

#include "stats/sweep/estimate/procedure.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

// A measuring process that says nothing for this long is taken for hung.
constexpr int MEASURING_QUIET_LIMIT_MS = 5000;

// What the measuring process runs: the sweep itself.
using MeasureSweep = std::function<SweepResult(const std::vector<Procedure>&, const SweepSettings&,
                                               const SweepHooks&)>;

// The sweep of `kernels`, all measured in child processes; SweepResult::left_out names every
// kernel that took its measuring process down, and how.
SweepResult RunSweepInMeasuringProcess(std::vector<Procedure> kernels,
                                       const SweepSettings& settings,
                                       const std::function<void(size_t, size_t, bool)>& progress,
                                       const MeasureSweep& measure_sweep);

}  // namespace stats

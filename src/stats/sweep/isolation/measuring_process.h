// The sweep in a measuring process of its own. A user's kernel is an experiment, and experiments
// go wrong in more ways than any check can list (a store into its caller's frame, a system call,
// a floating-point mode changed), so none of its bytes ever run in the process that reports. The
// child runs behind a system-call filter, names each cell before it runs it and reports each
// measure as it ends. When it dies, goes silent, runs past its deadline, sends a report that
// cannot be read, or finds the floating-point control state changed after a cell, the cells
// suspected run again alone (blame.h); a kernel whose cell fails again is left out with the
// reason, and the measures still to come are made again without it, in the time left. When no
// cell fails again, every kernel of the user's is left out so, and the table's are measured.
#pragma once

#include <functional>
#include <vector>

#include "stats/sweep/estimate/procedure.h"
#include "stats/sweep/estimate/results.h"
#include "stats/system/child_roles.h"

namespace stats {

// A measuring process that says nothing for this long is taken for hung.
constexpr int MEASURING_QUIET_LIMIT_MS = 5000;

// What the measuring process runs: the sweep itself.
using MeasureSweep = std::function<SweepResult(const std::vector<Procedure>&, const SweepSettings&,
                                               const SweepHooks&)>;

// A measuring process's role, named `name`, with the sweep it runs; the companion's own is
// MEASURING_ROLE, with the real sweep. Its input is the kernels and the settings; its page, the
// beacon.
constexpr const char* MEASURING_ROLE = "measuring";
Role MeasuringRole(const std::string& name, MeasureSweep measure_sweep);

// The sweep of `kernels`, all measured in child processes playing `role`; SweepResult::left_out
// names every kernel that took its measuring process down, or was left out with the user's others
// when none was confirmed, and how. Every ms is made here from the
// cycles, at the median clock of the first measure that ended.
SweepResult RunSweepInMeasuringProcess(std::vector<Procedure> kernels,
                                       const SweepSettings& settings,
                                       const std::function<void(size_t, size_t, bool)>& progress,
                                       const std::string& role = MEASURING_ROLE);

}  // namespace stats

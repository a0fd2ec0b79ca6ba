// absbench-stats --sweep: every kernel timed in-process at many code placements, so that its
// figure is what it costs rather than an accident of where one build put it.
#pragma once

#include <functional>
#include <vector>

#include "stats/sweep/procedures.h"
#include "stats/sweep/results.h"

namespace stats {

// Times every kernel and the empty procedure at every placement, both passes, for each measure in
// turn, in rounds shuffled with the seed; `progress` gets the visits done and the total expected,
// and whether the rounds are waiting for quieter ones.
// A kernel with an inline refusal is left out of latency and throughput, with the reason.
// `entering` is told which kernel (an index into `kernels`, or -1 for the empty procedure) and
// placement of which measure runs next, before its code runs.
SweepResult RunSweep(
    const std::vector<Procedure>& kernels, const SweepSettings& settings,
    const std::function<void(size_t, size_t, bool)>& progress,
    const std::function<void(SweepMeasure, int kernel, size_t placement)>& entering = {});

}  // namespace stats

// absbench-stats --sweep: every kernel timed at many code placements, so that its figure is what
// it costs rather than an accident of where one build put it. This runs in the measuring process.
#pragma once

#include <vector>

#include "stats/sweep/estimate/procedure.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

// Times every kernel and the empty procedure at every placement, both passes, for each measure in
// turn, in rounds shuffled with the seed; `hooks.progress` gets the visits done and the total
// expected. A kernel with an inline refusal is left out of latency and throughput, with the
// reason.
SweepResult RunSweep(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                     const SweepHooks& hooks);

}  // namespace stats

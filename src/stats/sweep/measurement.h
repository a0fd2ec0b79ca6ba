// absbench-stats --sweep: every kernel timed in-process at many code placements, so that its
// figure is what it costs rather than an accident of where one build put it.
#pragma once

#include <functional>
#include <vector>

#include "stats/sweep/procedures.h"
#include "stats/sweep/results.h"

namespace stats {

// What the sweep tells the process it runs in as it goes.
struct SweepWatch {
  std::function<void(size_t, size_t)> progress;  // the visits done and the total expected
  // Which kernel (an index into `kernels`, or -1 for the empty procedure) and placement of which
  // measure runs next, before its code runs.
  std::function<void(SweepMeasure, int kernel, size_t placement)> entering;
  // Once what needs the system before any measure is done, just before the first kernel byte.
  std::function<void()> prepared;
  // Each measure as it ends (an index into the result's measures), with the sweep so far.
  std::function<void(const SweepResult&, size_t measure)> finished;
};

// Times every kernel and the empty procedure at every placement, both passes, for each measure in
// turn, in rounds shuffled with the seed. A kernel with an inline refusal is left out of latency
// and throughput, with the reason.
SweepResult RunSweep(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                     const SweepWatch& watch);

}  // namespace stats

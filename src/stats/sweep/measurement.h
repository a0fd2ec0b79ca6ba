// absbench-stats --sweep: every kernel timed in-process at many code placements, so that its
// figure is what it costs rather than an accident of where one build put it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stats/sweep/placement.h"
#include "stats/sweep/procedures.h"
#include "stats/sweep/rounds.h"

namespace stats {

// Core cycles per nanosecond, from the fastest of `tries` timings of a chain of 2e6 dependent
// one-cycle additions (under a millisecond each).
double EstimateClockGhz(int tries = 5);

struct SweepSettings {
  uint32_t calls = 0;  // per measurement; 0: from a short calibration against `seconds`
  uint32_t rounds = 10;
  double seconds = 14;  // what the measurements may take in all, warm-ups included
  uint64_t seed = 0;
  int cpu = -1;  // where the measuring thread is pinned
};

struct SweepResult {
  std::vector<Procedure> kernels;
  std::vector<Placement> grid;
  SweepSettings settings;  // with the calls that were used
  double clock_ghz = 0;    // the fastest round's estimate: the clock the core really ran at
  double slowest_clock_ghz = 0;
  double noise_floor_cycles = 0;
  std::vector<SweepSample> samples;
  bool stopped = false;  // by Ctrl-C or SIGTERM
  std::string error;     // empty when the sweep ran
};

// Times every kernel and the empty procedure at every placement, both passes, in rounds shuffled
// with the seed; `progress` gets the measurements done and the total.
SweepResult RunSweep(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                     const std::function<void(size_t, size_t)>& progress);

// A distribution over placements: its median and quartiles.
struct Spread {
  double median = 0, first_quartile = 0, third_quartile = 0;
};
Spread DescribeSpread(const std::vector<double>& values);

// ms per 1e9 calls in core cycles per call.
inline double Cycles(double net_ms, double clock_ghz) { return net_ms * clock_ghz / 1000; }
// Half a core cycle, in ms per 1e9 calls.
inline double HalfCycleMs(double clock_ghz) { return 500 / clock_ghz; }

// The nets of one kernel in one pass, in grid order: from all rounds, or from one half of them.
std::vector<double> NetsOf(const SweepResult& result, Pass pass, size_t kernel,
                           double SweepSample::*net = &SweepSample::net_ms);

// The share of a kernel's placements more than half a cycle from its median in both halves alike.
double LayoutEffectShare(const SweepResult& result, Pass pass, size_t kernel);

}  // namespace stats

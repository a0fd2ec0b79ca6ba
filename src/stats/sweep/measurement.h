// absbench-stats --sweep: every kernel timed in-process at many code placements, so that its
// figure is what it costs rather than an accident of where one build put it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stats/options.h"
#include "stats/sweep/placement.h"
#include "stats/sweep/procedures.h"
#include "stats/sweep/rounds.h"

namespace stats {

// Core cycles per nanosecond, from the fastest of `tries` timings of a chain of 2e6 dependent
// one-cycle additions (under a millisecond each).
double EstimateClockGhz(int tries = 5);

struct SweepSettings {
  std::vector<SweepMeasure> measures = {SweepMeasure::CALL};
  uint32_t calls = 0;  // per measurement; 0: from a short calibration against `seconds`
  uint32_t rounds = 10;
  double seconds = 14;  // what each measure's measurements may take, warm-ups included
  uint64_t seed = 0;
  int cpu = -1;  // where the measuring thread is pinned
};

// One measure's nets per kernel, pass and placement.
struct MeasureResult {
  SweepMeasure measure = SweepMeasure::CALL;
  std::vector<Placement> grid;
  uint32_t calls = 0;           // per measurement: calls of the loop, or iterations of a block
  uint32_t copies = 1;          // per call: 1, or a block's inline copies; nets are per copy
  std::vector<size_t> kernels;  // those measured, as indices into SweepResult::kernels
  std::vector<std::string> refusals;  // those not measured here, each with the reason
  std::vector<SweepSample> samples;   // each `kernel` an index into SweepResult::kernels
  double noise_floor_cycles = 0;
};

struct SweepResult {
  std::vector<Procedure> kernels;
  SweepSettings settings;
  double clock_ghz = 0;  // the fastest round's estimate: the clock the core really ran at
  double slowest_clock_ghz = 0;
  std::vector<MeasureResult> measures;  // in the order asked for
  bool stopped = false;                 // by Ctrl-C or SIGTERM
  std::string error;                    // empty when the sweep ran
};

// Times every kernel and the empty procedure at every placement, both passes, for each measure in
// turn, in rounds shuffled with the seed; `progress` gets the measurements done and the total. A
// kernel with an inline refusal is left out of latency and throughput, with the reason.
SweepResult RunSweep(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                     const std::function<void(size_t, size_t)>& progress);

// A distribution over placements: its median and quartiles.
struct Spread {
  double median = 0, first_quartile = 0, third_quartile = 0;
};
Spread DescribeSpread(const std::vector<double>& values);

// ms per 1e9 calls (or copies) in core cycles per call (or copy).
inline double Cycles(double net_ms, double clock_ghz) { return net_ms * clock_ghz / 1000; }
// Half a core cycle, in ms per 1e9 calls.
inline double HalfCycleMs(double clock_ghz) { return 500 / clock_ghz; }

// The nets of one kernel in one pass, in grid order: from all rounds, or from one half of them;
// empty when the measure left the kernel out.
std::vector<double> NetsOf(const MeasureResult& measure, Pass pass, size_t kernel,
                           double SweepSample::*net = &SweepSample::net_ms);

// The share of a kernel's placements more than half a cycle from its median in both halves alike.
double LayoutEffectShare(const MeasureResult& measure, double clock_ghz, Pass pass, size_t kernel);

// The measure asked for, or null.
const MeasureResult* Find(const SweepResult& result, SweepMeasure measure);

}  // namespace stats

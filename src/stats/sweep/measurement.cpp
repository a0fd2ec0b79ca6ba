#include "stats/sweep/measurement.h"

#include <time.h>

#include <algorithm>
#include <limits>

#include "stats/child_process.h"
#include "stats/statistics.h"

extern "C" uint64_t DependentAdds(uint64_t rounds);

namespace stats {

namespace {

uint64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

double EstimateClockGhz(int tries) {
  constexpr uint64_t ROUNDS = 20000;  // of 100 additions
  uint64_t best_ns = UINT64_MAX;
  DependentAdds(ROUNDS);
  for (int attempt = 0; attempt < tries; ++attempt) {
    const uint64_t start = NowNs();
    DependentAdds(ROUNDS);
    best_ns = std::min(best_ns, NowNs() - start);
  }
  return static_cast<double>(ROUNDS * 100) / static_cast<double>(best_ns);
}

namespace {

// Times `calls` calls of a placed loop after its warm-up.
double TimeLoop(PlacedLoop* loop, int32_t operand, uint32_t calls) {
  loop(operand, WarmUpCalls(calls));
  const uint64_t start = NowNs();
  loop(operand, calls);
  return static_cast<double>(NowNs() - start);
}

// ns per call averaged over the procedures at their first placement, each the fastest of three.
double CalibrateNsPerCall(const PlacedCode& placed, size_t procedures) {
  constexpr uint32_t CALLS = 20000;
  double total_ns = 0;
  for (size_t procedure = 0; procedure < procedures; ++procedure) {
    double best_ns = std::numeric_limits<double>::infinity();
    for (int attempt = 0; attempt < 3; ++attempt) {
      best_ns =
          std::min(best_ns, TimeLoop(placed.loop(procedure, 0), PASS_OPERANDS[NEGATIVE], CALLS));
    }
    total_ns += best_ns;
  }
  return total_ns / static_cast<double>(procedures * CALLS);
}

}  // namespace

SweepResult RunSweep(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                     const std::function<void(size_t, size_t)>& progress) {
  SweepResult result;
  result.kernels = kernels;
  result.grid = DefaultGrid();
  result.settings = settings;
  std::vector<Procedure> procedures = kernels;
  procedures.push_back(EmptyProcedureCopy());

  PlacedCode placed(procedures, result.grid);
  if (!placed.ok()) {
    result.error = placed.error();
    return result;
  }
  placed.Write(procedures);
  if (!placed.MakeExecutable()) {
    result.error = placed.error();
    return result;
  }

  RoundsPlan plan;
  plan.procedures = procedures.size();
  plan.placements = result.grid.size();
  plan.rounds = settings.rounds;
  plan.seed = settings.seed;
  plan.calls = settings.calls != 0
                   ? settings.calls
                   : CallsForBudget(CalibrateNsPerCall(placed, procedures.size()),
                                    CellCount(plan) * plan.rounds, settings.seconds);
  result.settings.calls = plan.calls;

  Instruments machine;
  machine.time_ns = [&](const Cell& cell, uint32_t calls) {
    return TimeLoop(placed.loop(cell.procedure, cell.placement), PASS_OPERANDS[cell.pass], calls);
  };
  machine.clock_ghz = [] { return EstimateClockGhz(); };
  machine.stop_requested = [] { return StopSignal() != 0; };
  machine.progress = progress;
  const RoundsRecord record = MeasureInRounds(plan, machine);
  if (record.stopped) {
    result.stopped = true;
    return result;
  }
  const auto [slowest, fastest] =
      std::minmax_element(record.clock_ghz.begin(), record.clock_ghz.end());
  result.clock_ghz = *fastest;
  result.slowest_clock_ghz = *slowest;
  result.samples = NetsFromMinima(plan, record);
  result.noise_floor_cycles = NoiseFloorCycles(result.samples, result.clock_ghz);
  return result;
}

Spread DescribeSpread(const std::vector<double>& values) {
  return {Quantile(values, 0.5), Quantile(values, 0.25), Quantile(values, 0.75)};
}

std::vector<double> NetsOf(const SweepResult& result, Pass pass, size_t kernel,
                           double SweepSample::*net) {
  std::vector<double> nets;
  for (const SweepSample& sample : result.samples) {
    if (sample.pass == pass && sample.kernel == kernel) nets.push_back(sample.*net);
  }
  return nets;
}

double LayoutEffectShare(const SweepResult& result, Pass pass, size_t kernel) {
  return RepeatedShareAway(NetsOf(result, pass, kernel, &SweepSample::first_half_ms),
                           NetsOf(result, pass, kernel, &SweepSample::second_half_ms),
                           HalfCycleMs(result.clock_ghz));
}

}  // namespace stats

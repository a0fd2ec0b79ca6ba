#include "stats/sweep/measurement.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include "stats/sweep/estimate/calibration.h"
#include "stats/sweep/estimate/nets.h"
#include "stats/sweep/placed/blocks.h"
#include "stats/sweep/placed/checked_chunks.h"
#include "stats/sweep/placed/clock.h"
#include "stats/sweep/placed/loop_check.h"
#include "stats/sweep/placed/measure_code.h"
#include "stats/sweep/placed/procedures.h"

namespace stats {

namespace {

// Enough rounds for each half to have a median of its own.
constexpr uint32_t LEAST_ROUNDS = 8;
// The call loops' rounds span at least two seconds, so that a state of the machine that shifts
// some loops against the empty one for a second or so is seen to come or go; the blocks, which
// subtract within one pair, need less.
constexpr double LEAST_CALL_SECONDS = 2.0;
constexpr double LEAST_BLOCK_SECONDS = 0.25;

// The kernels a measure times, as indices into `kernels`; the others are refused with the reason.
std::vector<size_t> KernelsFor(SweepMeasure measure, const std::vector<Procedure>& kernels,
                               std::vector<std::string>& refusals) {
  const std::vector<size_t> measured = KernelsMeasured(measure, kernels).kernels;
  for (size_t kernel = 0; kernel < kernels.size(); ++kernel) {
    if (std::find(measured.begin(), measured.end(), kernel) == measured.end())
      refusals.push_back(kernels[kernel].name + ": " + kernels[kernel].inline_refusal);
  }
  return measured;
}

RoundsPlan PlanFor(const MeasureResult& measured, const SweepSettings& settings) {
  RoundsPlan plan;
  plan.procedures = measured.kernels.size() + 1;
  plan.placements = measured.grid.size();
  plan.rule = !IsBlock(measured.measure)                  ? NetRule::AGAINST_EMPTY
              : measured.measure == SweepMeasure::LATENCY ? NetRule::PER_COPY_AGAINST_EMPTY
                                                          : NetRule::PER_COPY;
  plan.copies = measured.copies;
  plan.pairs = PAIRS_PER_VISIT;
  plan.chain_adds = CHAIN_ADDS;
  plan.seed = settings.seed;
  // A busy other thread on the core slows calls, taken jumps and chains too, not only throughput.
  plan.witnessed = true;
  if (settings.rounds != 0) {
    plan.least_rounds = plan.most_rounds = settings.rounds;
    plan.precision_cycles = 0;
  } else {
    const auto held = static_cast<uint32_t>(
        std::min<size_t>(MOST_VISITS_PER_MEASURE / CellCount(plan), UINT32_MAX));
    plan.rounds_held = std::max<uint32_t>(2, held & ~1u);
    plan.least_rounds = LEAST_ROUNDS;
    plan.least_seconds = IsBlock(measured.measure) ? LEAST_BLOCK_SECONDS : LEAST_CALL_SECONDS;
    plan.precision_cycles = settings.precision_cycles;
  }
  return plan;
}

}  // namespace

SweepResult RunSweep(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                     const SweepHooks& hooks) {
  using Clock = std::chrono::steady_clock;
  // Time stopped by Ctrl-Z counts toward no time. A kernel can write the page that tells it, so
  // never more than the time itself is taken off, and nothing is added.
  auto stopped = [&] { return hooks.stopped_seconds ? hooks.stopped_seconds() : 0.0; };
  struct Moment {
    Clock::time_point at;
    double stopped;
  };
  auto now = [&] { return Moment{Clock::now(), stopped()}; };
  auto seconds_since = [&](const Moment& then) {
    const double seconds =
        std::max(0.0, std::chrono::duration<double>(Clock::now() - then.at).count());
    return seconds - std::clamp(stopped() - then.stopped, 0.0, seconds);
  };
  const Moment start = now();
  SweepResult result;
  result.kernels = kernels;
  result.settings = settings;
  std::vector<size_t> expected_visits;
  for (SweepMeasure measure : settings.measures) {
    MeasureResult& measured = result.measures.emplace_back();
    measured.measure = measure;
    measured.kernels = KernelsFor(measure, kernels, measured.refusals);
    measured.grid = GridFor(measure);
    measured.copies = IsBlock(measure) ? COPIES_PER_BLOCK : 1;
    const RoundsPlan plan = PlanFor(measured, settings);
    expected_visits.push_back(CellCount(plan) * plan.least_rounds);
  }
  const double cap = SweepCapSeconds(settings);
  const double all_measures =
      static_cast<double>(settings.measures_before + settings.measures.size());
  // The time of the measures done in an earlier measuring process counts too.
  auto spent = [&] { return settings.seconds_before + seconds_since(start); };
  const double ticks_per_ns = TicksPerNs();
  // Every measure's code is placed before the room closes: after it, no memory is mapped.
  SeedLoopCheck(settings.seed);
  std::vector<std::unique_ptr<MeasureCode>> codes;
  for (const MeasureResult& measured : result.measures) {
    std::vector<Procedure> procedures;
    for (size_t kernel : measured.kernels) procedures.push_back(kernels[kernel]);
    procedures.push_back(EmptyProcedureCopy());
    codes.push_back(std::make_unique<MeasureCode>(measured.measure, procedures));
    if (!codes.back()->ok()) {
      result.error = codes.back()->error();
      return result;
    }
  }
  if (hooks.prepared) hooks.prepared();

  size_t done_before = 0;
  for (size_t at = 0; at < result.measures.size(); ++at) {
    MeasureResult& measured = result.measures[at];
    MeasureCode& code = *codes[at];
    RoundsPlan plan = PlanFor(measured, settings);
    if (hooks.entering) {
      code.entering = [&, plan](const Cell& cell) {
        const size_t procedure = plan.rule == NetRule::AGAINST_EMPTY ? cell.code : cell.code / 2;
        const int kernel = procedure < measured.kernels.size()
                               ? static_cast<int>(measured.kernels[procedure])
                               : -1;
        hooks.entering(measured.measure, kernel, cell.placement);
        if (hooks.copies_entered) hooks.copies_entered(code.Copies(cell));
      };
    }
    Moment measure_start;
    Instruments machine;
    CheckedChunks chunks(code, plan.procedures, IsBlock(measured.measure));
    machine.code_ticks = [&](const Cell& cell, uint32_t calls) {
      const double ticks = chunks.Ticks(cell, calls);
      if (!chunks.failure().empty() && hooks.broke) hooks.broke(chunks.failure());
      if (hooks.chunk_ended) hooks.chunk_ended();
      return ticks;
    };
    machine.chain_ticks = [](uint32_t adds) { return ChainTicks(adds); };
    machine.witness_ticks = [](uint32_t steps) { return WitnessTicks(steps); };
    machine.ticks_per_ns = ticks_per_ns;
    machine.elapsed_seconds = [&] { return seconds_since(measure_start); };
    machine.stop_requested = hooks.stop_requested;
    machine.stopped_seconds = stopped;
    size_t still_to_come = 0;
    for (size_t later = at + 1; later < expected_visits.size(); ++later) {
      still_to_come += expected_visits[later];
    }
    machine.progress = [&](size_t done, size_t total, bool waiting) {
      if (hooks.progress) {
        hooks.progress(done_before + done, done_before + total + still_to_come, waiting);
      }
    };
    const uint32_t calibration_calls = measured.copies == 1 ? 2000 : 100;
    plan.calls =
        settings.calls != 0
            ? settings.calls
            : CallsPerChunk(CalibrateNsPerCall(machine, plan, calibration_calls), CHUNK_NS);
    // Each measure may use its share of the time, and what the measures before it left over.
    measure_start = now();
    const double share = static_cast<double>(settings.measures_before + at + 1) / all_measures;
    plan.seconds = cap > 0 ? cap * share - spent() : HUGE_VAL;
    plan.busy_seconds = settings.seconds > 0 || settings.rounds != 0
                            ? 0
                            : BUSY_HOST_ROUNDS_SECONDS * share - spent();
    plan.chain_overhead_cycles = ChainOverheadCycles(machine, CHAIN_ADDS);
    const RoundsRecord record = MeasureInRounds(plan, machine);
    if (record.end == RoundsRecord::STOPPED) {
      result.stopped = true;
      return result;
    }
    done_before += CellCount(plan) * record.rounds.size();
    measured.samples = NetsFromVisits(plan, record, measured.kernels);
    measured.noise_floor_cycles = record.noise_floor_cycles;
    measured.figures =
        FiguresOf(measured.samples, settings.precision_cycles, TooFewRoundsFree(record));
    measured.shared_rounds =
        static_cast<uint32_t>(std::count(record.shared.begin(), record.shared.end(), true));
    measured.waited = record.waited;
    measured.chunk_length = plan.calls;
    measured.pairs = plan.pairs;
    measured.rounds = static_cast<uint32_t>(record.rounds.size());
    measured.end = record.end;
    measured.slowest_clock_ghz = record.slowest_clock_ghz;
    measured.fastest_clock_ghz = record.fastest_clock_ghz;
    MergeClocks(result, at == 0, record.slowest_clock_ghz, record.fastest_clock_ghz,
                record.median_clock_ghz);
    if (hooks.finished) hooks.finished(result, at);
  }
  return result;
}

}  // namespace stats

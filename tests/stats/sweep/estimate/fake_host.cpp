#include "tests/stats/sweep/estimate/fake_host.h"

#include <algorithm>
#include <cmath>

#include "stats/math/statistics.h"
#include "stats/sweep/estimate/figure_precision.h"
#include "stats/sweep/estimate/nets.h"

namespace stats_test {

// Ticks for `cycles` of work at the moving clock.
double FakeHost::Run(double cycles, bool slowed_by_spells, uint32_t calls) {
  if (now_ns >= spell_end_ns) {
    in_spell = Uniform(0, 1) < spell_share;
    spell_end_ns = now_ns + Uniform(2e6, 8e6);
  }
  if (slowed_by_spells && in_spell) cycles += calls;
  double ns = 0;
  while (cycles > 0) {
    if (now_ns >= span_end_ns) {
      span_end_ns = now_ns + Uniform(20e3, 200e3);
      if (moving_clock) clock_ghz = Uniform(2.8, 3.8);
    }
    const double done = std::min(cycles, (span_end_ns - now_ns) * clock_ghz);
    cycles -= done;
    ns += done / clock_ghz;
    now_ns += done / clock_ghz;
  }
  if (Uniform(0, 1) < burst_chance) {
    const double burst = Uniform(2e3, 20e3);
    ns += burst;
    now_ns += burst;
  }
  return ns * TICKS_PER_NS;
}

stats::Instruments FakeHost::Instruments() {
  stats::Instruments instruments;
  instruments.code_ticks = [this](const Cell& cell, uint32_t calls) {
    if (chunks++ % chunks_per_visit == 0) {
      if (rounds.empty() || rounds.back().size() == cells_per_round) rounds.emplace_back();
      rounds.back().push_back({cell.pass, cell.code / codes_per_procedure, cell.placement});
    }
    double per_call = cycles_per_call(cell);
    if (InState() && !state_spares(cell.code / codes_per_procedure)) {
      per_call -= state_shift_cycles;
    }
    double cycles = code_overhead_cycles + calls * per_call;
    if (Shared()) cycles *= shared_slowdown;
    return Run(cycles, true, calls);
  };
  instruments.chain_ticks = [this](uint32_t adds) {
    return Run(adds + chain_overhead_cycles, false, 0) * (1 + Uniform(-1, 1) * chain_jitter);
  };
  instruments.ticks_per_ns = TICKS_PER_NS;
  instruments.elapsed_seconds = [this] { return now_ns / 1e9; };
  instruments.stop_requested = [this] {
    size_t visits = 0;
    for (const auto& round : rounds) visits += round.size();
    return stop_after_visits != 0 && visits >= stop_after_visits;
  };
  instruments.witness_ticks = [this](uint32_t steps) {
    const double cycles = steps * (Shared() ? shared_slowdown : 1) + chain_overhead_cycles;
    return Run(cycles, false, 0) * (1 + Uniform(-1, 1) * chain_jitter);
  };
  instruments.progress = [this](size_t, size_t, bool waiting) { waited |= waiting; };
  return instruments;
}

stats::RoundsPlan Plan(NetRule rule) {
  stats::RoundsPlan plan;
  plan.procedures = 4;  // three kernels, then the empty procedure
  plan.placements = 16;
  plan.rule = rule;
  plan.copies = rule == NetRule::AGAINST_EMPTY ? 1 : 32;
  // Chunks of a few microseconds, as the calibration makes them.
  plan.calls = rule == NetRule::AGAINST_EMPTY ? 1000 : 40;
  plan.seconds = 1000;
  plan.least_seconds = 2 * FAKE_SECOND;  // as the sweep's call loops
  plan.seed = 7;
  return plan;
}

namespace {

// The procedure and the block size of a cell's code.
size_t ProcedureOf(const stats::RoundsPlan& plan, const Cell& cell) {
  return plan.rule == NetRule::AGAINST_EMPTY ? cell.code : cell.code / 2;
}
uint32_t CopiesOf(const stats::RoundsPlan& plan, const Cell& cell) {
  return plan.rule == NetRule::AGAINST_EMPTY ? 1 : plan.copies << (cell.code % 2);
}

// True costs that differ by placement and pass: the call loop (or a block's loop) costs 4 to 6
// cycles; per call or copy the empty procedure adds 0 or 1 (the glue's NEG in the negative
// pass), kernel k adds 0.75 k more, and kernel 1 a cycle more at every fourth placement.
double LoopCycles(const Cell& cell) { return 4 + 0.5 * static_cast<double>(cell.placement % 5); }
double OwnCycles(size_t procedure, const stats::RoundsPlan& plan, Pass pass, size_t placement) {
  const double glue = pass == NEGATIVE ? 1 : 0;
  if (procedure + 1 == plan.procedures) return glue;
  const double placed = procedure == 1 && placement % 4 == 3 ? 1 : 0;
  return glue + 0.75 * static_cast<double>(procedure) + placed;
}

}  // namespace

double TrueNet(const stats::RoundsPlan& plan, Pass pass, size_t kernel, size_t placement) {
  const double own = OwnCycles(kernel, plan, pass, placement);
  if (plan.rule == NetRule::PER_COPY) return own;
  return own - OwnCycles(plan.procedures - 1, plan, pass, placement);
}

FakeHost HostFor(const stats::RoundsPlan& plan) {
  FakeHost host;
  host.cells_per_round = stats::CellCount(plan);
  host.codes_per_procedure = plan.rule == NetRule::AGAINST_EMPTY ? 1 : 2;
  host.chunks_per_visit = static_cast<uint32_t>(host.codes_per_procedure * (plan.pairs + 1));
  host.cycles_per_call = [plan](const Cell& cell) {
    return LoopCycles(cell) + CopiesOf(plan, cell) * OwnCycles(ProcedureOf(plan, cell), plan,
                                                               cell.pass, cell.placement);
  };
  return host;
}

Outcome MeasureOnFakeHost(const stats::RoundsPlan& plan, FakeHost host) {
  stats::RoundsPlan calibrated = plan;
  const stats::Instruments instruments = host.Instruments();
  calibrated.chain_overhead_cycles = stats::ChainOverheadCycles(instruments, plan.chain_adds);
  const stats::RoundsRecord record = stats::MeasureInRounds(calibrated, instruments);
  Outcome outcome;
  outcome.end = record.end;
  outcome.measure.samples = stats::NetsFromVisits(calibrated, record, {});
  outcome.measure.noise_floor_cycles = record.noise_floor_cycles;
  outcome.measure.figures = stats::FiguresOf(outcome.measure.samples, plan.precision_cycles,
                                             stats::TooFewRoundsFree(record));
  outcome.rounds = record.rounds.size();
  outcome.waited = record.waited;
  for (const stats::SweepSample& sample : outcome.measure.samples) {
    outcome.truth.push_back(TrueNet(plan, sample.pass, sample.kernel, sample.placement));
  }
  return outcome;
}

double LargestMiss(const stats::RoundsPlan& plan, const Outcome& outcome) {
  double largest = 0;
  for (const stats::FigurePrecision& figure : outcome.measure.figures) {
    std::vector<double> truth;
    for (size_t placement = 0; placement < plan.placements; ++placement) {
      truth.push_back(TrueNet(plan, figure.pass, figure.kernel, placement));
    }
    largest = std::max(largest, std::abs(figure.median_cycles - stats::Quantile(truth, 0.5)));
  }
  return largest;
}

}  // namespace stats_test

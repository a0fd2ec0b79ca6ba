#include "stats/sweep/estimate/rounds.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "stats/math/statistics.h"
#include "stats/sweep/estimate/figure_precision.h"
#include "stats/sweep/estimate/nets.h"
#include "stats/sweep/estimate/stop_rule.h"

namespace stats {

size_t CodeCount(const RoundsPlan& plan) {
  return plan.rule == NetRule::AGAINST_EMPTY ? plan.procedures : 2 * plan.procedures;
}

size_t CellCount(const RoundsPlan& plan) { return 2 * plan.procedures * plan.placements; }

size_t CellIndex(const RoundsPlan& plan, const Cell& cell) {
  return (cell.pass * plan.procedures + cell.code) * plan.placements + cell.placement;
}

size_t CodeOf(const RoundsPlan& plan, size_t procedure, bool larger) {
  return plan.rule == NetRule::AGAINST_EMPTY ? procedure : 2 * procedure + (larger ? 1 : 0);
}

double ChainOverheadCycles(const Instruments& instruments, uint32_t adds, int pairs) {
  std::vector<double> ratios;
  instruments.chain_ticks(adds);
  for (int pair = 0; pair < pairs; ++pair) {
    const double single = instruments.chain_ticks(adds);
    ratios.push_back(instruments.chain_ticks(2 * adds) / single);
  }
  // (2A + c) / (A + c) = q gives c = A (2 - q) / (q - 1).
  const double q = Quantile(ratios, 0.5);
  if (q <= 1) return 0;
  return std::clamp(adds * (2 - q) / (q - 1), 0.0, adds / 10.0);
}

namespace {

// A round is shared when more than this share of its visits saw the witness slowed.
constexpr double SHARED_VISIT_SHARE = 0.1;
// About a microsecond of the witness, a multiple of 100.
constexpr uint32_t WITNESS_STEPS = 3000;

std::vector<FigurePrecision> FiguresSoFar(const RoundsPlan& plan, const RoundsRecord& record) {
  return FiguresOf(NetsFromVisits(plan, record, {}), plan.precision_cycles,
                   TooFewRoundsFree(record));
}

}  // namespace

RoundsRecord MeasureInRounds(const RoundsPlan& plan, const Instruments& instruments) {
  const size_t cells = CellCount(plan);
  RoundsRecord record;
  std::vector<Cell> order;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t procedure = 0; procedure < plan.procedures; ++procedure) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        order.push_back({pass, procedure, placement});
      }
    }
  }
  std::mt19937_64 shuffle(plan.seed);
  const double chain_cycles = plan.chain_adds + plan.chain_overhead_cycles;
  std::vector<double> cycles(plan.pairs), clock(plan.pairs);
  std::vector<double> clocks;
  double chain = 0;
  // One timing of a code and its chain: the code's cycles per call (or iteration).
  auto time_pair = [&](const Cell& code, double& code_cycles, double& ghz) {
    const double ticks = instruments.code_ticks(code, plan.calls);
    chain = instruments.chain_ticks(plan.chain_adds);
    code_cycles = ticks * chain_cycles / chain / plan.calls;
    ghz = chain_cycles / chain * instruments.ticks_per_ns;
  };
  const bool blocks = plan.rule != NetRule::AGAINST_EMPTY;
  const double longest = std::max(plan.seconds, plan.busy_seconds);
  // Exactly the rounds asked for are made as asked.
  const uint32_t least_rounds = plan.rule == NetRule::AGAINST_EMPTY && plan.most_rounds == 0
                                    ? std::max<uint32_t>(plan.least_rounds, LEAST_CALL_ROUNDS)
                                    : plan.least_rounds;
  PrecisionStreak streak(least_rounds, plan.least_seconds);
  uint32_t checked = 0;
  size_t done = 0;
  auto stopped = [&] { return instruments.stopped_seconds ? instruments.stopped_seconds() : 0.0; };
  // `round` counts the rounds kept.
  for (uint32_t round = 0;; round = static_cast<uint32_t>(record.rounds.size())) {
    if (round % 2 == 0 && round > 0) {
      const double elapsed = instruments.elapsed_seconds();
      if (plan.most_rounds != 0 && round >= plan.most_rounds) break;
      if (plan.rounds_held != 0 && round >= plan.rounds_held) {
        record.end = RoundsRecord::TIME_UP;
        break;
      }
      if (CheckDue(round, checked)) {
        checked = round;
        const auto free =
            static_cast<uint32_t>(std::count(record.shared.begin(), record.shared.end(), false));
        if (plan.precision_cycles > 0 &&
            streak.Ends(free, elapsed, AllPrecise(FiguresSoFar(plan, record)))) {
          record.end = RoundsRecord::PRECISE;
          break;
        }
      }
      if (elapsed >= longest) {
        record.end = longest > plan.seconds ? RoundsRecord::WAITED_OUT : RoundsRecord::TIME_UP;
        break;
      }
      // Past the usual time only while short of the precision: a busy spell waited out.
      record.waited = elapsed >= plan.seconds;
    }
    std::shuffle(order.begin(), order.end(), shuffle);
    const double stopped_before = stopped();
    std::vector<Visit>& visits = record.rounds.emplace_back(cells);
    size_t shared_visits = 0;
    for (const Cell& cell : order) {
      if (instruments.stop_requested()) {
        record.end = RoundsRecord::STOPPED;
        return record;
      }
      const Cell smaller{cell.pass, CodeOf(plan, cell.code, false), cell.placement};
      const Cell larger{cell.pass, CodeOf(plan, cell.code, true), cell.placement};
      // A warm-up: fetched, decoded and predicted before anything is timed.
      instruments.code_ticks(smaller, plan.calls);
      if (blocks) instruments.code_ticks(larger, plan.calls);
      for (uint32_t at = 0; at < plan.pairs; ++at) {
        time_pair(smaller, cycles[at], clock[at]);
        if (blocks) {
          double larger_cycles, ghz;
          time_pair(larger, larger_cycles, ghz);
          cycles[at] = (larger_cycles - cycles[at]) / plan.copies;
        }
      }
      Visit& visit = visits[CellIndex(plan, cell)];
      visit.cycles = Quantile(cycles, 0.5);
      if (plan.witnessed) {
        // In the same pair as the last chain, so that both ran at one clock.
        const double ticks = instruments.witness_ticks(WITNESS_STEPS);
        visit.witness_cycles =
            (ticks * chain_cycles / chain - plan.chain_overhead_cycles) / WITNESS_STEPS;
        if (visit.witness_cycles > SHARED_WITNESS_CYCLES) ++shared_visits;
      }
      clocks.push_back(Quantile(clock, 0.5));
      const size_t expected = std::max<size_t>(least_rounds, round + 2);
      instruments.progress(++done, cells * expected, record.waited);
    }
    if (stopped() != stopped_before) {
      record.rounds.pop_back();
      clocks.resize(clocks.size() - cells);
      done -= cells;
      continue;
    }
    record.shared.push_back(plan.witnessed &&
                            static_cast<double>(shared_visits) > SHARED_VISIT_SHARE * cells);
  }
  record.noise_floor_cycles = TypicalUncertainty(FiguresSoFar(plan, record));
  if (!clocks.empty()) {
    const auto [slowest, fastest] = std::minmax_element(clocks.begin(), clocks.end());
    record.slowest_clock_ghz = *slowest;
    record.fastest_clock_ghz = *fastest;
    record.median_clock_ghz = Quantile(clocks, 0.5);
  }
  return record;
}

double RepeatedShareAway(const std::vector<double>& first_half,
                         const std::vector<double>& second_half, double tolerance) {
  if (first_half.empty()) return 0;
  const double first_median = Quantile(first_half, 0.5);
  const double second_median = Quantile(second_half, 0.5);
  size_t repeated = 0;
  for (size_t placement = 0; placement < first_half.size(); ++placement) {
    const double first = first_half[placement] - first_median;
    const double second = second_half[placement] - second_median;
    if (std::abs(first) > tolerance && std::abs(second) > tolerance &&
        (first > 0) == (second > 0)) {
      ++repeated;
    }
  }
  return static_cast<double>(repeated) / static_cast<double>(first_half.size());
}

size_t RoundsHeapBytes(size_t most_visits) {
  constexpr size_t BYTES_PER_VISIT = 96;
  constexpr size_t BYTES_BESIDE_ROUNDS = size_t{64} << 20;
  return BYTES_BESIDE_ROUNDS + BYTES_PER_VISIT * most_visits;
}

uint32_t CallsPerChunk(double ns_per_call, double chunk_ns) {
  const double calls = std::floor(chunk_ns / std::max(ns_per_call, 1e-3));
  // Odd, so that a kernel that flips a state on every call ends each chunk with it flipped.
  return (static_cast<uint32_t>(std::clamp(calls, 1.0, double{MOST_CALLS_PER_CHUNK})) - 1) | 1;
}

}  // namespace stats

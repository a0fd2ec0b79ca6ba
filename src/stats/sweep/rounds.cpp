#include "stats/sweep/rounds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "stats/statistics.h"

namespace stats {

size_t CodeCount(const RoundsPlan& plan) {
  return plan.rule == NetRule::AGAINST_EMPTY ? plan.procedures : 2 * plan.procedures;
}

size_t CellCount(const RoundsPlan& plan) { return 2 * CodeCount(plan) * plan.placements; }

size_t CellIndex(const RoundsPlan& plan, const Cell& cell) {
  return (cell.pass * CodeCount(plan) + cell.code) * plan.placements + cell.placement;
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

double Median(std::vector<double>& values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Per cell the lowest cycles and the lowest ns over rounds [from, to).
std::vector<Visit> Lowest(const RoundsRecord& record, size_t cells, size_t from, size_t to) {
  const double never = std::numeric_limits<double>::infinity();
  std::vector<Visit> lowest(cells, Visit{never, never});
  for (size_t round = from; round < to; ++round) {
    for (size_t cell = 0; cell < cells; ++cell) {
      lowest[cell].cycles = std::min(lowest[cell].cycles, record.rounds[round][cell].cycles);
      lowest[cell].ns = std::min(lowest[cell].ns, record.rounds[round][cell].ns);
    }
  }
  return lowest;
}

// A procedure's cost at one placement and pass, per call or per copy, from per-cell figures.
double CostOf(const RoundsPlan& plan, const std::vector<Visit>& lowest, double Visit::*figure,
              Pass pass, size_t procedure, size_t placement) {
  auto at = [&](bool larger) {
    return lowest[CellIndex(plan, {pass, CodeOf(plan, procedure, larger), placement})].*figure;
  };
  if (plan.rule == NetRule::AGAINST_EMPTY) return at(false);
  return (at(true) - at(false)) / plan.copies;
}

double NetOf(const RoundsPlan& plan, const std::vector<Visit>& lowest, double Visit::*figure,
             Pass pass, size_t kernel, size_t placement) {
  const double own = CostOf(plan, lowest, figure, pass, kernel, placement);
  if (plan.rule == NetRule::PER_COPY) return own;
  return own - CostOf(plan, lowest, figure, pass, plan.procedures - 1, placement);
}

}  // namespace

std::vector<SweepSample> NetsFromLowestVisits(const RoundsPlan& plan, const RoundsRecord& record,
                                              const std::vector<size_t>& kernels) {
  const size_t cells = CellCount(plan), rounds = record.rounds.size();
  const std::vector<Visit> all = Lowest(record, cells, 0, rounds);
  const std::vector<Visit> first = Lowest(record, cells, 0, rounds / 2);
  const std::vector<Visit> second = Lowest(record, cells, rounds / 2, rounds);
  std::vector<SweepSample> samples;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t kernel = 0; kernel + 1 < plan.procedures; ++kernel) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        auto net = [&](const std::vector<Visit>& lowest, double Visit::*figure) {
          return NetOf(plan, lowest, figure, pass, kernel, placement);
        };
        // ns per call is ms per 1e9 calls over 1000.
        samples.push_back({pass, kernels.empty() ? kernel : kernels[kernel], placement,
                           1000 * net(all, &Visit::ns), net(all, &Visit::cycles),
                           net(first, &Visit::cycles), net(second, &Visit::cycles)});
      }
    }
  }
  return samples;
}

RoundsRecord MeasureInRounds(const RoundsPlan& plan, const Instruments& instruments) {
  const size_t cells = CellCount(plan);
  RoundsRecord record;
  std::vector<Cell> order;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t code = 0; code < CodeCount(plan); ++code) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        order.push_back({pass, code, placement});
      }
    }
  }
  std::mt19937_64 shuffle(plan.seed);
  const double chain_cycles = plan.chain_adds + plan.chain_overhead_cycles;
  std::vector<double> cycles(plan.pairs), ns(plan.pairs), clock(plan.pairs);
  std::vector<double> clocks;
  size_t done = 0;
  for (uint32_t round = 0;; ++round) {
    if (round % 2 == 0 && round > 0) {
      record.noise_floor_cycles = NoiseFloorCycles(NetsFromLowestVisits(plan, record, {}));
      if (plan.most_rounds != 0 && round >= plan.most_rounds) break;
      if (round >= plan.least_rounds && plan.precision_cycles > 0 &&
          record.noise_floor_cycles <= plan.precision_cycles) {
        record.end = RoundsRecord::PRECISE;
        break;
      }
      if (instruments.elapsed_seconds() >= plan.seconds) {
        record.end = RoundsRecord::TIME_UP;
        break;
      }
    }
    std::shuffle(order.begin(), order.end(), shuffle);
    std::vector<Visit>& visits = record.rounds.emplace_back(cells);
    for (const Cell& cell : order) {
      if (instruments.stop_requested()) {
        record.end = RoundsRecord::STOPPED;
        return record;
      }
      instruments.code_ticks(cell, plan.calls);  // a warm-up: fetched, decoded and predicted
      for (uint32_t pair = 0; pair < plan.pairs; ++pair) {
        const double code = instruments.code_ticks(cell, plan.calls);
        const double chain = instruments.chain_ticks(plan.chain_adds);
        cycles[pair] = code * chain_cycles / chain / plan.calls;
        ns[pair] = code / instruments.ticks_per_ns / plan.calls;
        clock[pair] = chain_cycles / chain * instruments.ticks_per_ns;
      }
      visits[CellIndex(plan, cell)] = {Median(cycles), Median(ns)};
      clocks.push_back(Median(clock));
      const size_t expected = std::max<size_t>(plan.least_rounds, round + 2);
      instruments.progress(++done, cells * expected);
    }
  }
  if (!clocks.empty()) {
    const auto [slowest, fastest] = std::minmax_element(clocks.begin(), clocks.end());
    record.slowest_clock_ghz = *slowest;
    record.fastest_clock_ghz = *fastest;
    record.median_clock_ghz = Median(clocks);
  }
  return record;
}

double NoiseFloorCycles(const std::vector<SweepSample>& samples) {
  std::vector<double> differences;
  for (const SweepSample& sample : samples) {
    differences.push_back(std::abs(sample.first_half_cycles - sample.second_half_cycles));
  }
  return differences.empty() ? 0 : Quantile(differences, 0.5);
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

uint32_t CallsPerChunk(double ns_per_call, double chunk_ns) {
  const double calls = std::floor(chunk_ns / std::max(ns_per_call, 1e-3));
  return static_cast<uint32_t>(std::clamp(calls, 1.0, double{MOST_CALLS_PER_CHUNK}));
}

}  // namespace stats

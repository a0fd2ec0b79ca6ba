#include "stats/sweep/estimate/rounds.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "stats/statistics.h"

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

// What a block keeps of its visits: a low quantile. The lowest would read about 1% low, since it
// picks the visits whose chains happened to run slow; the median would follow a disturbance that
// lasts through most of the rounds.
constexpr double BLOCK_VISIT_QUANTILE = 0.35;

// Per cell what its visits over rounds [from, to) come to: the lowest for a call loop, a low
// quantile for a block.
std::vector<Visit> Kept(const RoundsPlan& plan, const RoundsRecord& record, size_t from,
                        size_t to) {
  const size_t cells = CellCount(plan);
  std::vector<Visit> kept(cells);
  std::vector<double> cycles, ns;
  for (size_t cell = 0; cell < cells; ++cell) {
    cycles.clear();
    ns.clear();
    for (size_t round = from; round < to; ++round) {
      cycles.push_back(record.rounds[round][cell].cycles);
      ns.push_back(record.rounds[round][cell].ns);
    }
    if (plan.rule == NetRule::AGAINST_EMPTY) {
      kept[cell] = {*std::min_element(cycles.begin(), cycles.end()),
                    *std::min_element(ns.begin(), ns.end())};
    } else {
      kept[cell] = {Quantile(cycles, BLOCK_VISIT_QUANTILE), Quantile(ns, BLOCK_VISIT_QUANTILE)};
    }
  }
  return kept;
}

double NetOf(const RoundsPlan& plan, const std::vector<Visit>& kept, double Visit::*figure,
             Pass pass, size_t kernel, size_t placement) {
  const double own = kept[CellIndex(plan, {pass, kernel, placement})].*figure;
  if (plan.rule == NetRule::PER_COPY) return own;
  return own - kept[CellIndex(plan, {pass, plan.procedures - 1, placement})].*figure;
}

}  // namespace

std::vector<SweepSample> NetsFromVisits(const RoundsPlan& plan, const RoundsRecord& record,
                                        const std::vector<size_t>& kernels) {
  const size_t rounds = record.rounds.size();
  const std::vector<Visit> all = Kept(plan, record, 0, rounds);
  const std::vector<Visit> first = Kept(plan, record, 0, rounds / 2);
  const std::vector<Visit> second = Kept(plan, record, rounds / 2, rounds);
  std::vector<SweepSample> samples;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t kernel = 0; kernel + 1 < plan.procedures; ++kernel) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        auto net = [&](const std::vector<Visit>& kept, double Visit::*figure) {
          return NetOf(plan, kept, figure, pass, kernel, placement);
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
    for (size_t procedure = 0; procedure < plan.procedures; ++procedure) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        order.push_back({pass, procedure, placement});
      }
    }
  }
  std::mt19937_64 shuffle(plan.seed);
  const double chain_cycles = plan.chain_adds + plan.chain_overhead_cycles;
  std::vector<double> cycles(plan.pairs), ns(plan.pairs), clock(plan.pairs);
  std::vector<double> clocks;
  // One timing of a code and its chain: the code's cycles and ns per call (or iteration).
  auto time_pair = [&](const Cell& code, double& code_cycles, double& code_ns, double& ghz) {
    const double ticks = instruments.code_ticks(code, plan.calls);
    const double chain = instruments.chain_ticks(plan.chain_adds);
    code_cycles = ticks * chain_cycles / chain / plan.calls;
    code_ns = ticks / instruments.ticks_per_ns / plan.calls;
    ghz = chain_cycles / chain * instruments.ticks_per_ns;
  };
  const bool blocks = plan.rule != NetRule::AGAINST_EMPTY;
  size_t done = 0;
  for (uint32_t round = 0;; ++round) {
    if (round % 2 == 0 && round > 0) {
      record.noise_floor_cycles = NoiseFloorCycles(NetsFromVisits(plan, record, {}));
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
      const Cell smaller{cell.pass, CodeOf(plan, cell.code, false), cell.placement};
      const Cell larger{cell.pass, CodeOf(plan, cell.code, true), cell.placement};
      // A warm-up: fetched, decoded and predicted before anything is timed.
      instruments.code_ticks(smaller, plan.calls);
      if (blocks) instruments.code_ticks(larger, plan.calls);
      for (uint32_t at = 0; at < plan.pairs; ++at) {
        time_pair(smaller, cycles[at], ns[at], clock[at]);
        if (blocks) {
          double larger_cycles, larger_ns, ghz;
          time_pair(larger, larger_cycles, larger_ns, ghz);
          cycles[at] = (larger_cycles - cycles[at]) / plan.copies;
          ns[at] = (larger_ns - ns[at]) / plan.copies;
        }
      }
      visits[CellIndex(plan, cell)] = {Quantile(cycles, 0.5), Quantile(ns, 0.5)};
      clocks.push_back(Quantile(clock, 0.5));
      const size_t expected = std::max<size_t>(plan.least_rounds, round + 2);
      instruments.progress(++done, cells * expected);
    }
  }
  if (!clocks.empty()) {
    const auto [slowest, fastest] = std::minmax_element(clocks.begin(), clocks.end());
    record.slowest_clock_ghz = *slowest;
    record.fastest_clock_ghz = *fastest;
    record.median_clock_ghz = Quantile(clocks, 0.5);
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

#include "stats/sweep/rounds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "stats/statistics.h"

namespace stats {

size_t CellCount(const RoundsPlan& plan) { return 2 * plan.procedures * plan.placements; }

size_t CellIndex(const RoundsPlan& plan, const Cell& cell) {
  return (cell.pass * plan.procedures + cell.procedure) * plan.placements + cell.placement;
}

RoundsRecord MeasureInRounds(const RoundsPlan& plan, const Instruments& instruments) {
  const size_t cells = CellCount(plan);
  RoundsRecord record;
  const double never = std::numeric_limits<double>::infinity();
  record.minimum_ns.assign(cells, never);
  record.first_half_ns.assign(cells, never);
  record.second_half_ns.assign(cells, never);

  std::vector<Cell> order;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t procedure = 0; procedure < plan.procedures; ++procedure) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        order.push_back({pass, procedure, placement});
      }
    }
  }
  std::mt19937_64 shuffle(plan.seed);
  const size_t total = cells * plan.rounds;
  size_t done = 0;
  for (uint32_t round = 0; round < plan.rounds; ++round) {
    record.clock_ghz.push_back(instruments.clock_ghz());
    std::shuffle(order.begin(), order.end(), shuffle);
    std::vector<double>& half =
        round < plan.rounds / 2 ? record.first_half_ns : record.second_half_ns;
    for (const Cell& cell : order) {
      if (instruments.stop_requested()) {
        record.stopped = true;
        return record;
      }
      const double ns = instruments.time_ns(cell, plan.calls);
      const size_t index = CellIndex(plan, cell);
      record.minimum_ns[index] = std::min(record.minimum_ns[index], ns);
      half[index] = std::min(half[index], ns);
      instruments.progress(++done, total);
    }
  }
  return record;
}

std::vector<SweepSample> NetsFromMinima(const RoundsPlan& plan, const RoundsRecord& record) {
  const double ms_per_1e9_calls_per_ns = 1e9 / 1e6 / plan.calls / plan.copies;
  const size_t empty = plan.procedures - 1;
  std::vector<SweepSample> samples;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t kernel = 0; kernel < empty; ++kernel) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        const size_t at = CellIndex(plan, {pass, kernel, placement});
        const size_t base = CellIndex(plan, {pass, empty, placement});
        auto net = [&](const std::vector<double>& minima) {
          return (minima[at] - minima[base]) * ms_per_1e9_calls_per_ns;
        };
        samples.push_back({pass, kernel, placement, net(record.minimum_ns),
                           net(record.first_half_ns), net(record.second_half_ns)});
      }
    }
  }
  return samples;
}

double NoiseFloorCycles(const std::vector<SweepSample>& samples, double clock_ghz) {
  std::vector<double> differences;
  for (const SweepSample& sample : samples) {
    differences.push_back(std::abs(sample.first_half_ms - sample.second_half_ms) * clock_ghz /
                          1000);
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

uint32_t CallsForBudget(double ns_per_call, size_t measurements, double seconds) {
  constexpr double FEWEST = 1000, MOST = 1e9;
  const double calls_with_warm_up = seconds * 1e9 / ns_per_call / static_cast<double>(measurements);
  const double calls = calls_with_warm_up * 8 / 9;
  return static_cast<uint32_t>(std::clamp(std::floor(calls), FEWEST, MOST));
}

}  // namespace stats

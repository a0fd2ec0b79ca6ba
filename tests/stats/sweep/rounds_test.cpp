// The sweep's bookkeeping, with a fake timer: rounds, minima, nets, the noise floor, the verdict.
#include "stats/sweep/rounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace {

using stats::Cell;
using stats::NEGATIVE;
using stats::POSITIVE;

stats::RoundsPlan SmallPlan() {
  stats::RoundsPlan plan;
  plan.procedures = 3;  // two kernels, then the empty procedure
  plan.placements = 4;
  plan.rounds = 4;
  plan.calls = 1000;
  plan.seed = 7;
  return plan;
}

// A timer whose cells each have a true cost, plus whatever extra the round adds to that cell.
struct FakeMachine {
  std::vector<std::vector<Cell>> visits;  // per round, in order
  std::vector<double> clocks = {2.0, 2.5, 2.4, 2.1};
  std::function<double(const Cell&, size_t round)> time_ns;
  int stop_after = -1;

  stats::Instruments Instruments() {
    stats::Instruments instruments;
    instruments.clock_ghz = [this] {
      visits.emplace_back();
      return clocks[(visits.size() - 1) % clocks.size()];
    };
    instruments.time_ns = [this](const Cell& cell, uint32_t) {
      visits.back().push_back(cell);
      return time_ns(cell, visits.size() - 1);
    };
    instruments.stop_requested = [this] {
      size_t done = 0;
      for (const auto& round : visits) done += round.size();
      return stop_after >= 0 && done >= static_cast<size_t>(stop_after);
    };
    instruments.progress = [](size_t, size_t) {};
    return instruments;
  }
};

TEST(MeasureInRounds, VisitsEveryCellOncePerRoundInADifferentShuffledOrderEachRound) {
  const stats::RoundsPlan plan = SmallPlan();
  FakeMachine machine;
  machine.time_ns = [](const Cell&, size_t) { return 1.0; };
  const stats::RoundsRecord record = stats::MeasureInRounds(plan, machine.Instruments());
  ASSERT_EQ(machine.visits.size(), plan.rounds) << "one clock estimate per round";
  EXPECT_EQ(record.clock_ghz, machine.clocks);
  std::set<std::vector<size_t>> orders;
  for (const std::vector<Cell>& round : machine.visits) {
    std::vector<size_t> order;
    for (const Cell& cell : round) order.push_back(stats::CellIndex(plan, cell));
    orders.insert(order);
    std::sort(order.begin(), order.end());
    for (size_t index = 0; index < stats::CellCount(plan); ++index) {
      ASSERT_EQ(order.at(index), index) << "a round skipped or repeated a cell";
    }
  }
  EXPECT_EQ(orders.size(), plan.rounds) << "two rounds had the same order";

  FakeMachine again;
  again.time_ns = machine.time_ns;
  stats::MeasureInRounds(plan, again.Instruments());
  EXPECT_EQ(again.visits.size(), machine.visits.size());
  for (size_t round = 0; round < plan.rounds; ++round) {
    for (size_t at = 0; at < stats::CellCount(plan); ++at) {
      EXPECT_EQ(stats::CellIndex(plan, again.visits[round][at]),
                stats::CellIndex(plan, machine.visits[round][at]))
          << "the same seed gave another order";
    }
  }
}

TEST(MeasureInRounds, KeepsTheFastestTimeOfEachCellOverAllRoundsAndOverEachHalf) {
  const stats::RoundsPlan plan = SmallPlan();
  FakeMachine machine;
  // Cell 5 takes 50, 100, 0 and 30 ns extra in rounds 0 to 3; every other cell 900 extra in
  // round 1 and 10 ns per round number otherwise.
  machine.time_ns = [&](const Cell& cell, size_t round) {
    const double own = 10000.0 + 100.0 * static_cast<double>(stats::CellIndex(plan, cell));
    const double cell_5_extra[4] = {50, 100, 0, 30};
    if (stats::CellIndex(plan, cell) == 5) return own + cell_5_extra[round];
    return own + (round == 1 ? 900.0 : 10.0 * static_cast<double>(round));
  };
  const stats::RoundsRecord record = stats::MeasureInRounds(plan, machine.Instruments());
  ASSERT_FALSE(record.stopped);
  for (size_t index = 0; index < stats::CellCount(plan); ++index) {
    const double own = 10000.0 + 100.0 * static_cast<double>(index);
    if (index == 5) {
      EXPECT_DOUBLE_EQ(record.minimum_ns[index], own);
      EXPECT_DOUBLE_EQ(record.first_half_ns[index], own + 50);  // rounds 0 and 1
      EXPECT_DOUBLE_EQ(record.second_half_ns[index], own);      // rounds 2 and 3
    } else {
      EXPECT_DOUBLE_EQ(record.minimum_ns[index], own);
      EXPECT_DOUBLE_EQ(record.first_half_ns[index], own);
      EXPECT_DOUBLE_EQ(record.second_half_ns[index], own + 20);
    }
  }
}

TEST(MeasureInRounds, StopsAtOnceWhenAskedAndSaysSo) {
  const stats::RoundsPlan plan = SmallPlan();
  FakeMachine machine;
  machine.time_ns = [](const Cell&, size_t) { return 1.0; };
  machine.stop_after = 5;
  const stats::RoundsRecord record = stats::MeasureInRounds(plan, machine.Instruments());
  EXPECT_TRUE(record.stopped);
  EXPECT_EQ(machine.visits.size(), 1u);
  EXPECT_EQ(machine.visits[0].size(), 5u);
}

TEST(NetsFromMinima, SubtractsTheEmptyProcedureAtTheSamePlacementAndPassInMsPerBillionCalls) {
  const stats::RoundsPlan plan = SmallPlan();
  FakeMachine machine;
  // The empty procedure costs a different amount at every placement and in every pass; a kernel
  // costs that plus (kernel + 1) ns per call, and 3 ns more per call in the first half.
  machine.time_ns = [&](const Cell& cell, size_t round) {
    const double empty = 1000.0 * (1 + static_cast<double>(cell.placement)) * (cell.pass + 1);
    const double own = cell.procedure == plan.procedures - 1
                           ? 0
                           : 1.0 * (static_cast<double>(cell.procedure) + 1) * plan.calls;
    const double first_half_extra = round < plan.rounds / 2 && own > 0 ? 3.0 * plan.calls : 0;
    return empty + own + first_half_extra;
  };
  const std::vector<stats::SweepSample> samples =
      stats::NetsFromMinima(plan, stats::MeasureInRounds(plan, machine.Instruments()));
  ASSERT_EQ(samples.size(), 2 * 2 * plan.placements) << "passes x kernels x placements";
  for (const stats::SweepSample& sample : samples) {
    const double expected_ms = 1000.0 * (static_cast<double>(sample.kernel) + 1);  // 1 ns = 1000 ms
    EXPECT_DOUBLE_EQ(sample.net_ms, expected_ms) << sample.kernel << " at " << sample.placement;
    EXPECT_DOUBLE_EQ(sample.first_half_ms, expected_ms + 3000);
    EXPECT_DOUBLE_EQ(sample.second_half_ms, expected_ms);
  }
}

stats::SweepSample Halves(double first_ms, double second_ms) {
  return {POSITIVE, 0, 0, 0, first_ms, second_ms};
}

TEST(NoiseFloorCycles, IsTheMedianDifferenceBetweenTheHalvesInCycles) {
  // At 2 GHz a cycle is 500 ms per 1e9 calls; differences of 0, 0.1, 0.2, 0.3 and 2 cycles.
  const std::vector<stats::SweepSample> samples = {
      Halves(100, 100), Halves(0, 50), Halves(300, 200), Halves(-75, 75), Halves(0, 1000)};
  EXPECT_DOUBLE_EQ(stats::NoiseFloorCycles(samples, 2.0), 0.2);
  EXPECT_DOUBLE_EQ(stats::NoiseFloorCycles({Halves(0, 0)}, 3.0), 0);
}

TEST(RepeatedShareAway, MarksAOneCycleEffectThatRepeatsButNotNoiseOfTheSameSize) {
  std::mt19937 random(11);
  std::vector<double> first, second;
  // A quarter of 64 placements a cycle slower in both halves, plus a little noise.
  std::uniform_real_distribution<double> small(-0.1, 0.1);
  for (int placement = 0; placement < 64; ++placement) {
    const double effect = placement % 4 == 3 ? 1.0 : 0.0;
    first.push_back(effect + small(random));
    second.push_back(effect + small(random));
  }
  EXPECT_DOUBLE_EQ(stats::RepeatedShareAway(first, second, 0.5), 0.25);

  // The same size of spread, a cycle on a random quarter of the placements, but drawn anew in each
  // half: noise, which does not repeat.
  std::bernoulli_distribution burst(0.25);
  first.clear();
  second.clear();
  for (int placement = 0; placement < 64; ++placement) {
    first.push_back((burst(random) ? 1.0 : 0.0) + small(random));
    second.push_back((burst(random) ? 1.0 : 0.0) + small(random));
  }
  EXPECT_LE(stats::RepeatedShareAway(first, second, 0.5), 0.10);

  // Off in both halves but on opposite sides does not repeat either.
  EXPECT_DOUBLE_EQ(stats::RepeatedShareAway({0, 0, 0, 1}, {0, 0, 0, -1}, 0.5), 0);
}

TEST(CallsForBudget, FillsTheBudgetWithWarmUpsIncludedAndStaysWithinItsBounds) {
  // 1 ns a call, 1000 measurements in 9 s: 9e6 calls each with the warm-up, 8e6 timed.
  const uint32_t calls = stats::CallsForBudget(1.0, 1000, 9);
  EXPECT_NEAR(calls, 8e6, 2);
  EXPECT_NEAR((calls + stats::WarmUpCalls(calls)) * 1000.0, 9e9, 1e4);
  EXPECT_EQ(stats::CallsForBudget(1e6, 1000000, 1), 1000u) << "never fewer than 1000 calls";
  EXPECT_EQ(stats::CallsForBudget(1e-6, 1, 86400), 1000000000u) << "never more than 1e9";
}

}  // namespace

// The sweep's estimator against a fake host whose core clock moves: rounds, pairs, what each cell
// keeps of its visits, nets, and what ends the rounds.
#include "stats/sweep/estimate/rounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "stats/math/statistics.h"
#include "stats/sweep/estimate/results.h"
#include "tests/stats/sweep/estimate/fake_host.h"

namespace stats_test {
namespace {

TEST(MeasureInRounds, VisitsEveryCellOncePerRoundInADifferentShuffledOrderEachRound) {
  stats::RoundsPlan plan = Plan(NetRule::AGAINST_EMPTY);
  plan.least_rounds = plan.most_rounds = 4;
  FakeHost host = HostFor(plan);
  const stats::RoundsRecord record = stats::MeasureInRounds(plan, host.Instruments());
  EXPECT_EQ(record.end, stats::RoundsRecord::ROUNDS_DONE);
  ASSERT_EQ(record.rounds.size(), 4u);
  ASSERT_EQ(host.rounds.size(), 4u);
  std::set<std::vector<size_t>> orders;
  for (const std::vector<Cell>& round : host.rounds) {
    std::vector<size_t> order;
    for (const Cell& cell : round) order.push_back(stats::CellIndex(plan, cell));
    orders.insert(order);
    std::sort(order.begin(), order.end());
    for (size_t index = 0; index < stats::CellCount(plan); ++index) {
      ASSERT_EQ(order.at(index), index) << "a round skipped or repeated a cell";
    }
  }
  EXPECT_EQ(orders.size(), 4u) << "two rounds had the same order";

  FakeHost again = HostFor(plan);
  stats::MeasureInRounds(plan, again.Instruments());
  for (size_t round = 0; round < 4; ++round) {
    for (size_t at = 0; at < stats::CellCount(plan); ++at) {
      ASSERT_EQ(stats::CellIndex(plan, again.rounds[round][at]),
                stats::CellIndex(plan, host.rounds[round][at]))
          << "the same seed gave another order";
    }
  }
}

TEST(MeasureInRounds, CountsCyclesWithinTwoHundredthsOfTheTruthWhileTheClockMoves) {
  for (NetRule rule :
       {NetRule::AGAINST_EMPTY, NetRule::PER_COPY_AGAINST_EMPTY, NetRule::PER_COPY}) {
    const stats::RoundsPlan plan = Plan(rule);
    const Outcome outcome = MeasureOnFakeHost(plan, HostFor(plan));
    EXPECT_EQ(outcome.end, stats::RoundsRecord::PRECISE);
    size_t close = 0;
    for (size_t at = 0; at < outcome.truth.size(); ++at) {
      if (std::abs(outcome.measure.samples[at].net_cycles - outcome.truth[at]) <= 0.05) ++close;
    }
    EXPECT_GE(close, outcome.truth.size() * 95 / 100)
        << "single placements within 0.05 cycle, rule " << static_cast<int>(rule);
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      for (size_t kernel = 0; kernel + 1 < plan.procedures; ++kernel) {
        std::vector<double> truth;
        for (size_t placement = 0; placement < plan.placements; ++placement) {
          truth.push_back(TrueNet(plan, pass, kernel, placement));
        }
        EXPECT_NEAR(stats::Quantile(stats::NetsOf(outcome.measure, pass, kernel), 0.5),
                    stats::Quantile(truth, 0.5), 0.02)
            << "rule " << static_cast<int>(rule) << ", kernel " << kernel << ", pass " << pass;
      }
    }
    EXPECT_LE(outcome.measure.noise_floor_cycles, plan.precision_cycles);
  }
}

TEST(MeasureInRounds, MarksOnlyTheKernelThatIsReallyACycleSlowerAtAQuarterOfItsPlacements) {
  stats::RoundsPlan plan = Plan(NetRule::AGAINST_EMPTY);
  plan.placements = 64;
  const Outcome outcome = MeasureOnFakeHost(plan, HostFor(plan));
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t kernel = 0; kernel + 1 < plan.procedures; ++kernel) {
      const double share = stats::LayoutEffectShare(outcome.measure, pass, kernel);
      if (kernel == 1) {
        EXPECT_NEAR(share, 0.25, 0.02) << "pass " << pass;
      } else {
        EXPECT_LE(share, 0.10) << "kernel " << kernel << ", pass " << pass;
      }
    }
  }
}

TEST(ChainOverheadCycles, FindsWhatTimingAChainCostsBeyondItsAdditionsWhileTheClockMoves) {
  FakeHost host = HostFor(Plan(NetRule::AGAINST_EMPTY));
  host.burst_chance = 0.02;
  // Within 30 cycles of a chain of 10,000: 0.3% of every figure, under 0.01 cycle on a latency
  // of 3.
  EXPECT_NEAR(stats::ChainOverheadCycles(host.Instruments(), 10000), 40, 30);
}

TEST(MeasureInRounds, EndsAtThePrecisionAtTheTimeCapOrAfterTheRoundsAskedFor) {
  stats::RoundsPlan plan = Plan(NetRule::AGAINST_EMPTY);
  plan.least_rounds = 6;
  plan.least_seconds = 0;
  FakeHost steady = HostFor(plan);
  steady.moving_clock = false;
  steady.burst_chance = steady.spell_share = steady.chain_jitter = 0;
  const stats::RoundsRecord precise = stats::MeasureInRounds(plan, steady.Instruments());
  EXPECT_EQ(precise.end, stats::RoundsRecord::PRECISE);
  EXPECT_EQ(precise.rounds.size(), stats::LEAST_CALL_ROUNDS)
      << "a quiet host is precise as soon as the halves can be judged";
  EXPECT_LE(precise.noise_floor_cycles, plan.precision_cycles);

  plan.precision_cycles = 0.0001;
  plan.seconds = 0.05;
  FakeHost noisy = HostFor(plan);
  noisy.burst_chance = 0.3;
  const stats::RoundsRecord capped = stats::MeasureInRounds(plan, noisy.Instruments());
  EXPECT_EQ(capped.end, stats::RoundsRecord::TIME_UP);
  EXPECT_EQ(capped.rounds.size() % 2, 0u);
  EXPECT_GE(noisy.now_ns, 0.05e9);
  EXPECT_LT(noisy.now_ns, 0.07e9) << "the cap is obeyed within two rounds";

  // The rounds the heap holds: time is up there, however long the time asked.
  plan.seconds = 1e6;
  plan.rounds_held = 10;
  FakeHost held = HostFor(plan);
  const stats::RoundsRecord full = stats::MeasureInRounds(plan, held.Instruments());
  EXPECT_EQ(full.end, stats::RoundsRecord::TIME_UP);
  EXPECT_EQ(full.rounds.size(), 10u);

  plan.rounds_held = 0;
  plan.least_rounds = plan.most_rounds = 8;
  plan.precision_cycles = 0;
  FakeHost counted = HostFor(plan);
  EXPECT_EQ(stats::MeasureInRounds(plan, counted.Instruments()).rounds.size(), 8u);
}

TEST(MeasureInRounds, StopsAtOnceWhenAskedAndSaysSo) {
  const stats::RoundsPlan plan = Plan(NetRule::AGAINST_EMPTY);
  FakeHost host = HostFor(plan);
  host.stop_after_visits = 5;
  const stats::RoundsRecord record = stats::MeasureInRounds(plan, host.Instruments());
  EXPECT_EQ(record.end, stats::RoundsRecord::STOPPED);
  ASSERT_EQ(host.rounds.size(), 1u);
  EXPECT_EQ(host.rounds[0].size(), 5u);
}

TEST(MeasureInRounds, LeavesOutARoundDuringWhichTheProcessWasStoppedAndMakesAnotherInItsPlace) {
  stats::RoundsPlan plan = Plan(NetRule::AGAINST_EMPTY);
  plan.least_rounds = plan.most_rounds = 4;
  plan.precision_cycles = 0;
  FakeHost host = HostFor(plan);
  host.moving_clock = false;
  host.burst_chance = host.spell_share = host.chain_jitter = 0;
  stats::Instruments machine = host.Instruments();
  // Stopped half-way through the second round: the code timed across the stop seems to take
  // milliseconds more, as a chunk cut by a stop of the whole process does.
  const size_t half = stats::CellCount(plan) / 2;
  double stopped = 0;
  auto across_stop = [&] { return host.rounds.size() == 2 && host.rounds[1].size() >= half; };
  const auto code_ticks = machine.code_ticks;
  machine.code_ticks = [&](const Cell& cell, uint32_t calls) {
    const double ticks = code_ticks(cell, calls);
    if (!across_stop()) return ticks;
    stopped = 30;
    return ticks + 5e6 * TICKS_PER_NS;
  };
  machine.stopped_seconds = [&] { return stopped; };
  const stats::RoundsRecord record = stats::MeasureInRounds(plan, machine);
  EXPECT_EQ(record.end, stats::RoundsRecord::ROUNDS_DONE);
  EXPECT_EQ(host.rounds.size(), 5u) << "one round more than asked was visited";
  ASSERT_EQ(record.rounds.size(), 4u) << "the rounds asked for are kept";
  EXPECT_EQ(record.shared.size(), 4u);
  for (const std::vector<stats::Visit>& round : record.rounds) {
    for (const stats::Visit& visit : round) ASSERT_LT(visit.cycles, 100) << "a visit of the stop";
  }
}

}  // namespace
}  // namespace stats_test

// The sweep's estimator against a fake host whose core clock moves: rounds, pairs, what each cell
// keeps of its visits, nets, the noise floor, the verdict and what ends the rounds.
#include "stats/sweep/estimate/rounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "stats/statistics.h"
#include "stats/sweep/estimate/figure_precision.h"
#include "stats/sweep/estimate/results.h"
#include "stats/sweep/estimate/stop_rule.h"

namespace {

using stats::Cell;
using stats::NEGATIVE;
using stats::NetRule;
using stats::Pass;
using stats::POSITIVE;

constexpr double TICKS_PER_NS = 2.5;

// A host like the shared ones: the core clock holds for 20 to 200 microseconds at a time, anywhere
// from 2.8 to 3.8 GHz; a chain's time spreads by up to 1% on its own, so that the lowest of many
// visits reads low; one chunk in a hundred gets an interrupt's 2 to 20 microseconds; and now and
// then, for a few milliseconds, every call costs a cycle more (a slow spell of the front end, or a
// neighbour on the core's other thread) while the chain of additions does not show it.
struct FakeHost {
  // The code's own cycles per call (or per iteration of a block) in a cell.
  std::function<double(const Cell&)> cycles_per_call;
  bool moving_clock = true;
  double chain_jitter = 0.01;  // the chain's own spread, as a share of its time
  double burst_chance = 0.01;
  double spell_share = 0.2;
  double code_overhead_cycles = 150, chain_overhead_cycles = 40;
  uint32_t stop_after_visits = 0;  // 0: never asked to stop
  bool waited = false;             // the progress said the rounds wait for quieter ones
  // A state of the machine that comes and goes: on for `state_on_ns`, then off for `state_off_ns`,
  // and so on from the start; while it holds, every procedure's loop but those `state_spares` gets
  // `state_shift_cycles` per call faster.
  double state_shift_cycles = 0, state_on_ns = 0, state_off_ns = 1;
  std::function<bool(size_t procedure)> state_spares = [](size_t) { return false; };
  // The core's other thread busy until `shared_until_ns`: code bound by throughput, and the
  // witness of independent additions, take `shared_slowdown` times their cycles; a serial chain
  // does not notice.
  double shared_until_ns = 0, shared_slowdown = 1.25;
  bool throughput_bound = false;

  std::mt19937_64 random{5};
  double now_ns = 0, span_end_ns = 0, clock_ghz = 3.3;
  double spell_end_ns = 0;
  bool in_spell = false;
  std::vector<std::vector<Cell>> rounds;  // the cells in the order visited, per round
  size_t cells_per_round = 0;
  uint32_t chunks_per_visit = 0;  // a warm-up and the pairs, of one code or of two blocks
  size_t codes_per_procedure = 1;
  size_t chunks = 0;

  bool InState() const {
    return state_shift_cycles != 0 && std::fmod(now_ns, state_on_ns + state_off_ns) < state_on_ns;
  }
  bool Shared() const { return now_ns < shared_until_ns; }

  double Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
  }

  // Ticks for `cycles` of work at the moving clock.
  double Run(double cycles, bool slowed_by_spells, uint32_t calls) {
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

  stats::Instruments Instruments() {
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
      if (throughput_bound && Shared()) cycles *= shared_slowdown;
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
};

// The fake host's rounds, of fewer cells, are about a sixteenth as long as a real sweep's: so is
// its second, where the rounds' least time and the states that come and go are concerned.
constexpr double FAKE_SECOND = 1.0 / 16;

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
double TrueNet(const stats::RoundsPlan& plan, Pass pass, size_t kernel, size_t placement) {
  const double own = OwnCycles(kernel, plan, pass, placement);
  if (plan.rule == NetRule::PER_COPY) return own;
  return own - OwnCycles(plan.procedures - 1, plan, pass, placement);
}

FakeHost HostFor(const stats::RoundsPlan& plan) {
  FakeHost host;
  host.cells_per_round = stats::CellCount(plan);
  host.throughput_bound = plan.rule == NetRule::PER_COPY;
  host.codes_per_procedure = plan.rule == NetRule::AGAINST_EMPTY ? 1 : 2;
  host.chunks_per_visit = static_cast<uint32_t>(host.codes_per_procedure * (plan.pairs + 1));
  host.cycles_per_call = [plan](const Cell& cell) {
    return LoopCycles(cell) + CopiesOf(plan, cell) * OwnCycles(ProcedureOf(plan, cell), plan,
                                                               cell.pass, cell.placement);
  };
  return host;
}

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

// The nets of a whole measurement on the fake host, with their truth beside them.
struct Outcome {
  stats::MeasureResult measure;
  std::vector<double> truth;  // per sample
  stats::RoundsRecord::End end;
  size_t rounds = 0;
  bool waited = false;
};

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

stats::SweepSample Halves(size_t kernel, double all, double first, double second) {
  return {POSITIVE, kernel, 0, 0, all, first, second};
}

TEST(FiguresOf, TrustsEachKernelsMedianAsFarAsItsHalvesAgreeAndNoFurtherOnASharedCore) {
  // Kernel 0 agrees in its halves; kernel 1 moves 0.3 at two of its three placements.
  const std::vector<stats::SweepSample> samples = {
      Halves(0, 1.0, 1.0, 1.01), Halves(0, 2.0, 2.0, 2.0), Halves(0, 3.0, 3.01, 3.0),
      Halves(1, 0.0, 0.3, 0.0),  Halves(1, 0.1, 0.4, 0.1), Halves(1, 5.0, 5.0, 5.0)};
  const std::vector<stats::FigurePrecision> figures = stats::FiguresOf(samples, 0.02, false);
  ASSERT_EQ(figures.size(), 2u);
  EXPECT_DOUBLE_EQ(figures[0].median_cycles, 2.0);
  EXPECT_NEAR(figures[0].uncertainty_cycles, 0, 1e-12);
  EXPECT_TRUE(figures[0].precise);
  EXPECT_DOUBLE_EQ(figures[1].median_cycles, 0.1);
  EXPECT_NEAR(figures[1].uncertainty_cycles, 0.3, 1e-12);
  EXPECT_FALSE(figures[1].precise);
  EXPECT_FALSE(stats::AllPrecise(figures));
  EXPECT_EQ(stats::LeastPrecise(figures), &figures[1]);
  EXPECT_NEAR(stats::TypicalUncertainty(figures), 0.15, 1e-12);

  for (const stats::FigurePrecision& figure : stats::FiguresOf(samples, 1, true)) {
    EXPECT_TRUE(figure.shared_core);
    EXPECT_FALSE(figure.precise) << "a shared core's figure is never precise";
  }
}

TEST(PrecisionStreak, EndsOnlyOnceThePrecisionHeldOverTheLastQuarterOfTheRoundsAndTheLeastTime) {
  stats::PrecisionStreak streak(8, 1.0);
  EXPECT_FALSE(streak.Ends(8, 2.0, true)) << "one check that passes is not enough";
  EXPECT_TRUE(streak.Ends(10, 2.0, true));

  stats::PrecisionStreak broken(8, 0);
  EXPECT_FALSE(broken.Ends(8, 0, true));
  EXPECT_FALSE(broken.Ends(10, 0, false));
  EXPECT_FALSE(broken.Ends(12, 0, true)) << "a failing check starts the streak again";
  EXPECT_FALSE(broken.Ends(14, 0, true));
  EXPECT_TRUE(broken.Ends(16, 0, true));

  stats::PrecisionStreak long_run(8, 0);
  EXPECT_FALSE(long_run.Ends(100, 0, true));
  EXPECT_FALSE(long_run.Ends(120, 0, true)) << "20 rounds are less than a quarter of 120";
  EXPECT_TRUE(long_run.Ends(134, 0, true));

  stats::PrecisionStreak early(8, 1.0);
  EXPECT_FALSE(early.Ends(8, 0.4, true));
  EXPECT_FALSE(early.Ends(12, 0.8, true)) << "before the least time";
  EXPECT_TRUE(early.Ends(14, 1.1, true));
  EXPECT_FALSE(stats::PrecisionStreak(8, 0).Ends(2, 0, true));
}

TEST(CheckDue, ChecksEveryTwoRoundsAtFirstAndEverySixteenthOfThemLater) {
  EXPECT_TRUE(stats::CheckDue(2, 0));
  EXPECT_TRUE(stats::CheckDue(10, 8));
  EXPECT_FALSE(stats::CheckDue(320, 310));
  EXPECT_TRUE(stats::CheckDue(320, 300));
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

TEST(CallsPerChunk, AimsAtTheChunksLengthWithinItsBounds) {
  EXPECT_EQ(stats::CallsPerChunk(1.5, 3000), 2000u);
  EXPECT_EQ(stats::CallsPerChunk(1e6, 3000), 1u) << "never fewer than one call";
  EXPECT_EQ(stats::CallsPerChunk(1e-9, 3000), stats::MOST_CALLS_PER_CHUNK);
}

}  // namespace

namespace {

// The largest distance of a kernel's figure from the truth's median over the placements.
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

// A quarter of four kernels spared by a state that makes every other loop, the empty one's too,
// 0.3 cycle faster for a stretch of the rounds: a net that subtracts the empty procedure's
// visit of another moment reads 0.3 high. It lasts one to one and a half seconds.
FakeHost StateHost(const stats::RoundsPlan& plan, uint64_t seed) {
  FakeHost host = HostFor(plan);
  host.random.seed(seed);
  host.state_shift_cycles = 0.3;
  host.state_on_ns = (1 + 0.15 * static_cast<double>(seed % 4)) * FAKE_SECOND * 1e9;
  host.state_off_ns = 20 * FAKE_SECOND * 1e9;
  host.state_spares = [](size_t procedure) { return procedure == 0; };
  return host;
}

stats::RoundsPlan StatePlan(uint64_t seed) {
  stats::RoundsPlan plan = Plan(NetRule::AGAINST_EMPTY);
  plan.procedures = 5;
  plan.seed = seed;
  plan.seconds = 14 * FAKE_SECOND;
  return plan;
}

TEST(MeasureInRounds, NeverEndsPreciseWithAStateThatShiftsAQuarterOfTheKernelsForAWhile) {
  int precise = 0;
  for (uint64_t seed = 1; seed <= 6; ++seed) {
    const stats::RoundsPlan plan = StatePlan(seed);
    const Outcome outcome = MeasureOnFakeHost(plan, StateHost(plan, seed));
    EXPECT_LE(LargestMiss(plan, outcome), 0.06) << "the state is waited out, seed " << seed;
    if (outcome.end != stats::RoundsRecord::PRECISE) continue;
    ++precise;
    // The rule of before (the lowest visit less the empty procedure's lowest, the floor a median
    // over cells) ended precise in all six, its floor 0.015 to 0.020 and kernel 0 0.29 high.
    EXPECT_TRUE(stats::AllPrecise(outcome.measure.figures));
  }
  EXPECT_GE(precise, 4) << "the state passes, and the rounds after it are precise";
}

TEST(MeasureInRounds, LeavesOutTheRoundsOnASharedCoreAndMarksTheFiguresWhenNoneWasFree) {
  // Shared throughout: the rule of before ended precise, floor 0.003 to 0.005, every throughput 25%
  // high.
  stats::RoundsPlan plan = Plan(NetRule::PER_COPY);
  plan.witnessed = true;
  plan.seconds = 0.3;
  FakeHost always = HostFor(plan);
  always.shared_until_ns = 1e12;
  const Outcome shared = MeasureOnFakeHost(plan, always);
  EXPECT_EQ(shared.end, stats::RoundsRecord::TIME_UP);
  for (const stats::FigurePrecision& figure : shared.measure.figures) {
    EXPECT_TRUE(figure.shared_core);
    EXPECT_FALSE(figure.precise);
  }

  // Shared for the first 60 ms, about 15 rounds: those are left out, and the rest are right.
  FakeHost for_a_while = HostFor(plan);
  for_a_while.shared_until_ns = 0.06e9;
  const Outcome recovered = MeasureOnFakeHost(plan, for_a_while);
  EXPECT_EQ(recovered.end, stats::RoundsRecord::PRECISE);
  EXPECT_LE(LargestMiss(plan, recovered), 0.02);
  for (const stats::FigurePrecision& figure : recovered.measure.figures) {
    EXPECT_FALSE(figure.shared_core);
  }

  // A serial chain does not notice the other thread, and latency is not witnessed.
  stats::RoundsPlan latency = Plan(NetRule::PER_COPY_AGAINST_EMPTY);
  FakeHost chains = HostFor(latency);
  chains.shared_until_ns = 1e12;
  const Outcome alone = MeasureOnFakeHost(latency, chains);
  EXPECT_EQ(alone.end, stats::RoundsRecord::PRECISE);
  EXPECT_LE(LargestMiss(latency, alone), 0.02);
}

TEST(MeasureInRounds, WaitsOutABusySpellUpToItsBoundAndSaysSoWhileWaiting) {
  stats::RoundsPlan plan = Plan(NetRule::AGAINST_EMPTY);
  plan.seconds = 0.15;
  plan.busy_seconds = 0.5;
  plan.precision_cycles = 0.0001;
  FakeHost busy = HostFor(plan);
  busy.burst_chance = 0.3;
  const stats::RoundsRecord waited = stats::MeasureInRounds(plan, busy.Instruments());
  EXPECT_EQ(waited.end, stats::RoundsRecord::WAITED_OUT);
  EXPECT_TRUE(waited.waited);
  EXPECT_TRUE(busy.waited) << "the progress said it was waiting";
  EXPECT_GE(busy.now_ns, 0.5e9);
  EXPECT_LT(busy.now_ns, 0.53e9) << "the wait is a cap as well";

  // A state that passes: precise after the usual time, within the wait.
  plan.precision_cycles = 0.02;
  plan.busy_seconds = 1;
  FakeHost spell = HostFor(plan);
  spell.state_shift_cycles = 0.3;
  spell.state_on_ns = 0.07e9;
  spell.state_spares = [](size_t procedure) { return procedure == 0; };
  spell.state_off_ns = 1e12;
  const Outcome outcome = MeasureOnFakeHost(plan, spell);
  EXPECT_EQ(outcome.end, stats::RoundsRecord::PRECISE);
  EXPECT_TRUE(outcome.waited) << "not precise at the usual time";
  EXPECT_LE(LargestMiss(plan, outcome), 0.06);
}

TEST(MeasureInRounds, EndsBlocksPreciseInFarFewerThanFortyRoundsOnAnOrdinaryHost) {
  for (NetRule rule : {NetRule::PER_COPY_AGAINST_EMPTY, NetRule::PER_COPY}) {
    stats::RoundsPlan plan = Plan(rule);
    plan.least_seconds = FAKE_SECOND / 4;  // as the sweep's blocks
    const Outcome outcome = MeasureOnFakeHost(plan, HostFor(plan));
    EXPECT_EQ(outcome.end, stats::RoundsRecord::PRECISE);
    EXPECT_LE(outcome.rounds, 16u) << "rule " << static_cast<int>(rule);
  }
}

TEST(TooFewRoundsFree, CallsACoreSharedOnlyWhenItsFreeRoundsAreAFewAmongManyShared) {
  stats::RoundsRecord record;
  record.shared = {false, false, false, false, false, true};
  EXPECT_FALSE(stats::TooFewRoundsFree(record)) << "one shared round of six";
  record.shared.assign(20, true);
  record.shared.insert(record.shared.end(), 2, false);
  EXPECT_TRUE(stats::TooFewRoundsFree(record)) << "two free rounds of twenty-two";
  record.shared.assign(10, false);
  EXPECT_FALSE(stats::TooFewRoundsFree(record)) << "never shared";
}

}  // namespace

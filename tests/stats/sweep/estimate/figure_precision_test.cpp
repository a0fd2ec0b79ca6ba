// How far each figure can be trusted and when the rounds may end: the halves' agreement, the
// streak of precise checks, a placement effect that repeats, and a core seen shared.
#include "stats/sweep/estimate/figure_precision.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "stats/sweep/estimate/nets.h"
#include "stats/sweep/estimate/rounds.h"
#include "stats/sweep/estimate/stop_rule.h"

namespace {

using stats::POSITIVE;

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
  EXPECT_NEAR(figures[0].rounds_uncertainty_cycles, 0, 1e-12);
  EXPECT_TRUE(figures[0].precise);
  EXPECT_TRUE(figures[0].layout_sensitive);
  EXPECT_NEAR(figures[0].uncertainty_cycles, 1.0, 1e-12)
      << "its placements a cycle apart: the median could be either neighbour's";
  EXPECT_DOUBLE_EQ(figures[1].median_cycles, 0.1);
  EXPECT_NEAR(figures[1].rounds_uncertainty_cycles, 0.3, 1e-12);
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

TEST(CallsPerChunk, AimsAtTheChunksLengthWithinItsBoundsWithAnOddCount) {
  EXPECT_EQ(stats::CallsPerChunk(1.5, 3000), 1999u);
  EXPECT_EQ(stats::CallsPerChunk(1.0, 3001), 3001u);
  EXPECT_EQ(stats::CallsPerChunk(1e6, 3000), 1u) << "never fewer than one call";
  EXPECT_EQ(stats::CallsPerChunk(1e-9, 3000), (stats::MOST_CALLS_PER_CHUNK - 1) | 1);
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

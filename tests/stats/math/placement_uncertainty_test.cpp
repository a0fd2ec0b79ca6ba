// A layout-sensitive median: its placements in two groups a cycle apart, and runs of one machine
// that put more or fewer of them in the slow group, as this host's call loops did (13 to 33 of 64).
#include "stats/math/placement_uncertainty.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "stats/math/figure_difference.h"
#include "stats/math/statistics.h"

namespace {

// 64 placements, `slow` of them a cycle slower, each with a little noise.
std::vector<double> Placements(int slow, std::mt19937& random, double shift = 0) {
  std::normal_distribution<double> noise(0, 0.005);
  std::vector<double> nets;
  for (int placement = 0; placement < 64; ++placement) {
    nets.push_back(shift + (placement < slow ? 1.0 : 0.0) + 0.015 + noise(random));
  }
  return nets;
}

constexpr int PAIRS = 2000;

// Of PAIRS pairs of runs, each putting `fewest` to `most` of 64 placements in the slow group, how
// many the second run, `shift` cycles slower everywhere, is told apart from the first.
int ToldApart(int fewest, int most, double shift, bool layout_sensitive = true) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> slow(fewest, most);
  const double rounds = 0.004;
  int told = 0;
  for (int pair = 0; pair < PAIRS; ++pair) {
    const std::vector<double> one = Placements(slow(random), random);
    const std::vector<double> other = Placements(slow(random), random, shift);
    told += stats::Distinguishable(
        stats::Quantile(one, 0.5), stats::FigureUncertainty(rounds, one, layout_sensitive),
        stats::Quantile(other, 0.5), stats::FigureUncertainty(rounds, other, layout_sensitive));
  }
  return told;
}

TEST(PlacementUncertainty, ReachesTheOtherGroupOnlyWhenTheMedianStandsNearIt) {
  std::mt19937 random(3);
  const std::vector<double> split = Placements(33, random);
  EXPECT_GT(stats::Quantile(split, 0.5), 0.9) << "33 of 64 slow: the median is the slow group's";
  EXPECT_GT(stats::PlacementUncertainty(split), 0.95) << "yet 31 are a cycle faster";

  const std::vector<double> few = Placements(10, random);
  EXPECT_LT(stats::PlacementUncertainty(few), 0.03) << "10 of 64 cannot move the median";

  EXPECT_DOUBLE_EQ(stats::FigureUncertainty(0.004, split, false), 0.004)
      << "a kernel that is not layout-sensitive keeps its rounds' uncertainty";
  EXPECT_GE(stats::FigureUncertainty(0.004, split, true), stats::PlacementUncertainty(split));
  EXPECT_EQ(stats::PlacementUncertainty({}), 0);
  EXPECT_EQ(stats::PlacementUncertainty({2.5}), 0);
}

TEST(PlacementUncertainty, ReachesTwelvePlacesEitherSideOfAMedianOfSixtyFourOnTheFartherSide) {
  std::vector<double> squares, negated;
  for (int at = 0; at < 64; ++at) {
    squares.push_back(at * at);
    negated.push_back(-at * at);
  }
  // The median is 992.5, between 31 and 32 squared; 12 places on are 20 and 43 squared.
  EXPECT_DOUBLE_EQ(stats::PlacementUncertainty(squares), 43 * 43 - 992.5);
  EXPECT_DOUBLE_EQ(stats::PlacementUncertainty(negated), 43 * 43 - 992.5);
}

TEST(PlacementUncertainty, KeepsRunsOfOneMachineTheSameYetTellsAKernelThreeCyclesSlower) {
  EXPECT_GT(ToldApart(13, 33, 0, false), PAIRS / 10)
      << "the rounds' uncertainty alone tells about one pair in five apart";
  EXPECT_LE(ToldApart(13, 33, 0), PAIRS / 1000);
  // A host whose runs spread far wider than this one's: 71 pairs; with sqrt(n) places, 290.
  EXPECT_LE(ToldApart(3, 45, 0), PAIRS / 20);
  EXPECT_GE(ToldApart(13, 33, 3.0), PAIRS * 9 / 10);
}

}  // namespace

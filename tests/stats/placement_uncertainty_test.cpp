// A layout-sensitive median: its placements in two groups a cycle apart, and runs of one machine
// that put more or fewer of them in the slow group, as this host's call loops did (13 to 33 of 64).
#include "stats/placement_uncertainty.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "stats/figure_difference.h"
#include "stats/statistics.h"

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

TEST(PlacementUncertainty, KeepsRunsOfOneMachineTheSameYetTellsAKernelThreeCyclesSlower) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> slow(13, 33);
  const double rounds = 0.004;
  int told_apart_alike = 0, told_apart_slower = 0;
  constexpr int PAIRS = 2000;
  for (int pair = 0; pair < PAIRS; ++pair) {
    const std::vector<double> one = Placements(slow(random), random);
    const std::vector<double> other = Placements(slow(random), random);
    const std::vector<double> slower = Placements(slow(random), random, 3.0);
    const double one_uncertainty = stats::FigureUncertainty(rounds, one, true);
    if (stats::Distinguishable(stats::Quantile(one, 0.5), one_uncertainty,
                               stats::Quantile(other, 0.5),
                               stats::FigureUncertainty(rounds, other, true))) {
      ++told_apart_alike;
    }
    if (stats::Distinguishable(stats::Quantile(one, 0.5), one_uncertainty,
                               stats::Quantile(slower, 0.5),
                               stats::FigureUncertainty(rounds, slower, true))) {
      ++told_apart_slower;
    }
  }
  // The rounds' uncertainty alone tells about one pair in five apart.
  EXPECT_LE(told_apart_alike, PAIRS / 1000);
  EXPECT_GE(told_apart_slower, PAIRS * 9 / 10);
}

}  // namespace

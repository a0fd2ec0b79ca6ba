// What a sweep found, as the output asks of it.
#include "stats/sweep/estimate/results.h"

#include <gtest/gtest.h>

namespace {

TEST(DescribeSpread, GivesTheMedianAndTheQuartiles) {
  const stats::Spread odd = stats::DescribeSpread({9, 1, 5, 3, 7, 2, 8, 4, 6});
  EXPECT_DOUBLE_EQ(odd.median, 5);
  EXPECT_DOUBLE_EQ(odd.first_quartile, 3);
  EXPECT_DOUBLE_EQ(odd.third_quartile, 7);
  const stats::Spread even = stats::DescribeSpread({0, 0, 0, 280});
  EXPECT_DOUBLE_EQ(even.median, 0);
  EXPECT_DOUBLE_EQ(even.third_quartile, 70);
}

}  // namespace

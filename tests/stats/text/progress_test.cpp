// The progress line's guess of the time left.
#include "stats/text/progress.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(TimeLeft, GuessesOnlyFromThePaceOfCountedItemsNotFromWhatCameBefore) {
  const std::chrono::steady_clock::time_point start{};
  // The first count came 5 s after the start (a child started, code placed and calibrated); the
  // next 64 items took 0.1 s, so 1152 more take about 1.8 s, not minutes.
  EXPECT_LT(
      stats::TimeLeft(64, start + seconds(5), 64, start + seconds(5), start + seconds(5), 1280),
      std::chrono::steady_clock::duration::zero())
      << "no guess before a pace is seen";
  const auto left = stats::TimeLeft(64, start + seconds(5), 128, start + milliseconds(5100),
                                    start + milliseconds(5100), 1280);
  EXPECT_NEAR(std::chrono::duration<double>(left).count(), 1.8, 0.01);
  // A count from zero at the start still guesses after the first item, as the runs need.
  const auto runs = stats::TimeLeft(0, start, 1, start + seconds(40), start + seconds(40), 5);
  EXPECT_NEAR(std::chrono::duration<double>(runs).count(), 160, 0.01);
}

}  // namespace

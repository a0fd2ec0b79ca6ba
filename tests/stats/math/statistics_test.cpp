#include "stats/math/statistics.h"

#include <gtest/gtest.h>

#include "stats/runs/figures.h"
#include "stats/summary/chart.h"
#include "stats/text/format.h"

namespace {

TEST(Summarize, TakesTheMiddleOfAnOddCountAndTheRange) {
  const stats::Summary summary = stats::Summarize({300, -20, 7, 45, 12});
  EXPECT_EQ(summary.median, 12);
  EXPECT_EQ(summary.minimum, -20);
  EXPECT_EQ(summary.maximum, 300);
}

TEST(Summarize, AveragesTheTwoMiddleValuesOfAnEvenCount) {
  EXPECT_EQ(stats::Summarize({4, -1, 10, 3}).median, 3.5);
  EXPECT_EQ(stats::Summarize({-3, -4}).median, -3.5);
  EXPECT_EQ(stats::Summarize({2147483647, 2147483646}).median, 2147483646.5);
}

TEST(Summarize, OfOneRunIsThatRun) {
  const stats::Summary summary = stats::Summarize({-42});
  EXPECT_EQ(summary.median, -42);
  EXPECT_EQ(summary.minimum, -42);
  EXPECT_EQ(summary.maximum, -42);
}

TEST(RankByMedian, PutsTheSmallestMedianFirstAndKeepsTableOrderOnTies) {
  const std::vector<stats::Summary> summaries = {{5, 0, 0}, {-2, 0, 0}, {5, 0, 0}, {0.5, 0, 0}};
  EXPECT_EQ(stats::RankByMedian(summaries), (std::vector<size_t>{1, 3, 0, 2}));
}

TEST(FormatMedian, PrintsWholeNumbersWithoutADecimalAndHalvesWithOne) {
  EXPECT_EQ(stats::FormatMedian(12), "12");
  EXPECT_EQ(stats::FormatMedian(-3), "-3");
  EXPECT_EQ(stats::FormatMedian(-3.5), "-3.5");
  EXPECT_EQ(stats::FormatMedian(0), "0");
}

TEST(FormatSvg, EscapesTheProcessorNameInTheTitle) {
  stats::RunSet runs;
  runs.reports.resize(1);
  const stats::Figures figures = stats::ComputeFigures(runs);
  const std::string svg = stats::FormatSvg(runs, figures, {"A & B <x>", "Linux", true});
  EXPECT_NE(svg.find("A &amp; B &lt;x&gt;"), std::string::npos);
  EXPECT_EQ(svg.find("A & B"), std::string::npos);
}

}  // namespace

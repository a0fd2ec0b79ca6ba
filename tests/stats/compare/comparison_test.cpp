// The verdicts and notes of a comparison, on records made by hand.
#include "stats/compare/comparison.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/stats/result_record_fixture.h"

namespace {

using stats::Verdict;

stats::Comparison CompareTwo(const stats::ResultRecord& baseline,
                             const stats::ResultRecord& other) {
  return stats::Compare({{"base.json", baseline}, {"other.json", other}});
}

bool HasNote(const stats::Comparison& comparison, const std::string& note) {
  return std::find(comparison.notes.begin(), comparison.notes.end(), note) !=
         comparison.notes.end();
}

TEST(VerdictRule, ADifferenceIsAVerdictOnlyPastTwiceTheCombinedUncertainty) {
  // Uncertainties 0.3 and 0.4 combine to 0.5; twice that is the bound.
  EXPECT_EQ(stats::Judge(3, 0.3, 3.999, 0.4), Verdict::SAME);
  EXPECT_EQ(stats::Judge(3, 0.3, 4.001, 0.4), Verdict::SLOWER);
  EXPECT_EQ(stats::Judge(3, 0.3, 2.001, 0.4), Verdict::SAME);
  EXPECT_EQ(stats::Judge(3, 0.3, 1.999, 0.4), Verdict::FASTER);
}

TEST(VerdictRule, FiguresWithoutUncertaintyStillNeedTheTablesLastDigitToDiffer) {
  EXPECT_EQ(stats::Judge(1, 0, 1.009, 0), Verdict::SAME);
  EXPECT_EQ(stats::Judge(1, 0, 1.011, 0), Verdict::SLOWER);
  EXPECT_EQ(stats::Judge(1, 0, 1, 0), Verdict::SAME);
}

TEST(Comparison, ARecordComparedWithItselfIsTheSameEverywhere) {
  const stats::Comparison comparison =
      CompareTwo(stats_test::HandMadeRecord(), stats_test::HandMadeRecord());
  ASSERT_EQ(comparison.tables.size(), 2u);  // latency, both passes
  for (const stats::ComparedTable& table : comparison.tables) {
    ASSERT_EQ(table.rows.size(), 2u);
    for (const stats::ComparedRow& row : table.rows) {
      EXPECT_EQ(row.cells[0].verdict, Verdict::BASELINE);
      EXPECT_EQ(row.cells[1].verdict, Verdict::SAME);
      EXPECT_FALSE(row.cells[1].code_differs);
    }
  }
  EXPECT_EQ(comparison.machines, (std::vector<std::string>{"Zen 4", "Zen 4"}));
}

TEST(Comparison, ChangedCodeIsComparedAndSaidToDiffer) {
  stats::ResultRecord changed = stats_test::HandMadeRecord(6, 0.05);
  changed.kernels[1].bytes_hex = "0fafc00fafc090909090c3";
  const stats::Comparison comparison = CompareTwo(stats_test::HandMadeRecord(3, 0.05), changed);
  const stats::ComparedCell& cell = comparison.tables[0].rows[1].cells[1];
  EXPECT_EQ(cell.verdict, Verdict::SLOWER);
  EXPECT_DOUBLE_EQ(cell.difference, 3);
  EXPECT_TRUE(cell.code_differs);
  EXPECT_FALSE(comparison.tables[0].rows[0].cells[1].code_differs);
  EXPECT_TRUE(HasNote(comparison, "twice: the code differs in other.json from the baseline's"));
}

TEST(Comparison, AKernelAbsentFromAFileIsMissingThereAndNewOnesHaveNoBaseline) {
  stats::ResultRecord fewer = stats_test::HandMadeRecord();
  fewer.kernels.pop_back();
  stats::ResultRecord more = stats_test::HandMadeRecord();
  more.kernels.push_back(more.kernels[0]);
  more.kernels.back().name = "mine";
  const stats::Comparison comparison = stats::Compare({{"a", fewer}, {"b", more}, {"c", fewer}});
  const stats::ComparedTable& table = comparison.tables[0];
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_EQ(table.rows[1].kernel, "twice");
  EXPECT_EQ(table.rows[1].cells[0].verdict, Verdict::MISSING);
  EXPECT_EQ(table.rows[1].cells[1].verdict, Verdict::NO_BASELINE);
  EXPECT_EQ(table.rows[1].cells[2].verdict, Verdict::MISSING);
  EXPECT_EQ(table.rows[2].kernel, "mine");
}

TEST(Comparison, NotesSayWhatMakesAFileLessComparable) {
  stats::ResultRecord base = stats_test::HandMadeRecord();
  base.left_out.clear();
  stats::ResultRecord other = stats_test::HandMadeRecord();
  other.left_out.clear();
  other.measures[0].end = "time_up";
  other.schema_minor = 1;
  other.settings.precision_cycles = 0.05;
  other.settings.measures = {"latency", "throughput"};
  other.settings.rounds = 10;
  const stats::Comparison comparison = CompareTwo(base, other);
  EXPECT_EQ(comparison.notes,
            (std::vector<std::string>{
                "other.json: latency did not reach its precision, 0.050 cycle: its time was up; "
                "its uncertainties are wider",
                "other.json: schema version 1.1, the baseline's 1.0: its figures may be "
                "estimated in another way",
                "other.json: measures latency,throughput, the baseline's latency",
                "other.json: precision 0.050 cycle, the baseline's 0.020",
                "other.json: rounds 10, the baseline's until the precision"}));
}

}  // namespace

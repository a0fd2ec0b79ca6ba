// The verdicts and notes of a comparison, on records made by hand.
#include "stats/compare/comparison.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/stats/record/result_record_fixture.h"

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
  // Uncertainties 0.3 and 0.4 combine to 0.5; twice that is the bound, itself still the same.
  EXPECT_EQ(stats::Judge(3, 0.3, 4, 0.4), Verdict::SAME);
  EXPECT_EQ(stats::Judge(3, 0.3, 4.0001, 0.4), Verdict::SLOWER);
  EXPECT_EQ(stats::Judge(3, 0.3, 2, 0.4), Verdict::SAME);
  EXPECT_EQ(stats::Judge(3, 0.3, 1.9999, 0.4), Verdict::FASTER);
}

TEST(VerdictRule, FiguresWithoutUncertaintyDifferFromATwentiethOfACycleAlikeAtAnyMagnitude) {
  EXPECT_EQ(stats::Judge(1, 0, 1.0499, 0), Verdict::SAME);
  EXPECT_EQ(stats::Judge(1, 0, 1.01, 0), Verdict::SAME) << "as two sweeps of one machine differ";
  // As doubles, 1.05 - 1.00 is above 0.05 and 2.05 - 2.00 below it; in ten-thousandths both are
  // 500.
  for (double base : {1.0, 2.0, 1000.0, 123456.0}) {
    EXPECT_EQ(stats::Judge(base, 0, base + 0.05, 0), Verdict::SLOWER) << base;
    EXPECT_EQ(stats::Judge(base + 0.05, 0, base, 0), Verdict::FASTER) << base;
  }
  // Uncertainties past what squares in 64 bits: the bound, 2 x 500000, still holds to a cycle.
  EXPECT_EQ(stats::Judge(1e6, 3e5, 2e6, 4e5), Verdict::SAME);
  EXPECT_EQ(stats::Judge(1e6, 3e5, 2e6 + 1, 4e5), Verdict::SLOWER);
}

TEST(VerdictRule, AFiguresUncertaintyIsTakenAsAtLeastItsMeasuresNoiseFloor) {
  // Both figures' own uncertainties are 0 by chance; the floors 0.05 make the bound 0.1414.
  stats::ResultRecord base = stats_test::HandMadeRecord(3, 0);
  stats::ResultRecord other = stats_test::HandMadeRecord(3.14, 0);
  base.measures[0].noise_floor_cycles = other.measures[0].noise_floor_cycles = 0.05;
  EXPECT_EQ(CompareTwo(base, other).tables[0].rows[0].cells[1].verdict, Verdict::SAME);
  other = stats_test::HandMadeRecord(3.15, 0);
  other.measures[0].noise_floor_cycles = 0.05;
  const stats::ComparedCell cell = CompareTwo(base, other).tables[0].rows[0].cells[1];
  EXPECT_EQ(cell.verdict, Verdict::SLOWER);
  EXPECT_EQ(cell.uncertainty, 0) << "the figure's own uncertainty is what it shows";
}

TEST(VerdictRule, AFigureMeasuredOnASharedCoreIsTheSameAsAnyOther) {
  // As two sweeps of one machine read when one CPU's core had a busy other thread.
  stats::ResultRecord shared = stats_test::HandMadeRecord(3.9, 0.02);
  for (stats::RecordKernel& kernel : shared.kernels) {
    for (stats::RecordFigure& figure : kernel.figures) figure.shared_core = true;
  }
  EXPECT_EQ(
      CompareTwo(stats_test::HandMadeRecord(3, 0.02), shared).tables[0].rows[0].cells[1].verdict,
      Verdict::SAME);
  EXPECT_EQ(
      CompareTwo(shared, stats_test::HandMadeRecord(3, 0.02)).tables[0].rows[0].cells[1].verdict,
      Verdict::SAME)
      << "as baseline too";
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
  other.schema_minor = 0;
  other.settings.precision_cycles = 0.05;
  other.settings.measures = {"latency", "throughput"};
  other.settings.rounds = 10;
  const stats::Comparison comparison = CompareTwo(base, other);
  EXPECT_EQ(comparison.notes,
            (std::vector<std::string>{
                "other.json: schema version 1.0, the baseline's 1.3: its figures may be "
                "estimated in another way",
                "other.json: measures latency,throughput, the baseline's latency",
                "other.json: precision 0.050 cycle, the baseline's 0.020",
                "other.json: rounds 10, the baseline's until the precision"}));
}

TEST(Comparison, EveryFileWhoseFiguresAreNotAllPreciseIsNotedWithWhy) {
  const auto notes = [](const std::string& end, bool waited, bool shared) {
    stats::ResultRecord record = stats_test::HandMadeRecord();
    record.left_out.clear();
    record.measures[0].end = end;
    record.measures[0].waited = waited;
    record.kernels[1].figures[0].precise = false;
    record.kernels[1].figures[0].shared_core = shared;
    return stats::Compare({{"base.json", stats_test::HandMadeRecord()}, {"f.json", record}}).notes;
  };
  const std::string counted = "f.json: latency: 1 of 4 figures short of the precision, 0.020 cycle";
  const std::string wider = "; their uncertainties are wider";
  EXPECT_EQ(
      notes("rounds_done", false, false),
      (std::vector<std::string>{"base.json: left out, not measured: bad: it faulted",
                                counted + ": it ended after the 52 rounds asked for" + wider}));
  EXPECT_EQ(notes("time_up", false, false).at(1), counted + ": its time was up" + wider);
  EXPECT_EQ(notes("time_up", true, false).at(1),
            counted + ": its wait for quieter rounds was up" + wider);
  EXPECT_EQ(notes("precise", false, true).at(1),
            counted +
                ": 1 measured on a shared core (its other thread was busy), which give no "
                "verdict");
  // Time up with every figure precise all the same: nothing to note.
  stats::ResultRecord record = stats_test::HandMadeRecord();
  record.measures[0].end = "time_up";
  EXPECT_EQ(CompareTwo(record, record).notes,
            (std::vector<std::string>{"base.json: left out, not measured: bad: it faulted",
                                      "other.json: left out, not measured: bad: it faulted"}));
}

}  // namespace

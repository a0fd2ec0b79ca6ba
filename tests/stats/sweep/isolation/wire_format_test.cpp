// The measuring process's report, read back as what it is: lines from a process that ran user
// bytes. Whole reports come back as sent; anything garbled, cut short or out of range is refused.
#include "stats/sweep/isolation/wire_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "stats/sweep/isolation/beacon.h"
#include "stats/sweep/placed/blocks.h"

namespace {

using stats::SweepMeasure;

// Three kernels over the call loop and two over the latency blocks, every cell filled.
stats::SweepResult KernelsOverTwoMeasures() {
  stats::SweepResult result;
  result.slowest_clock_ghz = 2.5;
  result.fastest_clock_ghz = 3.25;
  result.median_clock_ghz = 3.0;
  for (SweepMeasure which : {SweepMeasure::CALL, SweepMeasure::LATENCY}) {
    stats::MeasureResult& measure = result.measures.emplace_back();
    measure.measure = which;
    measure.grid = stats::GridFor(which);
    measure.chunk_length = 700;
    measure.copies = which == SweepMeasure::CALL ? 1 : stats::COPIES_PER_BLOCK;
    measure.pairs = 5;
    measure.rounds = 40;
    measure.end = stats::RoundsRecord::PRECISE;
    measure.noise_floor_cycles = 0.5;
    measure.slowest_clock_ghz = which == SweepMeasure::CALL ? 2.5 : 2.75;
    measure.fastest_clock_ghz = which == SweepMeasure::CALL ? 3.0 : 3.25;
    measure.kernels =
        which == SweepMeasure::CALL ? std::vector<size_t>{0, 1, 2} : std::vector<size_t>{0, 2};
    if (which == SweepMeasure::LATENCY) measure.refusals = {"b: its inline copy faults"};
    for (stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
      for (size_t kernel : measure.kernels) {
        for (size_t placement = 0; placement < measure.grid.size(); ++placement) {
          const double cycles = 1.0 / 3 + static_cast<double>(kernel + placement);
          measure.samples.push_back(
              {pass, kernel, placement, cycles / 3, cycles, cycles - 0.5, cycles + 0.5});
        }
      }
    }
  }
  return result;
}

const stats::ReportExpected EXPECTED = {
    {"a", "b", "c"}, {{SweepMeasure::CALL, {0, 1, 2}}, {SweepMeasure::LATENCY, {0, 2}}}};

std::string Report(const stats::SweepResult& result) {
  return stats::MeasureLines(result, 0) + stats::MeasureLines(result, 1) + stats::END_LINE;
}

// `text` with the first `from` after `after` replaced by `to`.
std::string Replaced(std::string text, const std::string& after, const std::string& from,
                     const std::string& to) {
  const size_t at = text.find(from, text.find(after));
  return text.replace(at, from.size(), to);
}

TEST(WireFormat, ReadsBackEveryMeasureAndFigureExactlyAsSent) {
  const stats::SweepResult sent = KernelsOverTwoMeasures();
  const stats::ReportReadBack read = stats::ReadReportBack(Report(sent), EXPECTED);
  ASSERT_EQ(read.problem, "");
  EXPECT_TRUE(read.complete);
  EXPECT_EQ(read.median_clock_ghz, 3.0);
  ASSERT_EQ(read.measures.size(), 2u);
  for (size_t m = 0; m < 2; ++m) {
    const stats::MeasureResult &got = read.measures[m], &want = sent.measures[m];
    EXPECT_EQ(got.measure, want.measure);
    EXPECT_EQ(got.grid.size(), want.grid.size());
    EXPECT_EQ(got.kernels, want.kernels);
    EXPECT_EQ(got.refusals, want.refusals);
    EXPECT_EQ(got.noise_floor_cycles, want.noise_floor_cycles);
    EXPECT_EQ(got.slowest_clock_ghz, want.slowest_clock_ghz) << "each measure's own clocks";
    EXPECT_EQ(got.fastest_clock_ghz, want.fastest_clock_ghz);
    ASSERT_EQ(got.samples.size(), want.samples.size());
    for (size_t s = 0; s < got.samples.size(); ++s) {
      EXPECT_EQ(got.samples[s].kernel, want.samples[s].kernel);
      EXPECT_EQ(got.samples[s].net_cycles, want.samples[s].net_cycles) << "all 17 digits";
      EXPECT_EQ(got.samples[s].second_half_cycles, want.samples[s].second_half_cycles);
    }
  }
}

TEST(WireFormat, KeepsTheMeasuresThatEndedBeforeAFailureAndLeavesItsLineToOthers) {
  const stats::SweepResult sent = KernelsOverTwoMeasures();
  const stats::ReportReadBack read =
      stats::ReadReportBack(stats::MeasureLines(sent, 0) + "system call 62\n", EXPECTED);
  EXPECT_EQ(read.problem, "");
  EXPECT_FALSE(read.complete);
  ASSERT_EQ(read.measures.size(), 1u);
  EXPECT_EQ(read.measures[0].measure, SweepMeasure::CALL);
  // Bytes a kernel wrote to the report spoil what follows them, not what came before.
  const stats::ReportReadBack spoilt =
      stats::ReadReportBack(stats::MeasureLines(sent, 0) + "garbage\n" + Report(sent), EXPECTED);
  EXPECT_EQ(spoilt.problem, "line 388: unexpected");
  EXPECT_EQ(spoilt.measures.size(), 1u);
}

TEST(WireFormat, RefusesGarbledTruncatedAndOutOfRangeReportsNamingTheLine) {
  const std::string good = Report(KernelsOverTwoMeasures());
  const size_t second = good.find("measure latency");
  struct Bad {
    std::string report, problem;
  };
  std::vector<Bad> bad = {
      {"measure call 700 1 5 40 0 x 0 0 0 0 1 2\n", "line 1: a measure's settings out of range"},
      {good.substr(0, second + 300), "line 393: a measure cut short"},
      {good.substr(0, good.size() - 20), "a measure cut short"},
      {"hello\n" + good, "line 1: unexpected"},
      // A report that drops a kernel, adds one, or times one the measure refuses.
      {Replaced(good, "", "0 0 0 0 1 2\n", "0 0 0 0 1 3\n"), "line 1: other kernels than"},
      {Replaced(good, "", "0 0 0 0 1 2\n", "0 0 0 0 2 1\n"), "line 1: other kernels than"},
      {Replaced(good, "", "0 0 0 0 1 2\n", "0 0 0 0 0 2\n"), "line 1: other kernels than"},
      {Replaced(good, "latency", "0.5 0 0 0 0 2\n", "0.5 0 0 0 0 1 2\n"), "other kernels than"},
      {Replaced(good, "latency", "0.5 0 0 0 0 2\n", "0.5 0 0 0 0\n"), "other kernels than"},
      {Replaced(good, "latency", "0.5 0 0 0 0 2\n", "0.5 0 0 0 0 2 x\n"), "a kernel index unread"},
      {Replaced(good, "", "refusal b: its inline copy faults\n", ""), "no refusal of b"},
      {Replaced(good, "refusal", "refusal b:", "refusal a:"), "a refusal of no kernel the"},
      {Replaced(good, "refusal", "refusal b: its inline copy faults\n",
                "refusal b: its inline copy faults\nrefusal b: twice\n"),
       "a refusal of no kernel the"},
      {Replaced(good, "", "40 0 0.5 0 0 0", "40 0 0.5 41 0 0"), "settings out of range"},
      {Replaced(good, "", "40 0 0.5 0 0 0", "40 0 0.5 0 2 0"), "settings out of range"},
      {Replaced(good, "", "40 0 0.5", "40 9 0.5"), "settings out of range"},
      {Replaced(good, "latency", "latency 700 32", "latency 700 1"), "settings out of range"},
      {Replaced(good, "", "s 0 0 3 ", "s 0 0 64 "), "line 5: a sample out of its place"},
      {Replaced(good, "", "s 1 ", "s 2 "), "a sample out of its place"},
      {Replaced(good, "", "s 0 0 3 ", "s 0 0 3 1e5x"), "line 5: a sample's figure unreadable"},
      {Replaced(good, "refusal", "refusal b:", "refusal z:"), "a refusal of no kernel"},
      {Replaced(good, "", "clock 2.5", "clock -2.5"), "a clock out of range"},
      {Replaced(good, "", "measure call", "measure latency"), "line 1: expected the measure call"},
      {Replaced(good, "", "s 0 2 63 ", "clock 1 1 1 1 1\ndone\ns 0 2 63 "), "fewer samples than"},
      {good + "end\n", "more after the end"},
      {"state it changed MXCSR from 1F80 to 0000\n" + good, "line 1: more after a failure's own"},
      {"system call 62\n" + good, "line 1: more after a failure's own line"},
      {stats::ErrorLine("it broke") + good, "line 2: more after the sweep's own failure"},
      {good.substr(0, second) + good.substr(0, second), "expected the measure latency"},
  };
  stats::SweepResult infinite = KernelsOverTwoMeasures();
  infinite.measures[0].samples[3].net_cycles = INFINITY;
  bad.push_back({Report(infinite), "line 5: a sample's figure unreadable"});
  stats::SweepResult not_a_number = KernelsOverTwoMeasures();
  not_a_number.measures[0].samples[3].second_half_cycles = NAN;
  bad.push_back({Report(not_a_number), "line 5: a sample's figure unreadable"});
  for (const auto& report : bad) {
    const stats::ReportReadBack read = stats::ReadReportBack(report.report, EXPECTED);
    EXPECT_NE(read.problem.find(report.problem), std::string::npos)
        << "wanted: " << report.problem << "\ngot: " << read.problem;
    EXPECT_FALSE(read.complete) << report.problem;
  }
}

TEST(Beacon, NamesOnlyCellsThatExistInTheSweepThatRuns) {
  stats::Beacon beacon;
  ASSERT_TRUE(beacon.ok());
  const std::vector<stats::MeasureKernels> call = {{SweepMeasure::CALL, {0, 1, 2}}};
  EXPECT_FALSE(beacon.Named(0, call)) << "nothing named yet";
  beacon.Enter(SweepMeasure::CALL, 2, 63);
  beacon.Enter(SweepMeasure::CALL, -1, 5);
  const auto last = beacon.Named(0, call), before = beacon.Named(1, call);
  ASSERT_TRUE(last && before);
  EXPECT_EQ(last->kernel, -1);
  EXPECT_EQ(last->placement, 5u);
  EXPECT_EQ(before->kernel, 2);
  EXPECT_EQ(before->placement, 63u);
  EXPECT_FALSE(beacon.Named(1, {{SweepMeasure::CALL, {0, 1}}})) << "a kernel past the sweep's";
  EXPECT_FALSE(beacon.Named(0, {{SweepMeasure::LATENCY, {0, 1, 2}}})) << "a measure not asked for";
  beacon.Enter(SweepMeasure::CALL, 0, 64);
  EXPECT_FALSE(beacon.Named(0, call)) << "a placement past the grid";
  // Latency leaves kernel 1 out (its inline copy is refused): a cell of it never ran there.
  const std::vector<stats::MeasureKernels> both = {{SweepMeasure::CALL, {0, 1, 2}},
                                                   {SweepMeasure::LATENCY, {0, 2}}};
  beacon.Enter(SweepMeasure::LATENCY, 1, 3);
  EXPECT_FALSE(beacon.Named(0, both)) << "a kernel the measure does not time";
  beacon.Enter(SweepMeasure::CALL, 1, 3);
  EXPECT_TRUE(beacon.Named(0, both)) << "the same kernel in the call loop";
  beacon.Count(500, 100, false);
  EXPECT_EQ(beacon.total(), 500u) << "the visits done never pass the total";
}

}  // namespace

// What the sweep prints, from a result made by hand.
#include "stats/sweep/output/table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "stats/sweep/output/csv.h"
#include "stats/sweep/output/layout_verdict.h"
#include "stats/sweep/output/noise.h"

namespace {

// Two kernels over 64 placements: "placed" a cycle slower at every fourth placement in both
// halves, "noisy" a cycle slower at a quarter of the placements in one half only.
stats::Procedure Kernel(const std::string& name, const std::string& words, int table_row = -1) {
  stats::Procedure kernel;
  kernel.name = name;
  kernel.words = words;
  kernel.table_row = table_row;
  return kernel;
}

stats::MeasureResult HandMadeMeasure(stats::SweepMeasure which, double noise_floor_cycles) {
  stats::MeasureResult measure;
  measure.measure = which;
  measure.grid = stats::GridFor(stats::SweepMeasure::CALL);
  measure.chunk_length = 3456;
  measure.pairs = 5;
  measure.rounds = 12;
  measure.end = stats::RoundsRecord::TIME_UP;
  measure.kernels = {0, 1};
  measure.noise_floor_cycles = noise_floor_cycles;
  for (stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
    for (size_t placement = 0; placement < measure.grid.size(); ++placement) {
      const double placed = placement % 4 == 3 ? 1 : 0;
      measure.samples.push_back({pass, 0, placement, 250 * placed, placed, placed, placed});
      const double burst = placement % 4 == 1 ? 1 : 0;
      measure.samples.push_back({pass, 1, placement, 0, 0, burst, 0});
    }
  }
  measure.figures = stats::FiguresOf(measure.samples, 0.02, false);
  return measure;
}

stats::SweepResult HandMadeSweep(double noise_floor_cycles) {
  stats::SweepResult sweep;
  sweep.kernels = {Kernel("placed", "placed words"), Kernel("noisy", "noisy words")};
  sweep.slowest_clock_ghz = 2.8;
  sweep.fastest_clock_ghz = 3.8;
  sweep.median_clock_ghz = 2.0;
  sweep.measures = {HandMadeMeasure(stats::SweepMeasure::CALL, noise_floor_cycles)};
  return sweep;
}

std::string LineWith(const std::string& text, const std::string& part) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(part) != std::string::npos) return line;
  }
  return "";
}

TEST(FormatSweepTable, MarksOnlyTheKernelWhosePlacementEffectRepeatsInBothHalves) {
  const std::string table = stats::FormatSweepTable(HandMadeSweep(0.01), {"a processor", "", true});
  EXPECT_NE(LineWith(table, "placed words").find("25%  layout-sensitive"), std::string::npos)
      << table;
  EXPECT_EQ(LineWith(table, "noisy words").find("layout-sensitive"), std::string::npos) << table;
  EXPECT_NE(table.find("12 rounds of 5 pairs of 3456 calls"), std::string::npos) << table;
  EXPECT_NE(table.find("core clock: 2.80 to 3.80 GHz seen; no figure depends on it"),
            std::string::npos)
      << table;
}

TEST(NoiseLines, GiveTheFloorAndWhatEndedTheRoundsAndSayPlainlyWhenTheHostIsTooNoisy) {
  const std::string quiet = stats::NoiseLines(HandMadeSweep(0.25), HandMadeSweep(0.25).measures[0]);
  EXPECT_EQ(quiet.rfind("noise: 0.250 cycle typical, at most 0.000 (placed, positive pass): ", 0),
            0u)
      << quiet;
  EXPECT_NE(quiet.find("first 6 and the last 6 rounds; ended when its time was up, every figure "
                       "within the precision asked for, 0.020 cycle, but not yet on enough rounds "
                       "to end on it"),
            std::string::npos)
      << "not a count of none short of it: " << quiet;
  EXPECT_EQ(quiet.find("too noisy"), std::string::npos) << quiet;
  stats::SweepResult precise = HandMadeSweep(0.01);
  precise.measures[0].end = stats::RoundsRecord::PRECISE;
  EXPECT_NE(stats::NoiseLines(precise, precise.measures[0])
                .find("ended when every figure reached the precision asked for, 0.020 cycle"),
            std::string::npos);

  const std::string noisy = stats::NoiseLines(HandMadeSweep(0.4), HandMadeSweep(0.4).measures[0]);
  EXPECT_NE(noisy.find("\nnoise: this host is too noisy for fine distinctions"), std::string::npos)
      << noisy;
  EXPECT_NE(noisy.find("--seconds"), std::string::npos) << "it says how to get more precision";
}

TEST(NoiseLines, NameTheLeastPreciseKernelAndSayWhenThroughputIsThatOfASharedCore) {
  stats::SweepResult sweep = HandMadeSweep(0.01);
  stats::MeasureResult& measure = sweep.measures[0];
  measure.measure = stats::SweepMeasure::THROUGHPUT;
  measure.end = stats::RoundsRecord::WAITED_OUT;
  measure.shared_rounds = 4;
  for (stats::SweepSample& sample : measure.samples) {
    if (sample.kernel == 1 && sample.pass == stats::NEGATIVE) sample.first_half_cycles = 0.3;
  }
  measure.figures = stats::FiguresOf(measure.samples, 0.02, false);
  const std::string lines = stats::NoiseLines(sweep, measure);
  EXPECT_NE(lines.find("typical, at most 0.300 (noisy, negative pass)"), std::string::npos)
      << lines;
  EXPECT_NE(lines.find("first 4 and the last 4 rounds (4 rounds on a shared core left out); ended "
                       "when its wait for quieter "
                       "rounds was up, short of the precision asked for, 0.020 cycle, in 1 of 4"),
            std::string::npos)
      << lines;
  EXPECT_EQ(lines.find("other thread was busy"), std::string::npos) << lines;

  measure.figures = stats::FiguresOf(measure.samples, 0.02, true);
  const std::string shared = stats::NoiseLines(sweep, measure);
  EXPECT_NE(shared.find("\nnoise: this core's other thread was busy: throughput is that of a "
                        "shared core\n"),
            std::string::npos)
      << shared;
  EXPECT_EQ(shared.find("left out"), std::string::npos) << "too few were free to leave any out";
  const std::string table = stats::FormatSweepTable(sweep, {"a processor", "", true});
  const std::string negative = table.substr(table.find("\nnegative pass"));
  EXPECT_NE(LineWith(negative, "noisy words").find("not precise: +-0.300 on a shared core"),
            std::string::npos)
      << table;
}

TEST(FormatFixedAgainstPlacement, FindsTheBenchmarksKernelsByTheirTableRowWhereverTheyStand) {
  stats::SweepResult sweep = HandMadeSweep(0.01);
  // A user's kernel first, then abs3 from the table: nothing at the start is the table's.
  sweep.kernels = {Kernel("mine", "mine"), Kernel("abs3", "abs3 words", 3)};
  stats::RunSet runs;
  runs.reports.resize(1);
  runs.reports[0].net_ms[stats::POSITIVE][3] = 1000;  // two cycles at 2 GHz; the sweep says 0
  const std::string lines =
      stats::FormatFixedAgainstPlacement(runs, stats::ComputeFigures(runs), sweep);
  EXPECT_EQ(lines.find("mine"), std::string::npos) << "the benchmark has no figure for it";
  const std::string abs3 = LineWith(lines, "positive  abs3 words");
  EXPECT_NE(abs3.find("1000"), std::string::npos) << lines;
  EXPECT_NE(abs3.find("+2.00  not enough runs to tell; about 3 would"), std::string::npos) << lines;
}

TEST(JudgeFixedLayout, CallsADifferenceAnEffectOnlyWhenTheRunsAgreeMoreCloselyThanThat) {
  using Verdict = stats::FixedLayoutVerdict;
  // Two runs 1.5 cycles apart, their median a cycle from the placements: noise can do that.
  const Verdict two = stats::JudgeFixedLayout({-1.9, -0.4}, 0);
  EXPECT_EQ(two.kind, Verdict::CANNOT_TELL);
  EXPECT_GT(two.runs_needed, 2);
  // Five runs that agree within a few hundredths, a cycle away: where the code landed.
  EXPECT_EQ(stats::JudgeFixedLayout({1.02, 0.98, 1.01, 1.0, 0.99}, 0).kind,
            Verdict::EFFECT_OF_PLACEMENT);
  EXPECT_EQ(stats::JudgeFixedLayout({0.3, -0.2, 0.1}, 0).kind, Verdict::SAME);
  EXPECT_EQ(stats::JudgeFixedLayout({1.5}, 0).kind, Verdict::CANNOT_TELL) << "no spread to see";
}

TEST(FormatSweepTable, GivesAColumnPerMeasureRankedByTheFirstAndNamesEachNoiseFloor) {
  stats::SweepResult sweep = HandMadeSweep(0.01);
  stats::MeasureResult latency = HandMadeMeasure(stats::SweepMeasure::LATENCY, 0.02);
  latency.copies = 16;
  for (stats::SweepSample& sample : latency.samples) {
    // "noisy" is the slower here: two cycles a copy everywhere.
    if (sample.kernel == 1) {
      sample.net_ms = 1000;
      sample.net_cycles = sample.first_half_cycles = sample.second_half_cycles = 2;
    }
  }
  sweep.measures.push_back(latency);
  const std::string table = stats::FormatSweepTable(sweep, {"a processor", "", true});
  EXPECT_NE(table.find("absbench-stats --sweep: call and latency, seed"), std::string::npos)
      << table;
  EXPECT_NE(table.find("\nnoise: call 0.010 cycle typical, "), std::string::npos) << table;
  EXPECT_NE(table.find("\nnoise: latency 0.020 cycle per copy typical, "), std::string::npos)
      << table;
  EXPECT_NE(table.find("ranked by call (\"=\": a rank shared by kernels the same within their "
                       "uncertainties)\nrank  kernel"),
            std::string::npos)
      << table;
  const std::string placed = LineWith(table, "placed words");
  EXPECT_NE(placed.find("0.00        0.00  layout-sensitive: call, latency"), std::string::npos)
      << table;
  EXPECT_NE(LineWith(table, "noisy words").find("0.00        2.00"), std::string::npos) << table;

  const std::string csv = stats::FormatSweepCsv(sweep);
  EXPECT_EQ(csv.rfind("pass,kernel,loop_offset,kernel_offset,net_ms,net_cycles,measure,", 0), 0u);
  EXPECT_NE(csv.find("\nnegative,noisy,60,48,1000.000,2.0000,latency,"), std::string::npos);
}

TEST(FormatSweepTable, RanksKernelsAlikeOnlyWhenTheirFiguresDifferByMoreThanTheirUncertainties) {
  // Each kernel the same at every placement, its halves a given distance apart: its uncertainty.
  auto sweep_of = [](double second_net, double second_halves_apart) {
    stats::SweepResult sweep = HandMadeSweep(0.01);
    stats::MeasureResult& measure = sweep.measures[0];
    for (stats::SweepSample& sample : measure.samples) {
      const double net = sample.kernel == 1 ? second_net : 0;
      const double apart = sample.kernel == 1 ? second_halves_apart : 0;
      sample.net_cycles = net;
      sample.first_half_cycles = net - apart / 2;
      sample.second_half_cycles = net + apart / 2;
    }
    measure.figures = stats::FiguresOf(measure.samples, 0.02, false);
    return stats::FormatSweepTable(sweep, {"a processor", "", true});
  };
  // 0.05 apart with uncertainties of 0 and 0.02: past twice their root sum of squares.
  const std::string apart = sweep_of(0.05, 0.02);
  EXPECT_EQ(LineWith(apart, "placed words").rfind("   1  ", 0), 0u) << apart;
  EXPECT_EQ(LineWith(apart, "noisy words").rfind("   2  ", 0), 0u) << apart;
  // 0.03 apart with the same uncertainties: within 0.04, so the two share the first rank.
  const std::string alike = sweep_of(0.03, 0.02);
  EXPECT_EQ(LineWith(alike, "placed words").rfind("  1=  ", 0), 0u) << alike;
  EXPECT_EQ(LineWith(alike, "noisy words").rfind("  1=  ", 0), 0u) << alike;
}

}  // namespace

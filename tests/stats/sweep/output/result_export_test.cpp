// A sweep's findings as a result record: its figures, their uncertainty and the kernels' code.
#include "stats/sweep/output/result_export.h"

#include <gtest/gtest.h>

#include <regex>

#include "stats/system/machine.h"

namespace {

// "plain" measured for call and latency; "inline_refused" for call only.
stats::SweepResult CallAndLatencyOfTwoKernels() {
  stats::SweepResult sweep;
  sweep.kernels = {{"plain", "plain", {0x0f, 0xaf, 0xc0, 0xc3}, -1, {}, "", "imul eax, eax"},
                   {"inline_refused", "inline_refused", {0xc3}, 3, {}, "it branches", ""}};
  sweep.settings.measures = {stats::SweepMeasure::CALL, stats::SweepMeasure::LATENCY};
  sweep.settings.cpu = 5;
  sweep.settings.seed = 42;
  for (stats::SweepMeasure which : sweep.settings.measures) {
    stats::MeasureResult& measure = sweep.measures.emplace_back();
    measure.measure = which;
    measure.grid = stats::GridFor(stats::SweepMeasure::CALL);
    measure.end = which == stats::SweepMeasure::CALL ? stats::RoundsRecord::PRECISE
                                                     : stats::RoundsRecord::TIME_UP;
    const size_t kernels = which == stats::SweepMeasure::CALL ? 2 : 1;
    if (kernels == 1) measure.refusals = {"inline_refused: it branches"};
    for (size_t kernel = 0; kernel < kernels; ++kernel) {
      for (size_t placement = 0; placement < measure.grid.size(); ++placement) {
        // The first half a tenth of a cycle above the second at every placement.
        const double net = 3 + (placement % 2 == 0 ? 0.5 : 0);
        measure.samples.push_back(
            {stats::POSITIVE, kernel, placement, 0, net, net + 0.05, net - 0.05});
      }
    }
    measure.figures = stats::FiguresOf(measure.samples, 0.02, false);
  }
  return sweep;
}

TEST(FiguresOf, GiveEachMeasuredFigureTheDistanceBetweenItsHalvesMedians) {
  const stats::SweepResult sweep = CallAndLatencyOfTwoKernels();
  const auto figures = stats::FiguresOf(sweep.measures[0].samples, 0.02, false);
  ASSERT_EQ(figures.size(), 2u) << "a pass not measured has no figure to be uncertain about";
  EXPECT_NEAR(figures[0].uncertainty_cycles, 0.1, 1e-9);
  EXPECT_FALSE(figures[0].precise);
}

TEST(SweepRecord, HoldsEachMeasuredFigureWithItsCellsAndEachKernelsCode) {
  stats::MachineFacts machine;
  machine.priority_raise_allowed = true;
  stats::ProcessorFacts processor;
  processor.microarchitecture = "Zen 5";
  const stats::ResultRecord record = stats::RecordOfSweep(CallAndLatencyOfTwoKernels(), machine,
                                                          processor, "2025-01-31T12:00:00Z");
  EXPECT_EQ(record.machine.microarchitecture, "Zen 5");
  EXPECT_EQ(record.machine.pinned_cpu, 5);
  EXPECT_TRUE(record.machine.priority_raise_allowed);
  EXPECT_EQ(record.settings.measures, (std::vector<std::string>{"call", "latency"}));
  EXPECT_EQ(record.settings.seconds, 12) << "the cap in force, not the 0 that means a default";
  ASSERT_EQ(record.measures.size(), 2u);
  EXPECT_EQ(record.measures[0].end, "precise");
  EXPECT_EQ(record.measures[1].end, "time_up");
  ASSERT_EQ(record.kernels.size(), 2u);
  EXPECT_EQ(record.kernels[0].bytes_hex, "0fafc0c3");
  EXPECT_EQ(record.kernels[0].assembly, "imul eax, eax");
  ASSERT_EQ(record.kernels[0].figures.size(), 2u) << "the positive pass of each measure";
  const stats::RecordFigure& figure = record.kernels[0].figures[1];
  EXPECT_EQ(figure.measure, "latency");
  EXPECT_DOUBLE_EQ(figure.median_cycles, 3.25);
  EXPECT_NEAR(figure.uncertainty_cycles, 0.1, 1e-9);
  EXPECT_DOUBLE_EQ(figure.iqr_cycles, 0.5);
  ASSERT_EQ(figure.cells.size(), 64u);
  EXPECT_EQ(figure.cells[5].placement, 5u);
  EXPECT_EQ(figure.cells[5].loop_offset, stats::GridFor(stats::SweepMeasure::CALL)[5].loop_offset);
  EXPECT_FALSE(figure.predicted_cycles.has_value());
  EXPECT_EQ(record.kernels[1].figures.size(), 1u) << "latency left it out";
  EXPECT_EQ(record.left_out, std::vector<std::string>{"latency: inline_refused: it branches"});
}

TEST(SweepRecord, IsDatedInUtc) {
  EXPECT_TRUE(std::regex_match(
      stats::UtcNow(),
      std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]Z")));
}

}  // namespace

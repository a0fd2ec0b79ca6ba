// The sweep's chart: every text inside the picture, and a key for every mark it draws.
#include "stats/sweep/output/chart.h"

#include <gtest/gtest.h>

#include "stats/sweep/placed/procedures.h"
#include "tests/stats/text/svg_text_fit.h"

namespace {

stats::SweepResult PredictedLatency(const std::string& user_kernel) {
  stats::SweepResult sweep;
  for (const stats::Procedure& kernel : stats::TableProcedures()) sweep.kernels.push_back(kernel);
  sweep.kernels.back().name = user_kernel;
  sweep.settings.measures = {stats::SweepMeasure::LATENCY};
  sweep.slowest_clock_ghz = 2.71;
  sweep.fastest_clock_ghz = 3.84;
  sweep.predicted = true;
  stats::MeasureResult& measure = sweep.measures.emplace_back();
  measure.measure = stats::SweepMeasure::LATENCY;
  measure.grid = stats::GridFor(stats::SweepMeasure::CALL);
  for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
    for (stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
      for (size_t placement = 0; placement < measure.grid.size(); ++placement) {
        const double cycles = 1 + static_cast<double>(kernel % 3);
        measure.samples.push_back({pass, kernel, placement, 0, cycles, cycles, cycles});
      }
      sweep.model.entries.push_back(
          {stats::SweepMeasure::LATENCY, pass, sweep.kernels[kernel].name, {true, 2, ""}});
    }
  }
  return sweep;
}

TEST(SweepChart, EveryTextFitsInsideThePictureWithALongProcessorAndKernelName) {
  stats::MachineFacts machine;
  machine.processor = "Intel(R) Xeon(R) Platinum 8488C CPU @ 2.40GHz with a very long name";
  const std::string svg = stats::FormatSweepSvg(PredictedLatency("a_sixteen_chars_"), machine);
  EXPECT_EQ(stats_test::TextsOutside(svg), std::vector<std::string>{});
}

TEST(SweepChart, TheKeySaysWhatTheBoxesAndTheRedDiamondsAre) {
  const std::string svg = stats::FormatSweepSvg(PredictedLatency("mine"), stats::MachineFacts{});
  EXPECT_NE(svg.find(">boxes: quartiles over the placements; lines: medians; whiskers: range<"),
            std::string::npos);
  EXPECT_NE(svg.find("fill=\"#d62728\"/>\n<text x=\"710\" y=\"500\">llvm-mca's prediction</text>"),
            std::string::npos)
      << svg.substr(svg.size() - 2000);
}

}  // namespace

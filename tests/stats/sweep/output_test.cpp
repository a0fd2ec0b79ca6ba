// What the sweep prints, from a result made by hand.
#include "stats/sweep/output.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Two kernels over 64 placements at 2 GHz (500 ms per 1e9 calls is a cycle): "placed" a cycle
// slower at every fourth placement in both halves, "noisy" a cycle slower at a quarter of the
// placements in one half only.
stats::SweepResult HandMadeSweep(double noise_floor_cycles) {
  stats::SweepResult sweep;
  sweep.kernels = {{"placed", "placed words", {}}, {"noisy", "noisy words", {}}};
  sweep.grid = stats::DefaultGrid();
  sweep.settings.rounds = 12;
  sweep.settings.calls = 345678;
  sweep.clock_ghz = 2.0;
  sweep.slowest_clock_ghz = 1.9;
  sweep.noise_floor_cycles = noise_floor_cycles;
  for (stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
    for (size_t placement = 0; placement < sweep.grid.size(); ++placement) {
      const double placed = placement % 4 == 3 ? 500 : 0;
      sweep.samples.push_back({pass, 0, placement, placed, placed, placed});
      const double burst = placement % 4 == 1 ? 500 : 0;
      sweep.samples.push_back({pass, 1, placement, 0, burst, 0});
    }
  }
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
  EXPECT_NE(table.find("12 rounds of 345678 calls each"), std::string::npos) << table;
  EXPECT_NE(table.find("core clock: about 2.00 GHz, the fastest of 12 rounds (1.90 to 2.00 GHz"),
            std::string::npos)
      << table;
}

TEST(NoiseLines, GiveTheFloorWithRoundsAndCallsAndSayPlainlyWhenTheHostIsTooNoisy) {
  const std::string quiet = stats::NoiseLines(HandMadeSweep(0.25));
  EXPECT_EQ(quiet.rfind("noise: 0.250 cycle, ", 0), 0u) << quiet;
  EXPECT_NE(quiet.find("first 6 and the last 6 rounds over 256 cells (12 rounds of 345678 calls)"),
            std::string::npos)
      << quiet;
  EXPECT_EQ(quiet.find("too noisy"), std::string::npos) << quiet;

  const std::string noisy = stats::NoiseLines(HandMadeSweep(0.4));
  EXPECT_NE(noisy.find("\nnoise: this host is too noisy for fine distinctions"), std::string::npos)
      << noisy;
  EXPECT_NE(noisy.find("--seconds"), std::string::npos) << "it says how to get more precision";
}

TEST(FormatFixedAgainstPlacement, FindsTheBenchmarksKernelsByTheirTableRowWhereverTheyStand) {
  stats::SweepResult sweep = HandMadeSweep(0.01);
  // A user's kernel first, then abs3 from the table: nothing at the start is the table's.
  sweep.kernels = {{"mine", "mine", {}}, {"abs3", "abs3 words", {}, 3}};
  stats::RunSet runs;
  runs.reports.resize(1);
  runs.reports[0].net_ms[stats::POSITIVE][3] = 1000;  // two cycles at 2 GHz; the sweep says 0
  const std::string lines =
      stats::FormatFixedAgainstPlacement(runs, stats::ComputeFigures(runs), sweep);
  EXPECT_EQ(lines.find("mine"), std::string::npos) << "the benchmark has no figure for it";
  const std::string abs3 = LineWith(lines, "positive  abs3 words");
  EXPECT_NE(abs3.find("1000"), std::string::npos) << lines;
  EXPECT_NE(abs3.find("+2.00  an effect of where the code lands"), std::string::npos) << lines;
}

}  // namespace

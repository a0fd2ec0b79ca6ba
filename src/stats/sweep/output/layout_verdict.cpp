#include "stats/sweep/output/layout_verdict.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "stats/math/statistics.h"
#include "stats/sweep/output/sweep_figures.h"
#include "stats/text/format.h"

namespace stats {

FixedLayoutVerdict JudgeFixedLayout(const std::vector<double>& runs_cycles, double placed_cycles) {
  const double difference = std::abs(Quantile(runs_cycles, 0.5) - placed_cycles);
  if (difference <= 0.5) return {};
  const size_t runs = runs_cycles.size();
  if (runs < 2) return {FixedLayoutVerdict::CANNOT_TELL, 3};  // one run shows no spread
  double mean = 0, squares = 0;
  for (double run : runs_cycles) mean += run / static_cast<double>(runs);
  for (double run : runs_cycles) squares += (run - mean) * (run - mean);
  // A median's standard error is about 1.25 standard deviations over the root of the runs.
  const double deviation = std::sqrt(squares / static_cast<double>(runs - 1));
  const double standard_error = 1.25 * deviation / std::sqrt(static_cast<double>(runs));
  if (difference > 2 * standard_error) return {FixedLayoutVerdict::EFFECT_OF_PLACEMENT, 0};
  const double needed = std::ceil(std::pow(2 * 1.25 * deviation / difference, 2));
  return {FixedLayoutVerdict::CANNOT_TELL,
          static_cast<int>(std::clamp(needed, static_cast<double>(runs + 1), 1000.0))};
}

std::string FormatFixedAgainstPlacement(const RunSet& runs, const Figures& figures,
                                        const SweepResult& sweep) {
  const MeasureResult* calls = Find(sweep, SweepMeasure::CALL);
  if (calls == nullptr) return "";
  std::ostringstream out;
  out << "\nthis build's fixed layout (median of " << runs.reports.size()
      << (runs.reports.size() == 1 ? " run" : " runs")
      << ") against the median over the placements, ms per 10^9 calls; the difference in cycles at "
         "the sweep's median clock, "
      << Fixed(sweep.median_clock_ghz, 2)
      << " GHz, between the runs' ms so turned and the placements' own cycles\n"
      << "pass      kernel              fixed  placements  difference in cycles\n";
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    const std::vector<Spread> spreads = SpreadsOf(sweep, *calls, pass, &SweepSample::net_ms);
    for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
      const int row = sweep.kernels[kernel].table_row;
      if (row < 0) continue;  // a user's kernel: the benchmark has no figure for it
      const double fixed = figures.passes[pass].kernels[row].median;
      const double placed = spreads[kernel].median;
      const double placed_cycles = Quantile(NetsOf(*calls, pass, kernel), 0.5);
      // The benchmark's figures are only in ms: the clock the sweep saw most turns them to cycles.
      const double to_cycles = sweep.median_clock_ghz / 1000;
      const double difference = fixed * to_cycles - placed_cycles;
      std::vector<double> runs_cycles;
      for (const Report& report : runs.reports) {
        runs_cycles.push_back(report.net_ms[pass][row] * to_cycles);
      }
      const FixedLayoutVerdict verdict = JudgeFixedLayout(runs_cycles, placed_cycles);
      out << Padded(PASS_NAMES[pass], 10, false) << Padded(sweep.kernels[kernel].words, 18, false)
          << Padded(FormatMedian(fixed), 7, true) << Padded(Fixed(placed, 1), 12, true)
          << Padded(Signed(difference, 2), 22, true);
      if (verdict.kind == FixedLayoutVerdict::EFFECT_OF_PLACEMENT) {
        out << "  an effect of where the code lands";
      } else if (verdict.kind == FixedLayoutVerdict::CANNOT_TELL) {
        out << "  not enough runs to tell; about " << verdict.runs_needed << " would";
      }
      out << "\n";
    }
  }
  return out.str();
}

}  // namespace stats

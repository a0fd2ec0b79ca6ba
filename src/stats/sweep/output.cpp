#include "stats/sweep/output.h"

#include <cmath>
#include <sstream>

#include "stats/format.h"
#include "stats/statistics.h"

namespace stats {

namespace {

std::vector<Spread> SpreadsOf(const SweepResult& sweep, Pass pass) {
  std::vector<Spread> spreads;
  for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
    spreads.push_back(DescribeSpread(NetsOf(sweep, pass, kernel)));
  }
  return spreads;
}

}  // namespace

std::string NoiseLines(const SweepResult& sweep) {
  const uint32_t half = sweep.settings.rounds / 2;
  std::string lines = "noise: " + Fixed(sweep.noise_floor_cycles, 3) +
                      " cycle, the median difference between the nets of the first " +
                      std::to_string(half) + " and the last " + std::to_string(half) +
                      " rounds over " + std::to_string(sweep.samples.size()) + " cells (" +
                      std::to_string(sweep.settings.rounds) + " rounds of " +
                      std::to_string(sweep.settings.calls) + " calls)\n";
  if (sweep.noise_floor_cycles > NOISY_HOST_CYCLES) {
    lines +=
        "noise: this host is too noisy for fine distinctions: differences under about " +
        Fixed(2 * sweep.noise_floor_cycles, 1) +
        " cycle may be noise alone. For more precision give it more time (--seconds 60) or more "
        "rounds (--rounds 20), pin it to a processor nothing else uses (--cpu N), or measure at a "
        "quieter moment.\n";
  }
  return lines;
}

std::string FormatSweepTable(const SweepResult& sweep, const MachineFacts& machine) {
  std::ostringstream out;
  out << "absbench-stats --sweep: " << sweep.grid.size()
      << " placements (loop body at every 4th byte of a 64-byte block, kernel at 0, 16, 32 and 48),"
      << " " << sweep.settings.rounds << " rounds of " << sweep.settings.calls
      << " calls each, seed " << sweep.settings.seed << "\n"
      << "processor: " << machine.processor << ", pinned to CPU " << sweep.settings.cpu << "\n"
      << "priority raise: " << (machine.priority_raise_allowed ? "allowed" : "refused") << "\n"
      << "core clock: about " << Fixed(sweep.clock_ghz, 2) << " GHz, the fastest of "
      << sweep.settings.rounds << " rounds (" << Fixed(sweep.slowest_clock_ghz, 2) << " to "
      << Fixed(sweep.clock_ghz, 2)
      << " GHz seen; an estimate: the time of a chain of dependent one-cycle additions)\n"
      << NoiseLines(sweep);
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    const std::vector<Spread> spreads = SpreadsOf(sweep, pass);
    out << "\n"
        << PASS_NAMES[pass] << " pass (operand " << PASS_OPERANDS[pass]
        << "), net per call over the placements, ranked by median\n"
        << "rank  kernel              median ms  cycles  IQR ms  IQR cycles  "
           ">1/2 cycle away in both halves\n";
    int rank = 0;
    for (size_t kernel : RankByMedian(spreads)) {
      const Spread& spread = spreads[kernel];
      const double iqr = spread.third_quartile - spread.first_quartile;
      const double share = LayoutEffectShare(sweep, pass, kernel);
      out << Padded(std::to_string(++rank), 4, true) << "  "
          << Padded(sweep.kernels[kernel].words, 18, false)
          << Padded(Fixed(spread.median, 1), 11, true)
          << Padded(Fixed(Cycles(spread.median, sweep.clock_ghz), 2), 8, true)
          << Padded(Fixed(iqr, 1), 8, true)
          << Padded(Fixed(Cycles(iqr, sweep.clock_ghz), 2), 12, true)
          << Padded(Fixed(100 * share, 0) + "%", 32, true)
          << (share > LAYOUT_SENSITIVE_SHARE ? "  layout-sensitive" : "") << "\n";
    }
  }
  return out.str();
}

std::string FormatSweepCsv(const SweepResult& sweep) {
  std::ostringstream out;
  out << "pass,kernel,loop_offset,kernel_offset,net_ms,net_cycles,first_half_cycles,"
         "second_half_cycles\n";
  for (const SweepSample& sample : sweep.samples) {
    const Placement& placement = sweep.grid[sample.placement];
    out << PASS_NAMES[sample.pass] << "," << sweep.kernels[sample.kernel].name << ","
        << placement.loop_offset << "," << placement.kernel_offset << "," << Fixed(sample.net_ms, 3)
        << "," << Fixed(Cycles(sample.net_ms, sweep.clock_ghz), 4) << ","
        << Fixed(Cycles(sample.first_half_ms, sweep.clock_ghz), 4) << ","
        << Fixed(Cycles(sample.second_half_ms, sweep.clock_ghz), 4) << "\n";
  }
  return out.str();
}

std::string FormatFixedAgainstPlacement(const RunSet& runs, const Figures& figures,
                                        const SweepResult& sweep) {
  std::ostringstream out;
  out << "\nthis build's fixed layout (median of " << runs.reports.size()
      << (runs.reports.size() == 1 ? " run" : " runs")
      << ") against the median over the placements, ms per 10^9 calls\n"
      << "pass      kernel              fixed  placements  difference in cycles\n";
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    const std::vector<Spread> spreads = SpreadsOf(sweep, pass);
    for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
      const int row = sweep.kernels[kernel].table_row;
      if (row < 0) continue;  // a user's kernel: the benchmark has no figure for it
      const double fixed = figures.passes[pass].kernels[row].median;
      const double placed = spreads[kernel].median;
      const double difference = Cycles(fixed - placed, sweep.clock_ghz);
      out << Padded(PASS_NAMES[pass], 10, false) << Padded(sweep.kernels[kernel].words, 18, false)
          << Padded(FormatMedian(fixed), 7, true) << Padded(Fixed(placed, 1), 12, true)
          << Padded(Signed(difference, 2), 22, true)
          << (std::abs(difference) > 0.5 ? "  an effect of where the code lands" : "") << "\n";
    }
  }
  return out.str();
}

}  // namespace stats

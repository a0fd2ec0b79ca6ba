#include "stats/sweep_output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "stats/statistics.h"
#include "stats/svg.h"

namespace stats {

namespace {

constexpr const char* SWEEP_OPERANDS[2] = {"1", "-1"};

// No "-0.0": a value that rounds to zero prints without a sign.
std::string Fixed(double value, int decimals) {
  if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// "+0.25", "-1.00", and "0.00" for anything that rounds to zero.
std::string Signed(double value, int decimals) {
  const std::string shown = Fixed(value, decimals);
  return (shown[0] != '-' && shown != Fixed(0, decimals) ? "+" : "") + shown;
}

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
        << PASS_NAMES[pass] << " pass (operand " << SWEEP_OPERANDS[pass]
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

std::string FormatSweepSvg(const SweepResult& sweep, const MachineFacts& machine) {
  constexpr double WIDTH = 960, HEIGHT = 540, LEFT = 80, RIGHT = 20, TOP = 70, BOTTOM = 90;
  constexpr const char* COLOURS[2] = {"#3b75af", "#ef8636"};
  double low = 0, high = 1;
  for (const SweepSample& sample : sweep.samples) {
    low = std::min(low, Cycles(sample.net_ms, sweep.clock_ghz));
    high = std::max(high, Cycles(sample.net_ms, sweep.clock_ghz));
  }
  low = std::floor(low * 2) / 2;
  high = std::ceil(high * 2) / 2;
  const double plot_height = HEIGHT - TOP - BOTTOM;
  auto y = [&](double cycles) { return TOP + (high - cycles) / (high - low) * plot_height; };
  const double group = (WIDTH - LEFT - RIGHT) / static_cast<double>(sweep.kernels.size());
  const double box = group * 0.3;

  std::ostringstream svg;
  svg << SvgOpening(WIDTH, HEIGHT,
                    "absbench: net core cycles per call over " + std::to_string(sweep.grid.size()) +
                        " code placements, " + SvgEscaped(machine.processor),
                    "box: quartiles; line: median; whiskers: minimum to maximum; the fastest of " +
                        std::to_string(sweep.settings.rounds) + " rounds per placement; noise " +
                        Fixed(sweep.noise_floor_cycles, 2) + " cycle; clock about " +
                        Fixed(sweep.clock_ghz, 2) + " GHz (estimated)");
  for (double tick = low; tick <= high + 0.25; tick += 0.5) {
    svg << "<line x1=\"" << LEFT << "\" x2=\"" << WIDTH - RIGHT << "\" y1=\"" << y(tick)
        << "\" y2=\"" << y(tick) << "\" stroke=\"" << (tick == 0 ? "black" : "#e4e4e4")
        << "\"/>\n<text x=\"" << LEFT - 8 << "\" y=\"" << y(tick) + 4 << "\" text-anchor=\"end\">"
        << Fixed(tick, 1) << "</text>\n";
  }
  svg << "<text transform=\"translate(24 " << TOP + plot_height / 2
      << ") rotate(-90)\" text-anchor=\"middle\">net core cycles per call</text>\n";
  for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
    const double group_left = LEFT + static_cast<double>(kernel) * group;
    svg << "<text x=\"" << group_left + group / 2 << "\" y=\"" << HEIGHT - BOTTOM + 18
        << "\" text-anchor=\"middle\">" << SvgEscaped(sweep.kernels[kernel].name) << "</text>\n";
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      std::vector<double> cycles;
      for (double net : NetsOf(sweep, pass, kernel)) cycles.push_back(Cycles(net, sweep.clock_ghz));
      const Spread spread = DescribeSpread(cycles);
      const auto [minimum, maximum] = std::minmax_element(cycles.begin(), cycles.end());
      const double left = group_left + group / 2 - box - 2 + pass * (box + 4);
      const double centre = left + box / 2;
      svg << "<path d=\"M" << centre << " " << y(*minimum) << "V" << y(spread.first_quartile) << "M"
          << centre << " " << y(spread.third_quartile) << "V" << y(*maximum)
          << "\" stroke=\"#222\"/>\n"
          << "<rect x=\"" << left << "\" y=\"" << y(spread.third_quartile) << "\" width=\"" << box
          << "\" height=\"" << std::max(y(spread.first_quartile) - y(spread.third_quartile), 1.0)
          << "\" fill=\"" << COLOURS[pass] << "\" stroke=\"#222\"><title>"
          << SvgEscaped(sweep.kernels[kernel].name) << " " << PASS_NAMES[pass] << ": median "
          << Fixed(spread.median, 2) << " cycles, quartiles " << Fixed(spread.first_quartile, 2)
          << " to " << Fixed(spread.third_quartile, 2) << "</title></rect>\n"
          << "<line x1=\"" << left << "\" x2=\"" << left + box << "\" y1=\"" << y(spread.median)
          << "\" y2=\"" << y(spread.median) << "\" stroke=\"black\" stroke-width=\"2\"/>\n";
    }
  }
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    const double legend_x = LEFT + pass * 260, legend_y = HEIGHT - 22;
    svg << "<rect x=\"" << legend_x << "\" y=\"" << legend_y - 11
        << "\" width=\"14\" height=\"14\" fill=\"" << COLOURS[pass] << "\"/>\n"
        << "<text x=\"" << legend_x + 20 << "\" y=\"" << legend_y << "\">" << PASS_NAMES[pass]
        << " pass (operand " << SWEEP_OPERANDS[pass] << ")</text>\n";
  }
  svg << "</svg>\n";
  return svg.str();
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
    for (int kernel = 0; kernel < KERNEL_COUNT; ++kernel) {
      const double fixed = figures.passes[pass].kernels[kernel].median;
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

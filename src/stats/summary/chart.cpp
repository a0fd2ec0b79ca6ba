// The chart: per kernel one bar per pass at the median, a whisker from minimum to maximum.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "stats/figures.h"
#include "stats/svg.h"

namespace stats {

namespace {

constexpr double WIDTH = 960, HEIGHT = 540;
constexpr double LEFT = 90, RIGHT = 20, TOP = 70, BOTTOM = 90;
constexpr const char* PASS_COLOURS[2] = {"#3b75af", "#ef8636"};

// A step of 1, 2 or 5 times a power of ten that gives about six ticks over `span`.
double TickStep(double span) {
  const double rough = span / 6;
  const double power = std::pow(10, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

}  // namespace

std::string FormatSvg(const RunSet& runs, const Figures& figures, const MachineFacts& machine) {
  double low = 0, high = 0;
  for (const PassFigures& pass : figures.passes) {
    for (const Summary& summary : pass.kernels) {
      low = std::min<double>(low, summary.minimum);
      high = std::max<double>(high, summary.maximum);
    }
  }
  const double step = TickStep(std::max(high - low, 1.0));
  low = std::floor(low / step) * step;
  high = std::ceil(high / step) * step;
  if (high == low) high = low + step;
  const double plot_height = HEIGHT - TOP - BOTTOM;
  auto y = [&](double ms) { return TOP + (high - ms) / (high - low) * plot_height; };
  const double group = (WIDTH - LEFT - RIGHT) / KERNEL_COUNT;
  const double bar = group * 0.34;

  std::ostringstream svg;
  svg << SvgOpening(
      WIDTH, HEIGHT,
      "absbench: net time per kernel, median of " + std::to_string(runs.reports.size()) +
          (runs.reports.size() == 1 ? " run, " : " runs, ") + SvgEscaped(machine.processor),
      "bars: median; whiskers: minimum to maximum; empty procedure " +
          FormatMedian(figures.baseline.median) + " ms (median)");

  for (double tick = low; tick <= high + step / 2; tick += step) {
    svg << "<line x1=\"" << LEFT << "\" x2=\"" << WIDTH - RIGHT << "\" y1=\"" << y(tick)
        << "\" y2=\"" << y(tick) << "\" stroke=\"#e4e4e4\"/>\n"
        << "<text x=\"" << LEFT - 8 << "\" y=\"" << y(tick) + 4 << "\" text-anchor=\"end\">"
        << FormatMedian(tick) << "</text>\n";
  }
  svg << "<text transform=\"translate(24 " << TOP + plot_height / 2
      << ") rotate(-90)\" text-anchor=\"middle\">net time (ms per 10^9 calls)</text>\n"
      << "<text x=\"" << LEFT + (WIDTH - LEFT - RIGHT) / 2 << "\" y=\"" << HEIGHT - 48
      << "\" text-anchor=\"middle\">kernel</text>\n";

  for (int kernel = 0; kernel < KERNEL_COUNT; ++kernel) {
    const double group_left = LEFT + kernel * group;
    svg << "<text x=\"" << group_left + group / 2 << "\" y=\"" << HEIGHT - BOTTOM + 18
        << "\" text-anchor=\"middle\">" << KernelName(kernel) << "</text>\n";
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      const Summary& summary = figures.passes[pass].kernels[kernel];
      const double left = group_left + group / 2 - bar + pass * bar;
      const double centre = left + bar / 2;
      svg << "<rect x=\"" << left << "\" y=\"" << std::min(y(summary.median), y(0)) << "\" width=\""
          << bar << "\" height=\"" << std::abs(y(summary.median) - y(0)) << "\" fill=\""
          << PASS_COLOURS[pass] << "\"><title>" << KernelName(kernel) << " " << PASS_NAMES[pass]
          << ": median " << FormatMedian(summary.median) << ", minimum " << summary.minimum
          << ", maximum " << summary.maximum << "</title></rect>\n"
          << "<path d=\"M" << centre << " " << y(summary.minimum) << "V" << y(summary.maximum)
          << "M" << centre - bar / 4 << " " << y(summary.minimum) << "h" << bar / 2 << "M"
          << centre - bar / 4 << " " << y(summary.maximum) << "h" << bar / 2
          << "\" stroke=\"#222\" fill=\"none\"/>\n";
    }
  }
  svg << "<line x1=\"" << LEFT << "\" x2=\"" << WIDTH - RIGHT << "\" y1=\"" << y(0) << "\" y2=\""
      << y(0) << "\" stroke=\"black\" stroke-width=\"1.5\"/>\n";

  const double legend_y = HEIGHT - 22;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    const double legend_x = LEFT + pass * 260;
    svg << "<rect x=\"" << legend_x << "\" y=\"" << legend_y - 11 << "\" width=\"14\" height=\"14\""
        << " fill=\"" << PASS_COLOURS[pass] << "\"/>\n"
        << "<text x=\"" << legend_x + 20 << "\" y=\"" << legend_y << "\">" << PASS_NAMES[pass]
        << " pass (operand " << (pass == POSITIVE ? "1" : "-1") << ")</text>\n";
  }
  svg << "</svg>\n";
  return svg.str();
}

}  // namespace stats

#include "stats/summary/chart.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "stats/text/format.h"
#include "stats/text/svg_frame.h"

namespace stats {

std::string FormatSvg(const RunSet& runs, const Figures& figures, const MachineFacts& machine) {
  double low = 0, high = 0;
  for (const PassFigures& pass : figures.passes) {
    for (const Summary& summary : pass.kernels) {
      low = std::min<double>(low, summary.minimum);
      high = std::max<double>(high, summary.maximum);
    }
  }
  const double step = ChartFrame::TickStep(std::max(high - low, 1.0));
  low = std::floor(low / step) * step;
  high = std::ceil(high / step) * step;
  if (high == low) high = low + step;
  const ChartFrame frame(low, high, KERNEL_COUNT);
  const double bar = frame.GroupWidth() * 0.34;

  std::ostringstream svg;
  svg << frame.Opening(
             "absbench: net time per kernel, median of " + std::to_string(runs.reports.size()) +
                 (runs.reports.size() == 1 ? " run, " : " runs, ") + SvgEscaped(machine.processor),
             "bars: median; whiskers: minimum to maximum; empty procedure " +
                 FormatMedian(figures.baseline.median) + " ms (median)")
      << frame.Grid(step, FormatMedian, "net time (ms per 10^9 calls)");
  for (int kernel = 0; kernel < KERNEL_COUNT; ++kernel) {
    svg << frame.GroupLabel(kernel, KernelName(kernel));
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      const Summary& summary = figures.passes[pass].kernels[kernel];
      const double left = frame.GroupLeft(kernel) + frame.GroupWidth() / 2 - bar + pass * bar;
      const double centre = left + bar / 2;
      svg << "<rect x=\"" << left << "\" y=\"" << std::min(frame.y(summary.median), frame.y(0))
          << "\" width=\"" << bar << "\" height=\""
          << std::abs(frame.y(summary.median) - frame.y(0)) << "\" fill=\""
          << ChartFrame::PASS_COLOURS[pass] << "\"><title>" << KernelName(kernel) << " "
          << PASS_NAMES[pass] << ": median " << FormatMedian(summary.median) << ", minimum "
          << summary.minimum << ", maximum " << summary.maximum << "</title></rect>\n"
          << "<path d=\"M" << centre << " " << frame.y(summary.minimum) << "V"
          << frame.y(summary.maximum) << "M" << centre - bar / 4 << " " << frame.y(summary.minimum)
          << "h" << bar / 2 << "M" << centre - bar / 4 << " " << frame.y(summary.maximum) << "h"
          << bar / 2 << "\" stroke=\"#222\" fill=\"none\"/>\n";
    }
  }
  svg << frame.ZeroLine() << frame.PassLegend() << ChartFrame::Closing();
  return svg.str();
}

}  // namespace stats

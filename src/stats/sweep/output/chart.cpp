#include "stats/sweep/output/chart.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "stats/text/format.h"
#include "stats/text/svg_frame.h"

namespace stats {

namespace {

// One measure's panel: per kernel and pass a box plot of its nets in cycles.
std::string Panel(const SweepResult& sweep, const MeasureResult& measure) {
  double low = 0, high = 1;
  for (const SweepSample& sample : measure.samples) {
    low = std::min(low, sample.net_cycles);
    high = std::max(high, sample.net_cycles);
  }
  for (const ModelPredictions::Entry& entry : sweep.model.entries) {
    if (entry.measure == measure.measure && entry.prediction.made) {
      high = std::max(high, entry.prediction.cycles);
    }
  }
  const ChartFrame frame(std::floor(low * 2) / 2, std::ceil(high * 2) / 2, sweep.kernels.size());
  const double box = frame.GroupWidth() * 0.3;
  const bool per_copy = IsBlock(measure.measure);
  std::ostringstream svg;
  svg << frame.Grid(
      0.5, [](double tick) { return Fixed(tick, 1); },
      measure.measure == SweepMeasure::THROUGHPUT ? "core cycles per copy, glue included"
      : per_copy                                  ? "net core cycles per copy"
                                                  : "net core cycles per call");
  for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
    svg << frame.GroupLabel(kernel, sweep.kernels[kernel].name);
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      const std::vector<double> cycles = NetsOf(measure, pass, kernel);
      if (cycles.empty()) continue;
      const Spread spread = DescribeSpread(cycles);
      const auto [minimum, maximum] = std::minmax_element(cycles.begin(), cycles.end());
      const double left =
          frame.GroupLeft(kernel) + frame.GroupWidth() / 2 - box - 2 + pass * (box + 4);
      const double centre = left + box / 2;
      svg << "<path d=\"M" << centre << " " << frame.y(*minimum) << "V"
          << frame.y(spread.first_quartile) << "M" << centre << " "
          << frame.y(spread.third_quartile) << "V" << frame.y(*maximum) << "\" stroke=\"#222\"/>\n"
          << "<rect x=\"" << left << "\" y=\"" << frame.y(spread.third_quartile) << "\" width=\""
          << box << "\" height=\""
          << std::max(frame.y(spread.first_quartile) - frame.y(spread.third_quartile), 1.0)
          << "\" fill=\"" << ChartFrame::PASS_COLOURS[pass] << "\" stroke=\"#222\"><title>"
          << SvgEscaped(sweep.kernels[kernel].name) << " " << PASS_NAMES[pass] << ": median "
          << Fixed(spread.median, 2) << " cycles, quartiles " << Fixed(spread.first_quartile, 2)
          << " to " << Fixed(spread.third_quartile, 2) << "</title></rect>\n"
          << "<line x1=\"" << left << "\" x2=\"" << left + box << "\" y1=\""
          << frame.y(spread.median) << "\" y2=\"" << frame.y(spread.median)
          << "\" stroke=\"black\" stroke-width=\"2\"/>\n";
      const Prediction* prediction =
          sweep.predicted && per_copy
              ? sweep.model.For(measure.measure, pass, sweep.kernels[kernel].name)
              : nullptr;
      if (prediction != nullptr && prediction->made) {
        const double y = frame.y(prediction->cycles);
        svg << "<path d=\"M" << centre << " " << y - 5 << "l5 5l-5 5l-5 -5z\" fill=\"#d62728\" "
            << "stroke=\"white\"><title>" << SvgEscaped(sweep.kernels[kernel].name) << " "
            << PASS_NAMES[pass] << ": llvm-mca predicts " << Fixed(prediction->cycles, 2)
            << " cycles</title></path>\n";
      }
    }
  }
  // What the marks mean, in a row above the passes' legend.
  const double key_y = ChartFrame::HEIGHT - 40;
  svg << "<text x=\"" << ChartFrame::LEFT << "\" y=\"" << key_y
      << "\">boxes: quartiles over the placements; lines: medians; whiskers: range</text>\n";
  if (sweep.predicted && per_copy) {
    const double x = ChartFrame::LEFT + 600;
    svg << "<path d=\"M" << x + 7 << " " << key_y - 10 << "l5 5l-5 5l-5 -5z\" fill=\"#d62728\"/>\n"
        << "<text x=\"" << x + 20 << "\" y=\"" << key_y << "\">llvm-mca's prediction</text>\n";
  }
  svg << frame.PassLegend();
  return svg.str();
}

}  // namespace

std::string FormatSweepSvg(const SweepResult& sweep, const MachineFacts& machine) {
  const ChartFrame page(0, 1, 1);
  std::ostringstream svg;
  svg << page.Opening(
      "absbench: net core cycles over code placements, " + SvgEscaped(machine.processor),
      "each placement: the median of its nets over time (throughput: a low quantile), in cycles of "
      "a clock chain beside each timing (" +
          Fixed(sweep.slowest_clock_ghz, 2) + "-" + Fixed(sweep.fastest_clock_ghz, 2) + " GHz)",
      static_cast<int>(sweep.measures.size()));
  for (size_t at = 0; at < sweep.measures.size(); ++at) {
    const MeasureResult& measure = sweep.measures[at];
    svg << ChartFrame::PanelStart(static_cast<int>(at),
                                  std::string(MeasureName(measure.measure)) + ": " +
                                      std::to_string(measure.grid.size()) + " placements, noise " +
                                      Fixed(measure.noise_floor_cycles, 3) + " cycle")
        << Panel(sweep, measure) << ChartFrame::PanelEnd();
  }
  svg << ChartFrame::Closing();
  return svg.str();
}

}  // namespace stats

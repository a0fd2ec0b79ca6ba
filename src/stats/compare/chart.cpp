// The comparison as a chart: per measure and pass, a group per kernel and in it a bar per file at
// its median, with a whisker of its uncertainty either side; the legend names the machines.
#include "stats/compare/chart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

#include "stats/text/format.h"
#include "stats/text/svg_frame.h"

namespace stats {

namespace {

constexpr std::array<const char*, 9> FILE_COLOURS = {"#3b75af", "#ef8636", "#519e3e",
                                                     "#c53a32", "#8d69b8", "#84584e",
                                                     "#d57dbf", "#7f7f7f", "#bcbc35"};
constexpr size_t LEGEND_COLUMNS = 3;

std::string Colour(size_t file) { return FILE_COLOURS[file % FILE_COLOURS.size()]; }

std::string Panel(const Comparison& comparison, const ComparedTable& table) {
  double low = 0, high = 0;
  for (const ComparedRow& row : table.rows) {
    for (const ComparedCell& cell : row.cells) {
      if (cell.verdict == Verdict::MISSING) continue;
      low = std::min(low, cell.median - cell.uncertainty);
      high = std::max(high, cell.median + cell.uncertainty);
    }
  }
  const double step = ChartFrame::TickStep(std::max(high - low, 0.5));
  const ChartFrame frame(std::floor(low / step) * step, std::ceil(high / step) * step,
                         table.rows.size());
  const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
  std::ostringstream svg;
  svg << frame.Grid(
      step, [&](double tick) { return Fixed(tick, decimals); },
      table.measure == "throughput" ? "core cycles per copy, glue included"
      : table.measure == "call"     ? "net core cycles per call"
                                    : "net core cycles per copy");
  const size_t files = comparison.files.size();
  const double bar = frame.GroupWidth() * 0.8 / static_cast<double>(files);
  for (size_t kernel = 0; kernel < table.rows.size(); ++kernel) {
    const ComparedRow& row = table.rows[kernel];
    svg << frame.GroupLabel(kernel, row.kernel);
    for (size_t file = 0; file < files; ++file) {
      const ComparedCell& cell = row.cells[file];
      if (cell.verdict == Verdict::MISSING) continue;
      const double left =
          frame.GroupLeft(kernel) + frame.GroupWidth() * 0.1 + bar * static_cast<double>(file);
      const double centre = left + bar / 2;
      svg << "<rect x=\"" << left << "\" y=\"" << std::min(frame.y(cell.median), frame.y(0))
          << "\" width=\"" << bar * 0.9 << "\" height=\""
          << std::abs(frame.y(cell.median) - frame.y(0)) << "\" fill=\"" << Colour(file)
          << "\"><title>" << SvgEscaped(row.kernel + ", " + comparison.files[file]) << ": "
          << Fixed(cell.median, 2) << " cycles, uncertainty " << Fixed(cell.uncertainty, 2)
          << (file > 0 ? std::string(", ") + VerdictName(cell.verdict) : "")
          << (cell.code_differs ? ", code differs" : "") << "</title></rect>\n"
          << "<path d=\"M" << centre << " " << frame.y(cell.median - cell.uncertainty) << "V"
          << frame.y(cell.median + cell.uncertainty) << "M" << centre - bar / 5 << " "
          << frame.y(cell.median - cell.uncertainty) << "h" << bar * 0.4 << "M" << centre - bar / 5
          << " " << frame.y(cell.median + cell.uncertainty) << "h" << bar * 0.4
          << "\" stroke=\"#222\" fill=\"none\"/>\n";
    }
  }
  svg << frame.ZeroLine();
  // Rows of three from the bottom up, each name cut to its column.
  const double column = (ChartFrame::WIDTH - ChartFrame::LEFT - ChartFrame::RIGHT) / LEGEND_COLUMNS;
  const size_t rows = (files + LEGEND_COLUMNS - 1) / LEGEND_COLUMNS;
  for (size_t file = 0; file < files; ++file) {
    const double x = ChartFrame::LEFT + column * static_cast<double>(file % LEGEND_COLUMNS);
    const double y =
        ChartFrame::HEIGHT - 22 - 18 * static_cast<double>(rows - 1 - file / LEGEND_COLUMNS);
    const std::string whole =
        comparison.machines[file] + " " + comparison.files[file] + (file == 0 ? " (baseline)" : "");
    const double font = std::max(ChartFrame::FittedFontSize(whole, column - 28, 13), 10.0);
    const std::string name = ChartFrame::Shortened(whole, column - 28, font);
    svg << "<rect x=\"" << x << "\" y=\"" << y - 11 << "\" width=\"14\" height=\"14\" fill=\""
        << Colour(file) << "\"/>\n<text x=\"" << x + 20 << "\" y=\"" << y << "\" font-size=\""
        << font << "\">" << SvgEscaped(name) << "</text>\n";
  }
  return svg.str();
}

}  // namespace

std::string FormatComparisonSvg(const Comparison& comparison) {
  const ChartFrame page(0, 1, 1);
  std::ostringstream svg;
  svg << page.Opening(
      "absbench-stats --compare: " + std::to_string(comparison.files.size()) + " result files",
      "bars: median core cycles over the placements; whiskers: each figure's "
      "uncertainty either side",
      static_cast<int>(comparison.tables.size()));
  for (size_t at = 0; at < comparison.tables.size(); ++at) {
    const ComparedTable& table = comparison.tables[at];
    svg << ChartFrame::PanelStart(static_cast<int>(at), table.measure + ", " + table.pass + " pass")
        << Panel(comparison, table) << ChartFrame::PanelEnd();
  }
  svg << ChartFrame::Closing();
  return svg.str();
}

}  // namespace stats

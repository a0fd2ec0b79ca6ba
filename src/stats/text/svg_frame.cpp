#include "stats/text/svg_frame.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "stats/pass.h"
#include "stats/text/format.h"

namespace stats {

std::string SvgEscaped(const std::string& text) {
  // XML holds no control character, not even as a reference: they are shown as \xNN first.
  std::string escaped;
  for (char c : Shown(text)) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

double ChartFrame::TextWidth(const std::string& text, double font_size) {
  size_t characters = 0;
  for (unsigned char c : text) characters += (c & 0xc0) != 0x80;  // not a UTF-8 continuation
  return 0.6 * font_size * static_cast<double>(characters);
}

double ChartFrame::FittedFontSize(const std::string& text, double width, double font_size) {
  const double needed = TextWidth(text, font_size);
  return needed <= width ? font_size : std::floor(font_size * width / needed * 10) / 10;
}

std::string ChartFrame::Shortened(const std::string& text, double width, double font_size) {
  if (TextWidth(text, font_size) <= width) return text;
  std::string cut = text;
  while (!cut.empty() && TextWidth(cut + "\u2026", font_size) > width) {
    // The last character: its continuation bytes, then its first.
    while ((static_cast<unsigned char>(cut.back()) & 0xc0) == 0x80 && cut.size() > 1)
      cut.pop_back();
    cut.pop_back();
  }
  return cut + "\u2026";
}

double ChartFrame::TickStep(double span) {
  const double rough = span / 6;
  const double power = std::pow(10, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

ChartFrame::ChartFrame(double low, double high, size_t groups)
    : low_(low), high_(high > low ? high : low + 1), groups_(groups > 0 ? groups : 1) {}

double ChartFrame::y(double value) const {
  return TOP + (high_ - value) / (high_ - low_) * (HEIGHT - TOP - BOTTOM);
}

double ChartFrame::GroupWidth() const {
  return (WIDTH - LEFT - RIGHT) / static_cast<double>(groups_);
}

double ChartFrame::GroupLeft(size_t group) const {
  return LEFT + static_cast<double>(group) * GroupWidth();
}

std::string ChartFrame::Opening(const std::string& title, const std::string& subtitle,
                                int panels) const {
  std::ostringstream svg;
  const double height = HEIGHT * panels;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << WIDTH << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << WIDTH << " " << height
      << "\" font-family=\"sans-serif\" font-size=\"13\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << WIDTH / 2 << "\" y=\"26\" text-anchor=\"middle\" font-size=\""
      << FittedFontSize(title, WIDTH - 20, 17) << "\">" << title << "</text>\n"
      << "<text x=\"" << WIDTH / 2
      << "\" y=\"46\" text-anchor=\"middle\" fill=\"#555\" font-size=\""
      << FittedFontSize(subtitle, WIDTH - 20, 13) << "\">" << subtitle << "</text>\n";
  return svg.str();
}

std::string ChartFrame::PanelStart(int index, const std::string& heading) {
  std::ostringstream svg;
  svg << "<g transform=\"translate(0 " << HEIGHT * index << ")\">\n";
  if (!heading.empty()) {
    svg << "<text x=\"" << LEFT << "\" y=\"" << TOP - 8 << "\" font-weight=\"bold\">" << heading
        << "</text>\n";
  }
  return svg.str();
}

std::string ChartFrame::Grid(double step, const std::function<std::string(double)>& label,
                             const std::string& axis_title) const {
  std::ostringstream svg;
  for (double tick = low_; tick <= high_ + step / 2; tick += step) {
    svg << "<line x1=\"" << LEFT << "\" x2=\"" << WIDTH - RIGHT << "\" y1=\"" << y(tick)
        << "\" y2=\"" << y(tick) << "\" stroke=\"" << (tick == 0 ? "black" : "#e4e4e4")
        << "\"/>\n<text x=\"" << LEFT - 8 << "\" y=\"" << y(tick) + 4 << "\" text-anchor=\"end\">"
        << label(tick) << "</text>\n";
  }
  svg << "<text transform=\"translate(24 " << (TOP + HEIGHT - BOTTOM) / 2
      << ") rotate(-90)\" text-anchor=\"middle\">" << axis_title << "</text>\n";
  return svg.str();
}

std::string ChartFrame::GroupLabel(size_t group, const std::string& text) const {
  // Smaller where the group is narrow, but still legible: past that the name is cut.
  const double room = GroupWidth() - 4;
  const double font = std::max(FittedFontSize(text, room, 13), 8.0);
  std::ostringstream svg;
  svg << "<text x=\"" << GroupLeft(group) + GroupWidth() / 2 << "\" y=\"" << HEIGHT - BOTTOM + 18
      << "\" text-anchor=\"middle\" font-size=\"" << font << "\">"
      << SvgEscaped(Shortened(text, room, font)) << "</text>\n";
  return svg.str();
}

std::string ChartFrame::ZeroLine() const {
  std::ostringstream svg;
  svg << "<line x1=\"" << LEFT << "\" x2=\"" << WIDTH - RIGHT << "\" y1=\"" << y(0) << "\" y2=\""
      << y(0) << "\" stroke=\"black\" stroke-width=\"1.5\"/>\n";
  return svg.str();
}

std::string ChartFrame::PassLegend() const {
  std::ostringstream svg;
  const double legend_y = HEIGHT - 22;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    const double legend_x = LEFT + pass * 260;
    svg << "<rect x=\"" << legend_x << "\" y=\"" << legend_y - 11
        << "\" width=\"14\" height=\"14\" fill=\"" << PASS_COLOURS[pass] << "\"/>\n"
        << "<text x=\"" << legend_x + 20 << "\" y=\"" << legend_y << "\">" << PASS_NAMES[pass]
        << " pass (operand " << PASS_OPERANDS[pass] << ")</text>\n";
  }
  return svg.str();
}

}  // namespace stats

// What both charts share: the page and its title, the value axis with its grid, the groups along
// the bottom, and the legend of the two passes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace stats {

std::string SvgEscaped(const std::string& text);

class ChartFrame {
 public:
  static constexpr double WIDTH = 960, HEIGHT = 540, LEFT = 90, RIGHT = 20, TOP = 70, BOTTOM = 90;
  static constexpr const char* PASS_COLOURS[2] = {"#3b75af", "#ef8636"};

  // A text's width as drawn, from its characters: 0.6 of the font size each, as wide as a
  // sans-serif's average letter and digit, so that what fits by this fits on the page.
  static double TextWidth(const std::string& text, double font_size);
  // `font_size`, or smaller so that `text` fits in `width`.
  static double FittedFontSize(const std::string& text, double width, double font_size);
  // `text` cut at a character, with an ellipsis, so that it fits in `width`.
  static std::string Shortened(const std::string& text, double width, double font_size);
  // A step of 1, 2 or 5 times a power of ten that gives about six ticks over `span`.
  static double TickStep(double span);

  // The vertical axis runs from `low` to `high`; `groups` share the horizontal one.
  ChartFrame(double low, double high, size_t groups);
  double y(double value) const;
  double GroupLeft(size_t group) const;
  double GroupWidth() const;

  // The XML declaration, the svg element, a white page for `panels` frames one below the other,
  // and a title with a grey subtitle, each made smaller where it would not fit; both are markup,
  // so text from outside must be escaped first.
  std::string Opening(const std::string& title, const std::string& subtitle, int panels = 1) const;
  // Panel `index` (from 0) drawn in the frame's coordinates, below the ones before it.
  static std::string PanelStart(int index, const std::string& heading);
  static std::string PanelEnd() { return "</g>\n"; }
  // A grid line and its label every `step` from low to high, the one at zero in black, and the
  // axis title beside them.
  std::string Grid(double step, const std::function<std::string(double)>& label,
                   const std::string& axis_title) const;
  std::string GroupLabel(size_t group, const std::string& text) const;
  std::string ZeroLine() const;
  std::string PassLegend() const;
  static std::string Closing() { return "</svg>\n"; }

 private:
  double low_, high_;
  size_t groups_;
};

}  // namespace stats

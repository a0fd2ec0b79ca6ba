#include "stats/svg.h"

#include <sstream>

namespace stats {

std::string SvgEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
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

std::string SvgOpening(double width, double height, const std::string& title,
                       const std::string& subtitle) {
  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << width << " " << height
      << "\" font-family=\"sans-serif\" font-size=\"13\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << width / 2 << "\" y=\"26\" text-anchor=\"middle\" font-size=\"17\">"
      << title << "</text>\n"
      << "<text x=\"" << width / 2 << "\" y=\"46\" text-anchor=\"middle\" fill=\"#555\">"
      << subtitle << "</text>\n";
  return svg.str();
}

}  // namespace stats

// What both charts share: text made safe for SVG, and the opening of the document.
#pragma once

#include <string>

namespace stats {

std::string SvgEscaped(const std::string& text);

// The XML declaration, the svg element, a white background, and a title and a grey subtitle
// centred at the top; both are markup, so text from outside must be escaped first.
std::string SvgOpening(double width, double height, const std::string& title,
                       const std::string& subtitle);

}  // namespace stats

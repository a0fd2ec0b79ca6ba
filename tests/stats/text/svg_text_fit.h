// Whether every text of a chart lies inside its picture, by an estimate of its width from its
// characters and font size: 0.6 em a character, as wide as a sans-serif's average.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace stats_test {

// Each text that would cross an edge, with its estimated extent; empty when all fit. Texts in a
// panel's group are placed by its translation, which only moves them down, so x is what counts.
inline std::vector<std::string> TextsOutside(const std::string& svg) {
  const std::regex width_pattern("<svg [^>]*width=\"([0-9.]+)\"");
  const std::regex font_pattern("<svg [^>]*font-size=\"([0-9.]+)\"");
  std::smatch found;
  const double width = std::regex_search(svg, found, width_pattern) ? std::stod(found[1]) : 0;
  const double page_font = std::regex_search(svg, found, font_pattern) ? std::stod(found[1]) : 13;
  std::vector<std::string> outside;
  const std::regex text_pattern("<text([^>]*)>([^<]*)</text>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text_pattern);
       it != std::sregex_iterator(); ++it) {
    const std::string attributes = (*it)[1], content = (*it)[2];
    if (attributes.find("rotate(") != std::string::npos) continue;  // the axis title, upright
    std::smatch value;
    if (!std::regex_search(attributes, value, std::regex(" x=\"([-0-9.]+)\""))) continue;
    const double x = std::stod(value[1]);
    const double font = std::regex_search(attributes, value, std::regex("font-size=\"([0-9.]+)\""))
                            ? std::stod(value[1])
                            : page_font;
    size_t characters = 0;
    for (size_t at = 0; at < content.size(); ++at) {
      if (content[at] == '&') at = content.find(';', at);  // an entity is one character
      if ((static_cast<unsigned char>(content[at]) & 0xc0) != 0x80) ++characters;
    }
    const double text_width = 0.6 * font * static_cast<double>(characters);
    const bool middle = attributes.find("text-anchor=\"middle\"") != std::string::npos;
    const bool end = attributes.find("text-anchor=\"end\"") != std::string::npos;
    const double left = middle ? x - text_width / 2 : end ? x - text_width : x;
    if (left < 0 || left + text_width > width || font < 7) {
      outside.push_back(content + " from " + std::to_string(left) + " to " +
                        std::to_string(left + text_width) + " at " + std::to_string(font) + " px");
    }
  }
  return outside;
}

}  // namespace stats_test

#include "stats/text/format.h"

#include <cmath>
#include <cstdio>

namespace stats {

std::string Padded(const std::string& text, size_t width, bool right_aligned) {
  const std::string padding(text.size() < width ? width - text.size() : 0, ' ');
  return right_aligned ? padding + text : text + padding;
}

std::string FormatMedian(double median) {
  char text[32];
  std::snprintf(text, sizeof text, median == std::floor(median) ? "%.0f" : "%.1f", median);
  return text;
}

std::string Fixed(double value, int decimals) {
  if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Signed(double value, int decimals) {
  const std::string shown = Fixed(value, decimals);
  return (shown[0] != '-' && shown != Fixed(0, decimals) ? "+" : "") + shown;
}

std::string Quoted(std::string_view text, char quote, size_t shown) {
  std::string quoted(1, quote);
  size_t taken = 0;
  for (; taken < text.size() && quoted.size() <= shown; ++taken) {
    const auto byte = static_cast<unsigned char>(text[taken]);
    if (byte == '\r') {
      quoted += "\\r";
    } else if (byte == '\n') {
      quoted += "\\n";
    } else if (byte == '\t') {
      quoted += "\\t";
    } else if (byte == '\\' || byte == static_cast<unsigned char>(quote)) {
      quoted += '\\';
      quoted += static_cast<char>(byte);
    } else if (byte < 0x20 || byte > 0x7E) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      quoted += escaped;
    } else {
      quoted += static_cast<char>(byte);
    }
  }
  quoted += quote;
  if (taken < text.size()) {
    quoted += " (cut; " + std::to_string(text.size()) + " bytes in all)";
  }
  return quoted;
}

std::string MinutesAndSeconds(std::chrono::steady_clock::duration duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
  return std::to_string(seconds / 60) + (seconds % 60 < 10 ? ":0" : ":") +
         std::to_string(seconds % 60);
}

}  // namespace stats

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

namespace {

// The length of the UTF-8 sequence of a printable character at `at`, or 0 for a control
// character or a byte that starts no valid sequence.
size_t PrintableSequence(std::string_view text, size_t at) {
  const auto byte = [&](size_t offset) {
    return at + offset < text.size() ? static_cast<unsigned char>(text[at + offset]) : 0;
  };
  const unsigned char lead = byte(0);
  if (lead >= 0x20 && lead < 0x7F) return 1;
  const auto continuation = [&](size_t offset, unsigned char low, unsigned char high) {
    return byte(offset) >= low && byte(offset) <= high;
  };
  if (lead == 0xC2) return continuation(1, 0xA0, 0xBF) ? 2 : 0;  // C1 controls below A0
  if (lead >= 0xC3 && lead <= 0xDF) return continuation(1, 0x80, 0xBF) ? 2 : 0;
  // The controls of writing direction (U+202A to U+202E, U+2066 to U+2069) reorder what follows.
  if (lead == 0xE2 && ((byte(1) == 0x80 && byte(2) >= 0xAA && byte(2) <= 0xAE) ||
                       (byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9))) {
    return 0;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return continuation(1, low, high) && continuation(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return continuation(1, low, high) && continuation(2, 0x80, 0xBF) && continuation(3, 0x80, 0xBF)
               ? 4
               : 0;
  }
  return 0;
}

}  // namespace

std::string Shown(std::string_view text, bool lines) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const char byte = text[at];
    const size_t length = PrintableSequence(text, at);
    if (length > 0 || (lines && (byte == '\n' || byte == '\t'))) {
      shown.append(text.substr(at, length > 0 ? length : 1));
      at += length > 0 ? length : 1;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(byte));
    shown += escaped;
    ++at;
  }
  return shown;
}

std::string MinutesAndSeconds(std::chrono::steady_clock::duration duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
  return std::to_string(seconds / 60) + (seconds % 60 < 10 ? ":0" : ":") +
         std::to_string(seconds % 60);
}

}  // namespace stats

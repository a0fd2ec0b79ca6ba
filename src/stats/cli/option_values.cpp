#include "stats/cli/option_values.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace stats {

std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t maximum) {
  if (text.empty() || text.size() > 20 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return {};
  }
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || value > maximum) return {};
  return value;
}

std::optional<double> ParseDecimal(const std::string& text, double least, double most) {
  if (text.empty() || text.size() > 12 ||
      text.find_first_not_of("0123456789.") != std::string::npos ||
      text.find('.') != text.rfind('.') || text == ".") {
    return {};
  }
  const double value = std::strtod(text.c_str(), nullptr);
  if (value < least || value > most) return {};
  return value;
}

}  // namespace stats

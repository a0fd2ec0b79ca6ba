#include "stats/option_values.h"

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

std::optional<std::vector<SweepMeasure>> ParseMeasures(const std::string& list) {
  std::vector<SweepMeasure> measures;
  auto add = [&](SweepMeasure measure) {
    if (std::find(measures.begin(), measures.end(), measure) == measures.end()) {
      measures.push_back(measure);
    }
  };
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, comma - start);
    const auto known = std::find(MEASURE_NAMES.begin(), MEASURE_NAMES.end(), name);
    if (name == "all") {
      for (SweepMeasure measure :
           {SweepMeasure::CALL, SweepMeasure::LATENCY, SweepMeasure::THROUGHPUT}) {
        add(measure);
      }
    } else if (known != MEASURE_NAMES.end()) {
      add(static_cast<SweepMeasure>(known - MEASURE_NAMES.begin()));
    } else {
      return {};
    }
    start = comma + 1;
  }
  return measures;
}

}  // namespace stats

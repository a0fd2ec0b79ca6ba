#include "stats/measure.h"

#include <algorithm>

namespace stats {

std::optional<std::vector<SweepMeasure>> ParseMeasureList(const std::string& list) {
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

double DefaultSweepSeconds(size_t measures) {
  return 8 + 4 * static_cast<double>(measures > 0 ? measures - 1 : 0);
}

double SweepCapSeconds(const SweepSettings& settings) {
  if (settings.seconds == 0 && settings.rounds != 0) return 0;
  return settings.seconds > 0
             ? settings.seconds
             : DefaultSweepSeconds(settings.measures_before + settings.measures.size());
}

double LongestSweepSeconds(const SweepSettings& settings) {
  const bool waits = settings.seconds == 0 && settings.rounds == 0;
  return std::max(SweepCapSeconds(settings), waits ? BUSY_HOST_SECONDS : 0);
}

}  // namespace stats

#include "stats/statistics.h"

#include <algorithm>

namespace stats {

Summary Summarize(std::vector<int32_t> samples) {
  std::sort(samples.begin(), samples.end());
  const size_t middle = samples.size() / 2;
  const double median = samples.size() % 2 == 1
                            ? samples[middle]
                            : (static_cast<double>(samples[middle - 1]) + samples[middle]) / 2;
  return {median, samples.front(), samples.back()};
}

}  // namespace stats

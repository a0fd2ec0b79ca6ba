#include "stats/math/statistics.h"

#include <algorithm>

namespace stats {

Summary Summarize(std::vector<int32_t> samples) {
  const auto [minimum, maximum] = std::minmax_element(samples.begin(), samples.end());
  return {Quantile(std::vector<double>(samples.begin(), samples.end()), 0.5), *minimum, *maximum};
}

double Quantile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const double at = fraction * static_cast<double>(values.size() - 1);
  const size_t below = static_cast<size_t>(at);
  if (below + 1 >= values.size()) return values.back();
  return values[below] + (at - static_cast<double>(below)) * (values[below + 1] - values[below]);
}

}  // namespace stats

// Robust figures over repeated runs: the median and the range.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <vector>

namespace stats {

struct Summary {
  double median = 0;  // of an even count, the mean of the two middle values
  int32_t minimum = 0;
  int32_t maximum = 0;
};

// `samples` must not be empty.
Summary Summarize(std::vector<int32_t> samples);

// The value at `fraction` (0 to 1) of the way through `values`, interpolated between neighbours;
// the median at 0.5. `values` must not be empty.
double Quantile(std::vector<double> values, double fraction);

// Indices of `items` (anything with a median), smallest median first; equal medians keep their
// order.
template <typename WithMedian>
std::vector<size_t> RankByMedian(const std::vector<WithMedian>& items) {
  std::vector<size_t> order(items.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return items[a].median < items[b].median; });
  return order;
}

}  // namespace stats

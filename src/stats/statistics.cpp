#include "stats/statistics.h"

#include <algorithm>
#include <numeric>

namespace stats {

Summary Summarize(std::vector<int32_t> samples) {
  std::sort(samples.begin(), samples.end());
  const size_t middle = samples.size() / 2;
  const double median = samples.size() % 2 == 1
                            ? samples[middle]
                            : (static_cast<double>(samples[middle - 1]) + samples[middle]) / 2;
  return {median, samples.front(), samples.back()};
}

std::vector<size_t> RankByMedian(const std::vector<Summary>& summaries) {
  std::vector<size_t> order(summaries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return summaries[a].median < summaries[b].median; });
  return order;
}

}  // namespace stats

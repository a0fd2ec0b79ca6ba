// Robust figures over repeated runs: the median and the range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace stats {

struct Summary {
  double median = 0;  // of an even count, the mean of the two middle values
  int32_t minimum = 0;
  int32_t maximum = 0;
};

// `samples` must not be empty.
Summary Summarize(std::vector<int32_t> samples);

// Indices of `summaries`, smallest median first; equal medians keep their order.
std::vector<size_t> RankByMedian(const std::vector<Summary>& summaries);

}  // namespace stats

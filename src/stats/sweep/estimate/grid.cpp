#include "stats/sweep/estimate/grid.h"

namespace stats {

namespace {

constexpr int BLOCK = 64;
// Bytes of glue before a throughput block's first copy: MOV EAX,EBX.
constexpr int THROUGHPUT_LEAD = 2;

}  // namespace

std::vector<Placement> GridFor(SweepMeasure measure) {
  std::vector<Placement> grid;
  if (!IsBlock(measure)) {
    for (int loop = 0; loop < BLOCK; loop += 4) {
      for (int kernel = 0; kernel < BLOCK; kernel += 16) grid.push_back({loop, kernel});
    }
    return grid;
  }
  const int lead = measure == SweepMeasure::THROUGHPUT ? THROUGHPUT_LEAD : 0;
  for (int start = 0; start < BLOCK; ++start) grid.push_back({start, (start + lead) % BLOCK});
  return grid;
}

}  // namespace stats

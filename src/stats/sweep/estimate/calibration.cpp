#include "stats/sweep/estimate/calibration.h"

#include <algorithm>
#include <limits>

namespace stats {

double CalibrateNsPerCall(const Instruments& machine, const RoundsPlan& plan, uint32_t calls) {
  double total_ticks = 0;
  size_t timed = 0;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t measured = 0; measured < CodeCount(plan); ++measured) {
      double best = std::numeric_limits<double>::infinity();
      for (int attempt = 0; attempt < 3; ++attempt) {
        best = std::min(best, machine.code_ticks({pass, measured, 0}, calls));
      }
      total_ticks += best;
      ++timed;
    }
  }
  return total_ticks / machine.ticks_per_ns / static_cast<double>(timed * calls);
}

}  // namespace stats

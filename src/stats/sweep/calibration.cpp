#include "stats/sweep/calibration.h"

#include <algorithm>
#include <limits>

#include "stats/sweep/clock.h"

namespace stats {

double CalibrateNsPerCall(const MeasureCode& code, const RoundsPlan& plan, uint32_t calls,
                          double ticks_per_ns) {
  double total_ticks = 0;
  size_t timed = 0;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t measured = 0; measured < CodeCount(plan); ++measured) {
      PlacedLoop* loop = code.loop({pass, measured, 0});
      double best = std::numeric_limits<double>::infinity();
      for (int attempt = 0; attempt < 3; ++attempt) {
        best = std::min(best, CodeTicks(loop, PASS_OPERANDS[pass], calls));
      }
      total_ticks += best;
      ++timed;
    }
  }
  return total_ticks / ticks_per_ns / static_cast<double>(timed * calls);
}

}  // namespace stats

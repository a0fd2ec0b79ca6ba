#include "stats/sweep/estimate/stop_rule.h"

#include <algorithm>

namespace stats {

bool PrecisionStreak::Ends(uint32_t rounds, double seconds, bool precise_now) {
  if (!precise_now) {
    holding_ = false;
    return false;
  }
  if (!holding_) {
    holding_ = true;
    since_ = rounds;
  }
  return rounds >= least_rounds_ && seconds >= least_seconds_ &&
         rounds - since_ >= std::max<uint32_t>(2, rounds / 4);
}

bool CheckDue(uint32_t rounds, uint32_t checked) {
  return rounds >= checked + std::max<uint32_t>(2, rounds / 16);
}

}  // namespace stats

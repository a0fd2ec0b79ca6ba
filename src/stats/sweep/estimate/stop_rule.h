// When the rounds may end precise. One check that passes by luck must not end them: the precision
// must hold at every check over the last quarter of the rounds (at least two rounds), so that it
// holds again on rounds it had not seen. And the rounds must span a least time, so that a state of
// the machine that lasts a while has a chance to be seen coming or going.
#pragma once

#include <cstdint>

namespace stats {

class PrecisionStreak {
 public:
  PrecisionStreak(uint32_t least_rounds, double least_seconds)
      : least_rounds_(least_rounds), least_seconds_(least_seconds) {}
  // A check after `rounds` rounds, `seconds` into them, at which every figure was precise or not:
  // whether the rounds may end here.
  bool Ends(uint32_t rounds, double seconds, bool precise_now);

 private:
  uint32_t least_rounds_;
  double least_seconds_;
  bool holding_ = false;
  uint32_t since_ = 0;
};

// Whether the figures are worked out again after `rounds`, the last time after `checked`: every
// two rounds at first, then every sixteenth of the rounds, so that the checks of a long wait cost
// a bounded share of its time.
bool CheckDue(uint32_t rounds, uint32_t checked);

}  // namespace stats

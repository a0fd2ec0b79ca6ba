// When two figures, each with its uncertainty, differ for a reason: the one rule both a sweep's own
// ranking and a comparison of sweeps judge by.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace stats {

// Figures are judged in whole ten-thousandths of a cycle, the resolution a result record keeps,
// and in integers, so that every build (the IA-32 one's x87 arithmetic too) judges alike.
constexpr double DIFFERENCE_UNITS_PER_CYCLE = 1e4;
// A difference counts only past DIFFERENCE_FACTOR times the root of the sum of the two
// uncertainties' squares, and from 0.05 cycle: sweeps of one quiet machine, on two processors or
// an hour apart, have read kernels 0.01 to 0.03 cycle apart with floors of a few thousandths,
// a state of the machine that no sweep's halves can see.
constexpr int64_t DIFFERENCE_FACTOR = 2;
constexpr int64_t DIFFERENCE_LEAST_UNITS = 500;
// Figures are held within this, so that their units fit 64 bits with room to square.
constexpr double DIFFERENCE_LARGEST_CYCLES = 1e12;

inline int64_t DifferenceUnits(double cycles) {
  const double held = std::clamp(cycles, -DIFFERENCE_LARGEST_CYCLES, DIFFERENCE_LARGEST_CYCLES);
  return std::llround(held * DIFFERENCE_UNITS_PER_CYCLE);
}

inline bool Distinguishable(double first, double first_uncertainty, double second,
                            double second_uncertainty) {
  uint64_t apart =
      static_cast<uint64_t>(std::llabs(DifferenceUnits(second) - DifferenceUnits(first)));
  if (apart < static_cast<uint64_t>(DIFFERENCE_LEAST_UNITS)) return false;
  uint64_t one = static_cast<uint64_t>(std::llabs(DifferenceUnits(first_uncertainty)));
  uint64_t other = static_cast<uint64_t>(std::llabs(DifferenceUnits(second_uncertainty)));
  // Squares of values under 2^30 fit; larger ones (above 100000 cycles) lose their last bits alike.
  while (std::max({apart, one, other}) >= (uint64_t{1} << 30)) {
    apart >>= 1;
    one >>= 1;
    other >>= 1;
  }
  const uint64_t factor = static_cast<uint64_t>(DIFFERENCE_FACTOR);
  return apart * apart > factor * factor * (one * one + other * other);
}

}  // namespace stats

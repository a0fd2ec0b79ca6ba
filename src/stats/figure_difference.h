// When two figures, each with its uncertainty, differ for a reason: the one rule both a sweep's own
// ranking and a comparison of sweeps judge by.
#pragma once

#include <algorithm>
#include <cmath>

namespace stats {

// A difference counts only past DIFFERENCE_FACTOR times the root of the sum of the two
// uncertainties' squares, and past the 0.01 cycle the tables show.
constexpr double DIFFERENCE_FACTOR = 2;
constexpr double DIFFERENCE_LEAST_CYCLES = 0.01;

inline bool Distinguishable(double first, double first_uncertainty, double second,
                            double second_uncertainty) {
  const double bound =
      std::max(DIFFERENCE_FACTOR * std::hypot(first_uncertainty, second_uncertainty),
               DIFFERENCE_LEAST_CYCLES);
  return std::abs(second - first) > bound;
}

}  // namespace stats

// How long a chunk of calls takes, before the rounds choose how many calls a chunk has.
#pragma once

#include <cstdint>

#include "stats/sweep/estimate/rounds.h"

namespace stats {

// ns per call (or iteration) over every code of the plan in both passes at its first placement,
// each the fastest of three timings of `calls`.
double CalibrateNsPerCall(const Instruments& machine, const RoundsPlan& plan, uint32_t calls);

}  // namespace stats

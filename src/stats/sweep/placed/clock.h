// The two timings the sweep pairs, read from the time-stamp counter, which ticks at a constant
// rate whatever the core's clock does.
#pragma once

#include <cstdint>

#include "stats/sweep/placed/placement.h"

namespace stats {

// Ticks of `calls` calls (or iterations) of placed code.
double CodeTicks(PlacedLoop* loop, int32_t operand, uint32_t calls);
// Ticks of a chain of `adds` dependent one-cycle additions, a multiple of 100.
double ChainTicks(uint32_t adds);
// Ticks of `steps` steps of three independent additions (a multiple of 100): the witness of a
// shared core.
double WitnessTicks(uint32_t steps);
// How many ticks the counter makes per nanosecond, against the system's monotonic clock.
double TicksPerNs();

}  // namespace stats

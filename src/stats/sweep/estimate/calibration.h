// How long a chunk of calls takes, before the rounds choose how many calls a chunk has.
#pragma once

#include <cstdint>

#include "stats/sweep/estimate/rounds.h"

namespace stats {

// A timed chunk lasts a few microseconds, like the chain beside it: short enough that the clock
// holds still across the pair, long enough that the counter's readings cost little against it.
constexpr double CHUNK_NS = 3000;
constexpr uint32_t CHAIN_ADDS = 10000;
constexpr uint32_t PAIRS_PER_VISIT = 5;

// ns per call (or iteration) over every code of the plan in both passes at its first placement,
// each the fastest of three timings of `calls`.
double CalibrateNsPerCall(const Instruments& machine, const RoundsPlan& plan, uint32_t calls);

}  // namespace stats

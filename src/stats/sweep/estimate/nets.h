// The nets of a measure's rounds: each kernel's visits less what its rule subtracts, formed
// within the rounds that were timed together, then a median over them.
#pragma once

#include <cstddef>
#include <vector>

#include "stats/sweep/estimate/rounds.h"

namespace stats {

// Every kernel at every placement and pass, from the rounds the witness did not call shared (all
// of them when too few were free); `kernels` gives each procedure but the empty one its
// index among the sweep's kernels.
std::vector<SweepSample> NetsFromVisits(const RoundsPlan& plan, const RoundsRecord& record,
                                        const std::vector<size_t>& kernels);
// Whether the witness saw a shared core in all rounds but a few (under 8, or under a tenth).
bool TooFewRoundsFree(const RoundsRecord& record);

}  // namespace stats

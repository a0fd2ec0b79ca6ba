// How long a measuring process may run, by this process's own clock: the progress it reports
// proves nothing, since a kernel can count on the shared page as it spins. Time stopped by Ctrl-Z
// is not counted.
#pragma once

#include <cstddef>

#include "stats/measure.h"

namespace stats {

// With calls per chunk fixed by hand, or rounds without a time, a round can take minutes: a
// measuring process then gets this long, as --help says.
constexpr double CALLS_BY_HAND_DEADLINE_SECONDS = 30 * 60;

// In seconds, for a measuring process of `settings` with `kernels` kernels: with --calls, the
// bound above; with a time, twice what the sweep has left and a margin; with --rounds alone, the
// bound above or, when longer, ten times what the rounds asked take with chunks of the usual
// length and a slow clock, and a margin.
double MeasuringDeadlineSeconds(const SweepSettings& settings, size_t kernels);

}  // namespace stats

#include "stats/sweep/isolation/deadline.h"

#include <algorithm>

#include "stats/sweep/estimate/calibration.h"
#include "stats/sweep/estimate/grid.h"

namespace stats {

namespace {

// What a measuring process builds and calibrates before its rounds.
constexpr double BEFORE_ROUNDS_SECONDS = 3;
// A chain's additions at 1 GHz: slower than any core clock a sweep has seen.
constexpr double SLOWEST_CYCLES_PER_NS = 1;
// The rounds' expected time is far from exact: a kernel may take longer than a chunk's usual
// length, and the host may be busy.
constexpr double ROUNDS_SLACK = 10;

}  // namespace

double MeasuringDeadlineSeconds(const SweepSettings& settings, size_t kernels) {
  if (settings.calls != 0) return CALLS_BY_HAND_DEADLINE_SECONDS;
  const double longest = LongestSweepSeconds(settings);
  if (longest > 0)
    return 2 * std::max(0.0, longest - settings.seconds_before) + BEFORE_ROUNDS_SECONDS;
  double rounds_ns = 0;
  for (const SweepMeasure measure : settings.measures) {
    // Both passes of every kernel and the empty procedure at every placement.
    const double cells = 2.0 * static_cast<double>((kernels + 1) * GridFor(measure).size());
    // A warm-up and the pairs, each a chunk and its chain; a block's pair times N and 2N copies.
    const double chunks = IsBlock(measure) ? 3 : 1;
    const double visit_ns =
        (PAIRS_PER_VISIT + 1) * (chunks * CHUNK_NS + CHAIN_ADDS / SLOWEST_CYCLES_PER_NS);
    rounds_ns += settings.rounds * cells * visit_ns;
  }
  // A kernel may take up to a second a call, so chunks of the usual length are only a guess: the
  // rounds get what calls fixed by hand get, or ten times the guess when that is longer.
  return std::max(CALLS_BY_HAND_DEADLINE_SECONDS,
                  BEFORE_ROUNDS_SECONDS + ROUNDS_SLACK * rounds_ns / 1e9);
}

}  // namespace stats

// A cell's net from its visits over the rounds: within what stretch of time a kernel's visits are
// set against the empty procedure's, and what is kept of them.
#include "stats/sweep/estimate/nets.h"

#include <algorithm>
#include <cmath>

#include "stats/math/statistics.h"
#include "stats/sweep/estimate/rounds.h"

namespace stats {

namespace {

// A call loop's rounds kept are cut into groups of five to nine consecutive ones (a third of a
// second or so), and its net is made within each group, from the lowest visits of the kernel and
// of the empty procedure in that group alone, so that both come from one stretch of the machine's
// life. The cell keeps the median of its groups' nets: a state that shifts some loops for a while
// moves only the groups it lasts through, and is outvoted while it holds for less than half the
// time, however often it comes back. Lowest, because other tenants, a busy other thread and slow
// spells of the front end only ever add time, and a kernel's loop and the empty procedure's are of
// a size, so the slight low bias of a lowest ratio cancels in their net.
constexpr size_t ROUNDS_PER_GROUP = 5;
// A block subtracts within a round: its visit is the difference of N and 2N copies timed in the
// same pairs, and latency's net its visit less the glue's of that round. The cell keeps the median
// of its rounds' nets; throughput, which subtracts nothing and only ever gains time from a
// disturbance, a low quantile: the lowest would read about 1% low, picking the rounds whose chains
// happened to run slow.
constexpr double THROUGHPUT_QUANTILE = 0.35;
// Free rounds this few, or under a tenth of them, on a core shared the rest of the time are more
// likely the other thread's pauses than a core of its own.
constexpr long LEAST_FREE_ROUNDS = 8;

// The rounds the nets are made of: those free of a shared core, or all when too few were.
std::vector<size_t> RoundsKept(const RoundsRecord& record) {
  const bool all = TooFewRoundsFree(record);
  std::vector<size_t> kept;
  for (size_t round = 0; round < record.rounds.size(); ++round) {
    if (all || round >= record.shared.size() || !record.shared[round]) kept.push_back(round);
  }
  return kept;
}

// A call loop's net from the rounds kept[from, to): the median of the nets of their groups.
double GroupedNet(const RoundsRecord& record, const std::vector<size_t>& kept, size_t from,
                  size_t to, size_t own, size_t empty) {
  const size_t groups = std::max<size_t>(1, (to - from) / ROUNDS_PER_GROUP);
  std::vector<double> nets;
  for (size_t group = 0; group < groups; ++group) {
    double own_lowest = HUGE_VAL, empty_lowest = HUGE_VAL;
    for (size_t at = from + group * (to - from) / groups;
         at < from + (group + 1) * (to - from) / groups; ++at) {
      const std::vector<Visit>& visits = record.rounds[kept[at]];
      own_lowest = std::min(own_lowest, visits[own].cycles);
      empty_lowest = std::min(empty_lowest, visits[empty].cycles);
    }
    if (own_lowest != HUGE_VAL) nets.push_back(own_lowest - empty_lowest);
  }
  return nets.empty() ? 0 : Quantile(nets, 0.5);
}

// A kernel's net at one placement and pass from the rounds kept[from, to).
double NetOver(const RoundsPlan& plan, const RoundsRecord& record, const std::vector<size_t>& kept,
               size_t from, size_t to, Pass pass, size_t kernel, size_t placement) {
  const size_t own = CellIndex(plan, {pass, kernel, placement});
  const size_t empty = CellIndex(plan, {pass, plan.procedures - 1, placement});
  if (plan.rule == NetRule::AGAINST_EMPTY) return GroupedNet(record, kept, from, to, own, empty);
  std::vector<double> nets;
  for (size_t at = from; at < to; ++at) {
    const std::vector<Visit>& visits = record.rounds[kept[at]];
    nets.push_back(plan.rule == NetRule::PER_COPY ? visits[own].cycles
                                                  : visits[own].cycles - visits[empty].cycles);
  }
  return nets.empty() ? 0
                      : Quantile(nets, plan.rule == NetRule::PER_COPY ? THROUGHPUT_QUANTILE : 0.5);
}

}  // namespace

std::vector<SweepSample> NetsFromVisits(const RoundsPlan& plan, const RoundsRecord& record,
                                        const std::vector<size_t>& kernels) {
  const std::vector<size_t> kept = RoundsKept(record);
  const size_t rounds = kept.size(), half = rounds / 2;
  std::vector<SweepSample> samples;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t kernel = 0; kernel + 1 < plan.procedures; ++kernel) {
      for (size_t placement = 0; placement < plan.placements; ++placement) {
        auto net = [&](size_t from, size_t to) {
          return NetOver(plan, record, kept, from, to, pass, kernel, placement);
        };
        const double cycles = net(0, rounds);
        // ns per call is ms per 1e9 calls over 1000.
        const double ms = record.median_clock_ghz > 0 ? 1000 * cycles / record.median_clock_ghz : 0;
        samples.push_back({pass, kernels.empty() ? kernel : kernels[kernel], placement, ms, cycles,
                           net(0, half), net(half, rounds)});
      }
    }
  }
  return samples;
}

bool TooFewRoundsFree(const RoundsRecord& record) {
  const auto free = std::count(record.shared.begin(), record.shared.end(), false);
  const auto shared = static_cast<long>(record.shared.size()) - free;
  // A few free rounds among many shared ones, not a few rounds of which one was shared.
  return shared > 0 && ((free < LEAST_FREE_ROUNDS && shared >= free) || 10 * free < shared);
}

}  // namespace stats

// How the sweep measures on a shared host: every cell timed once per round, each round in its own
// shuffled order, and only the fastest time of each cell kept. Other tenants only ever add time,
// so the minimum is the closest a run gets to the code's own cost. The machine is reached through
// Instruments, so that the bookkeeping can be tested with a fake timer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "stats/pass.h"

namespace stats {

// One procedure at one placement in one pass.
struct Cell {
  Pass pass;
  size_t procedure;
  size_t placement;
};

struct RoundsPlan {
  size_t procedures = 0;  // the kernels, then the empty procedure last
  size_t placements = 0;
  uint32_t rounds = 0;  // even, so that the two halves can be compared
  uint32_t calls = 0;   // per measurement
  uint32_t copies = 1;  // of the measured code per call; nets are per copy
  uint64_t seed = 0;    // of every round's order
};

struct Instruments {
  std::function<double(const Cell&, uint32_t calls)> time_ns;
  std::function<double()> clock_ghz;  // one estimate, taken at the start of every round
  std::function<bool()> stop_requested;
  std::function<void(size_t done, size_t total)> progress;
};

// The fastest raw time of every cell (indexed by CellIndex) over all rounds and over each half of
// them, and each round's clock estimate.
struct RoundsRecord {
  std::vector<double> minimum_ns, first_half_ns, second_half_ns;
  std::vector<double> clock_ghz;
  bool stopped = false;
};

size_t CellCount(const RoundsPlan& plan);
size_t CellIndex(const RoundsPlan& plan, const Cell& cell);

RoundsRecord MeasureInRounds(const RoundsPlan& plan, const Instruments& instruments);

// A kernel's net at one placement in one pass, in ms per 1e9 calls (or copies): from the minima of
// all rounds, and from those of each half.
struct SweepSample {
  Pass pass;
  size_t kernel;
  size_t placement;
  double net_ms;
  double first_half_ms;
  double second_half_ms;
};

// Every kernel (each procedure but the last) at every placement and pass: its minimum minus the
// empty procedure's minimum at the same placement and pass.
std::vector<SweepSample> NetsFromMinima(const RoundsPlan& plan, const RoundsRecord& record);

// The median over all samples of how far the two halves' nets differ, in cycles: what the host's
// noise alone moves a net by.
double NoiseFloorCycles(const std::vector<SweepSample>& samples, double clock_ghz);

// The share of placements whose net is more than `tolerance` from its half's median, on the same
// side, in both halves: a placement effect that repeats, which noise alone rarely does.
double RepeatedShareAway(const std::vector<double>& first_half,
                         const std::vector<double>& second_half, double tolerance);

// Calls per measurement so that `measurements` of them, each with its warm-up, take about
// `seconds` at `ns_per_call`.
uint32_t CallsForBudget(double ns_per_call, size_t measurements, double seconds);

// The untimed calls before each timed measurement, so that the placement's code is fetched,
// decoded and predicted before the clock starts.
inline uint32_t WarmUpCalls(uint32_t calls) { return calls / 8 + 1; }

}  // namespace stats

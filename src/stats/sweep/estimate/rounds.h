// How the sweep measures on a shared host whose core clock moves. A timing of the measured code is
// always followed at once by a timing of a chain of dependent one-cycle additions (a pair); the
// ratio of the two is the code's cost in core cycles at whatever clock the core ran in those
// microseconds. A visit of a cell takes a few pairs and keeps their median, so an interrupt in one
// chunk drops out. Every cell is visited once per round, each round in its own shuffled order.
// A block's visit times its N and 2N copies back to back in each pair, so that a slow spell cancels
// in their difference. A net is formed within a stretch of time, from the kernel's and the empty
// procedure's visits of that stretch alone, so that both come from one state of the machine: for a
// call loop a group of five to nine consecutive rounds, whose lowest visits are subtracted; for a
// block a round. A cell's net is then the median of its groups' (or rounds') nets, or for
// throughput a low quantile. A witness of independent additions is timed with each visit, and
// rounds in which it says the core's other thread was busy are left out. Rounds go on until every
// figure is precise (figure_precision.h) on checks that hold again on new rounds (stop_rule.h), or
// the time is up. The machine is reached through Instruments, so that all of this can be tested
// against a fake host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "stats/pass.h"

namespace stats {

// How a measure's timed codes make nets.
enum class NetRule {
  // Each procedure's call loop; a net is the kernel's cycles per call minus the empty procedure's.
  AGAINST_EMPTY,
  // Each procedure as two blocks, of N and 2N inline copies, timed in the same pair; per copy is
  // their difference over N, so that the loop's own cost cancels. Latency chains add up, so the
  // empty procedure's (the glue alone) is subtracted; throughput is the cost per copy of glue and
  // kernel together.
  PER_COPY_AGAINST_EMPTY,
  PER_COPY,
};

// One timed code at one placement in one pass. As a cell of the rounds, `code` is a procedure; as
// what Instruments time, it is CodeOf a procedure: its loop, or one of its two blocks.
struct Cell {
  Pass pass;
  size_t code;
  size_t placement;
};

struct RoundsPlan {
  size_t procedures = 0;  // the kernels, then the empty procedure last
  size_t placements = 0;
  NetRule rule = NetRule::AGAINST_EMPTY;
  uint32_t copies = 1;  // N, for the per-copy rules: the smaller block's copies
  uint32_t calls = 0;   // per chunk: calls of the loop, or iterations of a block
  uint32_t pairs = 5;   // per visit
  uint32_t chain_adds = 10000;
  double chain_overhead_cycles = 0;  // what timing a chain costs beyond its additions
  uint32_t least_rounds = 8;         // even; before these the precision is not looked at
  uint32_t most_rounds = 0;          // even; 0 for no limit
  uint32_t rounds_held = 0;          // even; the memory holds no more, and time is up at them
  double precision_cycles = 0.02;    // stop once every figure is this precise; 0 never
  double least_seconds = 0;          // nor before the rounds have spanned this long
  double seconds = 0;                // stop at the first even round after this much time
  double busy_seconds = 0;           // or short of the precision, wait up to this much instead
  bool witnessed = false;            // time the witness of a shared core with every visit
  uint64_t seed = 0;                 // of every round's order
};

struct Instruments {
  // Ticks of a constant-rate counter: `calls` calls (or iterations) of a cell's code, and a chain
  // of `adds` dependent additions. The chain is timed right after the code it is paired with.
  std::function<double(const Cell&, uint32_t calls)> code_ticks;
  std::function<double(uint32_t adds)> chain_ticks;
  // Ticks of `steps` steps of three independent additions: a cycle each on a core of its own, and
  // more when the core's other thread competes for its adders. Timed right after a chain.
  std::function<double(uint32_t steps)> witness_ticks;
  double ticks_per_ns = 1;
  std::function<double()> elapsed_seconds;
  std::function<bool()> stop_requested;
  // The seconds the process was stopped so far; a round during which it changed is left out and
  // made again, as its chunks cut by the stop are no timings. Absent: never stopped.
  std::function<double()> stopped_seconds;
  // In visits; `waiting` once the usual time is past and the rounds go on for quieter ones.
  std::function<void(size_t done, size_t total, bool waiting)> progress;
};

// One visit of one cell: the median of its pairs, per call, or per copy of a block.
struct Visit {
  double cycles = 0;
  double witness_cycles = 0;  // per step, timed with the visit when witnessed
};

// A call loop's precision is not looked at before this many rounds: three groups of five rounds or
// more (nets.cpp) to each half, so that a state lasting through one group is outvoted in each.
constexpr uint32_t LEAST_CALL_ROUNDS = 32;

// Above this many cycles per step the witness says the core was shared; alone it reads 1.
constexpr double SHARED_WITNESS_CYCLES = 1.1;

struct RoundsRecord {
  // WAITED_OUT: short of the precision at the end of the wait for quieter rounds.
  enum End { PRECISE, TIME_UP, ROUNDS_DONE, STOPPED, WAITED_OUT } end = ROUNDS_DONE;
  std::vector<std::vector<Visit>> rounds;               // per round, indexed by CellIndex
  std::vector<bool> shared;                             // per round: the witness saw a shared core
  double slowest_clock_ghz = 0, fastest_clock_ghz = 0;  // of the visits' paired chains
  double median_clock_ghz = 0;
  double noise_floor_cycles = 0;  // the figures' typical uncertainty, of the rounds done
  bool waited = false;            // the rounds went on past the usual time
};

size_t CodeCount(const RoundsPlan& plan);
size_t CellCount(const RoundsPlan& plan);  // passes x procedures x placements
size_t CellIndex(const RoundsPlan& plan, const Cell& cell);
// The code of a procedure: its loop, or with `larger` its block of 2N copies instead of N.
size_t CodeOf(const RoundsPlan& plan, size_t procedure, bool larger = false);

// What timing a chain costs beyond its additions, in cycles: from chains of `adds` and 2 x `adds`
// timed one after the other, so that the clock cancels in their ratio.
double ChainOverheadCycles(const Instruments& instruments, uint32_t adds, int pairs = 401);

RoundsRecord MeasureInRounds(const RoundsPlan& plan, const Instruments& instruments);

// The rounds keep a few words per visit, and their figures as many again while they are worked
// out: a measure with a time makes no more visits than this (a visit takes 13 us at least, five
// pairs of a 10,000-addition chain).
constexpr size_t MOST_VISITS_PER_MEASURE = size_t{4} << 20;
// What the rounds of a measure of `most_visits` visits, and all else a measuring process does,
// may allocate.
size_t RoundsHeapBytes(size_t most_visits);

// A kernel's net at one placement in one pass: per call (or copy) in cycles and in ms per 1e9
// calls at the rounds' median clock, from all rounds kept, and in cycles from each half of them.
struct SweepSample {
  Pass pass;
  size_t kernel;  // an index into the sweep's kernels
  size_t placement;
  double net_ms;
  double net_cycles;
  double first_half_cycles;
  double second_half_cycles;
};

// The share of placements whose net is more than `tolerance` from its half's median, on the same
// side, in both halves: a placement effect that repeats, which noise alone rarely does.
double RepeatedShareAway(const std::vector<double>& first_half,
                         const std::vector<double>& second_half, double tolerance);

// Calls per chunk so that a chunk takes about `chunk_ns` at `ns_per_call`.
uint32_t CallsPerChunk(double ns_per_call, double chunk_ns);
constexpr uint32_t MOST_CALLS_PER_CHUNK = 1000000;

}  // namespace stats

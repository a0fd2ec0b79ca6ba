// A fake host for the sweep's estimator: a core clock that moves, chains that spread, interrupts,
// slow spells, states that come and go, and a core shared with a busy other thread; and the true
// costs of a few kernels at a few placements, to hold the estimator's figures against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "stats/sweep/estimate/results.h"
#include "stats/sweep/estimate/rounds.h"

namespace stats_test {

using stats::Cell;
using stats::NEGATIVE;
using stats::NetRule;
using stats::Pass;
using stats::POSITIVE;

constexpr double TICKS_PER_NS = 2.5;

// A host like the shared ones: the core clock holds for 20 to 200 microseconds at a time, anywhere
// from 2.8 to 3.8 GHz; a chain's time spreads by up to 1% on its own, so that the lowest of many
// visits reads low; one chunk in a hundred gets an interrupt's 2 to 20 microseconds; and now and
// then, for a few milliseconds, every call costs a cycle more (a slow spell of the front end, or a
// neighbour on the core's other thread) while the chain of additions does not show it.
struct FakeHost {
  // The code's own cycles per call (or per iteration of a block) in a cell.
  std::function<double(const Cell&)> cycles_per_call;
  bool moving_clock = true;
  double chain_jitter = 0.01;  // the chain's own spread, as a share of its time
  double burst_chance = 0.01;
  double spell_share = 0.2;
  double code_overhead_cycles = 150, chain_overhead_cycles = 40;
  uint32_t stop_after_visits = 0;  // 0: never asked to stop
  bool waited = false;             // the progress said the rounds wait for quieter ones
  // A state of the machine that comes and goes: on for `state_on_ns`, then off for `state_off_ns`,
  // and so on from the start; while it holds, every procedure's loop but those `state_spares` gets
  // `state_shift_cycles` per call faster.
  double state_shift_cycles = 0, state_on_ns = 0, state_off_ns = 1;
  std::function<bool(size_t procedure)> state_spares = [](size_t) { return false; };
  // The core's other thread busy until `shared_until_ns`: the measured code (calls, taken jumps
  // and chains of several instructions alike, as a real shared core showed) and the witness of
  // independent additions take `shared_slowdown` times their cycles; the chain of additions that
  // counts the cycles does not notice.
  double shared_until_ns = 0, shared_slowdown = 1.25;

  std::mt19937_64 random{5};
  double now_ns = 0, span_end_ns = 0, clock_ghz = 3.3;
  double spell_end_ns = 0;
  bool in_spell = false;
  std::vector<std::vector<Cell>> rounds;  // the cells in the order visited, per round
  size_t cells_per_round = 0;
  uint32_t chunks_per_visit = 0;  // a warm-up and the pairs, of one code or of two blocks
  size_t codes_per_procedure = 1;
  size_t chunks = 0;

  bool InState() const {
    return state_shift_cycles != 0 && std::fmod(now_ns, state_on_ns + state_off_ns) < state_on_ns;
  }
  bool Shared() const { return now_ns < shared_until_ns; }

  double Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
  }

  // Ticks for `cycles` of work at the moving clock.
  double Run(double cycles, bool slowed_by_spells, uint32_t calls);
  stats::Instruments Instruments();
};

// The fake host's rounds, of fewer cells, are about a sixteenth as long as a real sweep's: so is
// its second, where the rounds' least time and the states that come and go are concerned.
constexpr double FAKE_SECOND = 1.0 / 16;

// Three kernels and the empty procedure at 16 placements, measured by `rule`.
stats::RoundsPlan Plan(NetRule rule);
// A kernel's true net at one placement and pass.
double TrueNet(const stats::RoundsPlan& plan, Pass pass, size_t kernel, size_t placement);
// The host on which `plan`'s procedures cost what TrueNet says.
FakeHost HostFor(const stats::RoundsPlan& plan);

// The nets of a whole measurement on the fake host, with their truth beside them.
struct Outcome {
  stats::MeasureResult measure;
  std::vector<double> truth;  // per sample
  stats::RoundsRecord::End end;
  size_t rounds = 0;
  bool waited = false;
};
Outcome MeasureOnFakeHost(const stats::RoundsPlan& plan, FakeHost host);

// The largest distance of a kernel's figure from the truth's median over the placements.
double LargestMiss(const stats::RoundsPlan& plan, const Outcome& outcome);

}  // namespace stats_test

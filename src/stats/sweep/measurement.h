// absbench-stats --sweep: every kernel timed in-process at many code placements, so that its
// figure is what it costs rather than an accident of where one build put it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stats/code_arena.h"
#include "stats/report.h"
#include "stats/sweep_rounds.h"

namespace stats {

// A procedure to place: its name (and words, for the table) and its bytes, trailer included.
struct SweepKernel {
  std::string name;
  std::string words;
  std::vector<uint8_t> bytes;
};

// The kernels of the table and the empty procedure, with their linked bytes.
std::vector<SweepKernel> TableKernels();
SweepKernel EmptyProcedureKernel();

// Where the loop body and the kernel start, modulo 64.
struct Placement {
  int loop_offset;
  int kernel_offset;
};
// The loop body at every 4th byte of a 64-byte block, the kernel at every 16th: 64 placements.
std::vector<Placement> DefaultGrid();

// Every procedure at every placement, each pair on a page of its own: the loop body at byte
// 256 + loop offset of the page, the kernel at 2048 + kernel offset.
constexpr size_t PLACEMENT_PAGE = 4096;
constexpr size_t LOOP_BODY_AT = 256;
constexpr size_t KERNEL_AT = 2048;

using PlacedLoop = void(int32_t operand, uint32_t calls);

class PlacedCode {
 public:
  PlacedCode(const std::vector<SweepKernel>& procedures, const std::vector<Placement>& grid);
  // False, with the reason in error(), when the pages could not be mapped or made executable.
  bool ok() const { return ok_; }
  const std::string& error() const { return arena_.error(); }
  const CodeArena& arena() const { return arena_; }

  PlacedLoop* loop(size_t procedure, size_t placement) const;
  const uint8_t* loop_body(size_t procedure, size_t placement) const;
  const uint8_t* kernel(size_t procedure, size_t placement) const;

  // Writes every copy into the read-write pages; MakeExecutable must follow before any run.
  void Write(const std::vector<SweepKernel>& procedures);
  bool MakeExecutable();

 private:
  const uint8_t* page(size_t procedure, size_t placement) const;
  std::vector<Placement> grid_;
  CodeArena arena_;
  bool ok_ = false;
};

// Pins the calling thread to `cpu` and asks for nice -10 (refused silently without privilege);
// empty, or why it could not be pinned.
std::string PinMeasuringThread(int cpu);
int CurrentCpu();

// Core cycles per nanosecond, from the fastest of `tries` timings of a chain of 2e6 dependent
// one-cycle additions (under a millisecond each).
double EstimateClockGhz(int tries = 5);

struct SweepSettings {
  uint32_t calls = 0;  // per measurement; 0: from a short calibration against `seconds`
  uint32_t rounds = 10;
  double seconds = 14;  // what the measurements may take in all, warm-ups included
  uint64_t seed = 0;
  int cpu = -1;  // where the measuring thread is pinned
};

struct SweepResult {
  std::vector<SweepKernel> kernels;
  std::vector<Placement> grid;
  SweepSettings settings;  // with the calls that were used
  double clock_ghz = 0;    // the fastest round's estimate: the clock the core really ran at
  double slowest_clock_ghz = 0;
  double noise_floor_cycles = 0;
  std::vector<SweepSample> samples;
  bool stopped = false;  // by Ctrl-C or SIGTERM
  std::string error;     // empty when the sweep ran
};

// Times every kernel and the empty procedure at every placement, both passes, in rounds shuffled
// with the seed; `progress` gets the measurements done and the total.
SweepResult RunSweep(const std::vector<SweepKernel>& kernels, const SweepSettings& settings,
                     const std::function<void(size_t, size_t)>& progress);

// A distribution over placements: its median and quartiles.
struct Spread {
  double median = 0, first_quartile = 0, third_quartile = 0;
};
Spread DescribeSpread(const std::vector<double>& values);

// ms per 1e9 calls in core cycles per call.
inline double Cycles(double net_ms, double clock_ghz) { return net_ms * clock_ghz / 1000; }
// Half a core cycle, in ms per 1e9 calls.
inline double HalfCycleMs(double clock_ghz) { return 500 / clock_ghz; }

// The nets of one kernel in one pass, in grid order: from all rounds, or from one half of them.
std::vector<double> NetsOf(const SweepResult& result, Pass pass, size_t kernel,
                           double SweepSample::*net = &SweepSample::net_ms);

// The share of a kernel's placements more than half a cycle from its median in both halves alike.
double LayoutEffectShare(const SweepResult& result, Pass pass, size_t kernel);

}  // namespace stats

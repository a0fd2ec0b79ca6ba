// What the sweep measures, and how long and how precisely it may: shared by the command line, the
// sweep and whatever reads a sweep's figures.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stats {

// The benchmark's call loop, a dependent chain of inline copies, or independent inline copies.
enum class SweepMeasure { CALL, LATENCY, THROUGHPUT };
constexpr std::array<const char*, 3> MEASURE_NAMES = {"call", "latency", "throughput"};

inline const char* MeasureName(SweepMeasure measure) {
  return MEASURE_NAMES[static_cast<size_t>(measure)];
}

// Latency and throughput time blocks of inline copies; call times the benchmark's loop.
inline bool IsBlock(SweepMeasure measure) { return measure != SweepMeasure::CALL; }

// "call,latency" or "all", each measure once, in the order given; empty when a name is unknown.
std::optional<std::vector<SweepMeasure>> ParseMeasureList(const std::string& list);

struct SweepSettings {
  std::vector<SweepMeasure> measures = {SweepMeasure::CALL};  // in the order given
  uint32_t calls = 0;   // per chunk; 0: from a short calibration
  uint32_t rounds = 0;  // exactly this many; 0: until the precision is reached or time is up
  double precision_cycles = 0.02;
  double seconds = 0;  // for all the measures together, a hard cap; 0: DefaultSweepSeconds, and
                       // up to BUSY_HOST_SECONDS while the host is too busy for the precision
  uint64_t seed = 0;   // of the rounds' shuffle
  int cpu = -1;        // where the measuring thread is pinned; -1: where the sweep starts
  // A sweep taken up again in a new measuring process after a kernel was left out: the measures
  // done before these, and the seconds spent so far, both counted against the caps.
  size_t measures_before = 0;
  double seconds_before = 0;
};

// The kernels of a user's a sweep takes beside the table's.
constexpr size_t MOST_USER_KERNELS = 64;

// A user's kernel as given: hex bytes (--kernel) or assembly text (--kernel-asm), NAME=...
struct UserKernelArgument {
  bool assembly = false;
  std::string argument;
};

// 8 s for one measure and 4 s for each further one.
double DefaultSweepSeconds(size_t measures);
// How long a sweep without --seconds may take when it waits for quieter rounds. Its rounds end a
// second sooner: the checks before them and the output after them took 0.2 s on a waiting sweep.
constexpr double BUSY_HOST_SECONDS = 40;
constexpr double BUSY_HOST_ROUNDS_SECONDS = BUSY_HOST_SECONDS - 1;
// The usual cap of all the sweep's measures together: --seconds, or DefaultSweepSeconds; 0 for
// none, when --rounds alone says how many rounds to make.
double SweepCapSeconds(const SweepSettings& settings);
// The longest all its rounds may take: the cap, or the wait for quieter rounds where there is one;
// 0 for no limit.
double LongestSweepSeconds(const SweepSettings& settings);

}  // namespace stats

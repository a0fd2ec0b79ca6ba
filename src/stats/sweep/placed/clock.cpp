#include "stats/sweep/placed/clock.h"

#include <x86intrin.h>

#include <chrono>
#include <thread>

extern "C" uint64_t ChainRoundsTicks(uint64_t rounds);
extern "C" uint64_t WitnessRoundsTicks(uint64_t rounds);

namespace stats {

namespace {

uint64_t FencedTicks() {
  _mm_lfence();
  const uint64_t ticks = __rdtsc();
  _mm_lfence();
  return ticks;
}

double NowNs() {
  return std::chrono::duration<double, std::nano>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

double CodeTicks(PlacedLoop* loop, int32_t operand, uint32_t calls) {
  const uint64_t start = FencedTicks();
  loop(operand, calls);
  return static_cast<double>(FencedTicks() - start);
}

double ChainTicks(uint32_t adds) { return static_cast<double>(ChainRoundsTicks(adds / 100)); }

double WitnessTicks(uint32_t steps) { return static_cast<double>(WitnessRoundsTicks(steps / 100)); }

double TicksPerNs() {
  const double start_ns = NowNs();
  const uint64_t start = FencedTicks();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double ns = NowNs() - start_ns;
  return static_cast<double>(FencedTicks() - start) / ns;
}

}  // namespace stats

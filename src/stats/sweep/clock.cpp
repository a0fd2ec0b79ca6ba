#include "stats/sweep/clock.h"

#include <time.h>
#include <x86intrin.h>

extern "C" uint64_t ChainTicks(uint64_t rounds);
extern "C" uint64_t WitnessTicks(uint64_t rounds);

namespace stats {

namespace {

uint64_t FencedTicks() {
  _mm_lfence();
  const uint64_t ticks = __rdtsc();
  _mm_lfence();
  return ticks;
}

double NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

}  // namespace

double CodeTicks(PlacedLoop* loop, int32_t operand, uint32_t calls) {
  const uint64_t start = FencedTicks();
  loop(operand, calls);
  return static_cast<double>(FencedTicks() - start);
}

double ChainTicks(uint32_t adds) { return static_cast<double>(::ChainTicks(adds / 100)); }

double WitnessTicks(uint32_t steps) { return static_cast<double>(::WitnessTicks(steps / 100)); }

double TicksPerNs() {
  const double start_ns = NowNs();
  const uint64_t start = FencedTicks();
  const timespec pause = {0, 20000000};
  nanosleep(&pause, nullptr);
  const double ns = NowNs() - start_ns;
  return static_cast<double>(FencedTicks() - start) / ns;
}

}  // namespace stats

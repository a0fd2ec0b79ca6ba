#include "stats/sweep.h"

#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "stats/benchmark_runner.h"
#include "stats/report.h"
#include "stats/statistics.h"

extern "C" {
void SweepLoopTemplate();
uint64_t DependentAdds(uint64_t rounds);
extern const uint32_t SweepLoopBodyOffset;
extern const uint32_t SweepLoopTemplateLength;
}

namespace stats {

namespace {

constexpr int BLOCK = 64;
constexpr size_t CALL_DISPLACEMENT_AT = 3;  // in the loop body: 8B C3, then E8 and the rel32
constexpr int32_t OPERANDS[2] = {1, -1};

std::vector<uint8_t> LinkedBytes(const void* procedure, uint32_t length) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(procedure);
  return std::vector<uint8_t>(bytes, bytes + length);
}

uint64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

std::vector<SweepKernel> TableKernels() {
  std::vector<SweepKernel> kernels;
  for (int row = 0; row < KERNEL_COUNT; ++row) {
    const KernelSlot& slot = KernelTable[row];
    kernels.push_back({slot.name, KernelWords(row),
                       LinkedBytes(reinterpret_cast<const void*>(slot.kernel), *slot.length)});
  }
  return kernels;
}

SweepKernel EmptyProcedureKernel() {
  return {"EmptyProcedure", "empty procedure",
          LinkedBytes(reinterpret_cast<const void*>(EmptyProcedure), EmptyProcedure_length)};
}

std::vector<Placement> DefaultGrid() {
  std::vector<Placement> grid;
  for (int loop = 0; loop < BLOCK; loop += 4) {
    for (int kernel = 0; kernel < BLOCK; kernel += 16) grid.push_back({loop, kernel});
  }
  return grid;
}

PlacedCode::PlacedCode(const std::vector<SweepKernel>& procedures,
                       const std::vector<Placement>& grid)
    : grid_(grid), arena_(procedures.size() * grid.size() * PLACEMENT_PAGE) {
  ok_ = arena_.ok();
}

const uint8_t* PlacedCode::page(size_t procedure, size_t placement) const {
  return arena_.bytes() + (procedure * grid_.size() + placement) * PLACEMENT_PAGE;
}

const uint8_t* PlacedCode::loop_body(size_t procedure, size_t placement) const {
  return page(procedure, placement) + LOOP_BODY_AT + grid_[placement].loop_offset;
}

const uint8_t* PlacedCode::kernel(size_t procedure, size_t placement) const {
  return page(procedure, placement) + KERNEL_AT + grid_[placement].kernel_offset;
}

PlacedLoop* PlacedCode::loop(size_t procedure, size_t placement) const {
  return reinterpret_cast<PlacedLoop*>(
      const_cast<uint8_t*>(loop_body(procedure, placement) - SweepLoopBodyOffset));
}

void PlacedCode::Write(const std::vector<SweepKernel>& procedures) {
  uint8_t* writable = arena_.writable();
  const auto* loop_template = reinterpret_cast<const uint8_t*>(SweepLoopTemplate);
  // Filler that traps, as after every kernel's RET.
  std::memset(writable, 0xCC, arena_.size());
  for (size_t procedure = 0; procedure < procedures.size(); ++procedure) {
    for (size_t placement = 0; placement < grid_.size(); ++placement) {
      uint8_t* kernel_at = writable + (kernel(procedure, placement) - arena_.bytes());
      uint8_t* body_at = writable + (loop_body(procedure, placement) - arena_.bytes());
      const std::vector<uint8_t>& bytes = procedures[procedure].bytes;
      std::memcpy(kernel_at, bytes.data(), bytes.size());
      std::memcpy(body_at - SweepLoopBodyOffset, loop_template, SweepLoopTemplateLength);
      // Only the CALL's displacement differs from the linked loop: it must reach this copy.
      uint8_t* call = body_at + CALL_DISPLACEMENT_AT - 1;
      const auto displacement = static_cast<int32_t>(kernel_at - (call + 5));
      std::memcpy(call + 1, &displacement, sizeof displacement);
    }
  }
}

bool PlacedCode::MakeExecutable() {
  ok_ = arena_.MakeExecutable();
  return ok_;
}

std::string PinMeasuringThread(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  if (sched_setaffinity(0, sizeof set, &set) != 0) {
    return "cannot pin to CPU " + std::to_string(cpu) + ": " + std::strerror(errno);
  }
  setpriority(PRIO_PROCESS, 0, -10);
  return "";
}

int CurrentCpu() { return sched_getcpu(); }

double EstimateClockGhz(int tries) {
  constexpr uint64_t ROUNDS = 20000;  // of 100 additions
  uint64_t best_ns = UINT64_MAX;
  DependentAdds(ROUNDS);
  for (int attempt = 0; attempt < tries; ++attempt) {
    const uint64_t start = NowNs();
    DependentAdds(ROUNDS);
    best_ns = std::min(best_ns, NowNs() - start);
  }
  return static_cast<double>(ROUNDS * 100) / static_cast<double>(best_ns);
}

namespace {

// Times `calls` calls of a placed loop after its warm-up.
double TimeLoop(PlacedLoop* loop, int32_t operand, uint32_t calls) {
  loop(operand, WarmUpCalls(calls));
  const uint64_t start = NowNs();
  loop(operand, calls);
  return static_cast<double>(NowNs() - start);
}

// ns per call averaged over the procedures at their first placement, each the fastest of three.
double CalibrateNsPerCall(const PlacedCode& placed, size_t procedures) {
  constexpr uint32_t CALLS = 20000;
  double total_ns = 0;
  for (size_t procedure = 0; procedure < procedures; ++procedure) {
    double best_ns = std::numeric_limits<double>::infinity();
    for (int attempt = 0; attempt < 3; ++attempt) {
      best_ns = std::min(best_ns, TimeLoop(placed.loop(procedure, 0), OPERANDS[NEGATIVE], CALLS));
    }
    total_ns += best_ns;
  }
  return total_ns / static_cast<double>(procedures * CALLS);
}

}  // namespace

SweepResult RunSweep(const std::vector<SweepKernel>& kernels, const SweepSettings& settings,
                     const std::function<void(size_t, size_t)>& progress) {
  SweepResult result;
  result.kernels = kernels;
  result.grid = DefaultGrid();
  result.settings = settings;
  std::vector<SweepKernel> procedures = kernels;
  procedures.push_back(EmptyProcedureKernel());

  PlacedCode placed(procedures, result.grid);
  if (!placed.ok()) {
    result.error = placed.error();
    return result;
  }
  placed.Write(procedures);
  if (!placed.MakeExecutable()) {
    result.error = placed.error();
    return result;
  }

  RoundsPlan plan;
  plan.procedures = procedures.size();
  plan.placements = result.grid.size();
  plan.rounds = settings.rounds;
  plan.seed = settings.seed;
  plan.calls = settings.calls != 0
                   ? settings.calls
                   : CallsForBudget(CalibrateNsPerCall(placed, procedures.size()),
                                    CellCount(plan) * plan.rounds, settings.seconds);
  result.settings.calls = plan.calls;

  Instruments machine;
  machine.time_ns = [&](const Cell& cell, uint32_t calls) {
    return TimeLoop(placed.loop(cell.procedure, cell.placement), OPERANDS[cell.pass], calls);
  };
  machine.clock_ghz = [] { return EstimateClockGhz(); };
  machine.stop_requested = [] { return StopSignal() != 0; };
  machine.progress = progress;
  const RoundsRecord record = MeasureInRounds(plan, machine);
  if (record.stopped) {
    result.stopped = true;
    return result;
  }
  const auto [slowest, fastest] =
      std::minmax_element(record.clock_ghz.begin(), record.clock_ghz.end());
  result.clock_ghz = *fastest;
  result.slowest_clock_ghz = *slowest;
  result.samples = NetsFromMinima(plan, record);
  result.noise_floor_cycles = NoiseFloorCycles(result.samples, result.clock_ghz);
  return result;
}

Spread DescribeSpread(const std::vector<double>& values) {
  return {Quantile(values, 0.5), Quantile(values, 0.25), Quantile(values, 0.75)};
}

std::vector<double> NetsOf(const SweepResult& result, Pass pass, size_t kernel,
                           double SweepSample::*net) {
  std::vector<double> nets;
  for (const SweepSample& sample : result.samples) {
    if (sample.pass == pass && sample.kernel == kernel) nets.push_back(sample.*net);
  }
  return nets;
}

double LayoutEffectShare(const SweepResult& result, Pass pass, size_t kernel) {
  return RepeatedShareAway(NetsOf(result, pass, kernel, &SweepSample::first_half_ms),
                           NetsOf(result, pass, kernel, &SweepSample::second_half_ms),
                           HalfCycleMs(result.clock_ghz));
}

}  // namespace stats

#include "stats/sweep.h"

#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "stats/benchmark_runner.h"
#include "stats/report.h"

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

double Quantile(const std::vector<double>& sorted, double fraction) {
  const double at = fraction * static_cast<double>(sorted.size() - 1);
  const size_t below = static_cast<size_t>(at);
  if (below + 1 >= sorted.size()) return sorted.back();
  return sorted[below] + (at - static_cast<double>(below)) * (sorted[below + 1] - sorted[below]);
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

double EstimateClockGhz() {
  constexpr uint64_t ROUNDS = 200000;  // 2e7 additions, a few milliseconds
  uint64_t best_ns = UINT64_MAX;
  DependentAdds(ROUNDS);
  for (int attempt = 0; attempt < 7; ++attempt) {
    const uint64_t start = NowNs();
    DependentAdds(ROUNDS);
    best_ns = std::min(best_ns, NowNs() - start);
  }
  return static_cast<double>(ROUNDS * 100) / static_cast<double>(best_ns);
}

SweepResult RunSweep(const std::vector<SweepKernel>& kernels, const SweepSettings& settings,
                     const std::function<void(size_t, size_t)>& progress) {
  SweepResult result;
  result.kernels = kernels;
  result.grid = DefaultGrid();
  result.settings = settings;
  std::vector<SweepKernel> procedures = kernels;
  procedures.push_back(EmptyProcedureKernel());
  const size_t empty = procedures.size() - 1;

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
  result.clock_ghz = EstimateClockGhz();

  struct Measurement {
    Pass pass;
    size_t procedure;
    size_t placement;
  };
  std::vector<Measurement> order;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t procedure = 0; procedure < procedures.size(); ++procedure) {
      for (size_t placement = 0; placement < result.grid.size(); ++placement) {
        order.push_back({pass, procedure, placement});
      }
    }
  }
  std::mt19937_64 shuffle(settings.seed);
  std::shuffle(order.begin(), order.end(), shuffle);

  // Elapsed ns per pass, procedure and placement.
  std::vector<double> elapsed(order.size());
  auto slot = [&](Pass pass, size_t procedure, size_t placement) {
    return (pass * procedures.size() + procedure) * result.grid.size() + placement;
  };
  const uint32_t warm_up = std::max<uint32_t>(settings.calls / 4, 1);
  for (size_t done = 0; done < order.size(); ++done) {
    if (StopSignal() != 0) {
      result.stopped = true;
      return result;
    }
    const Measurement& next = order[done];
    PlacedLoop* loop = placed.loop(next.procedure, next.placement);
    const int32_t operand = OPERANDS[next.pass];
    loop(operand, warm_up);
    const uint64_t start = NowNs();
    loop(operand, settings.calls);
    elapsed[slot(next.pass, next.procedure, next.placement)] = static_cast<double>(NowNs() - start);
    progress(done + 1, order.size());
  }

  const double ms_per_1e9_calls = 1e9 / 1e6 / settings.calls;
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t kernel = 0; kernel < kernels.size(); ++kernel) {
      for (size_t placement = 0; placement < result.grid.size(); ++placement) {
        const double net_ns =
            elapsed[slot(pass, kernel, placement)] - elapsed[slot(pass, empty, placement)];
        result.samples.push_back({pass, kernel, placement, net_ns * ms_per_1e9_calls});
      }
    }
  }
  return result;
}

Spread DescribeSpread(std::vector<double> values, double tolerance) {
  std::sort(values.begin(), values.end());
  Spread spread;
  spread.median = Quantile(values, 0.5);
  spread.first_quartile = Quantile(values, 0.25);
  spread.third_quartile = Quantile(values, 0.75);
  const auto away = std::count_if(values.begin(), values.end(), [&](double value) {
    return std::abs(value - spread.median) > tolerance;
  });
  spread.share_away = static_cast<double>(away) / static_cast<double>(values.size());
  return spread;
}

std::vector<double> NetsOf(const SweepResult& result, Pass pass, size_t kernel) {
  std::vector<double> nets;
  for (const SweepSample& sample : result.samples) {
    if (sample.pass == pass && sample.kernel == kernel) nets.push_back(sample.net_ms);
  }
  return nets;
}

}  // namespace stats

#include "stats/sweep/measurement.h"

#include <time.h>

#include <algorithm>
#include <limits>
#include <memory>

#include "stats/child_process.h"
#include "stats/statistics.h"
#include "stats/sweep/blocks.h"

extern "C" uint64_t DependentAdds(uint64_t rounds);

namespace stats {

namespace {

uint64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

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

// The code one measure runs, placed and executable: the benchmark's loop around each procedure,
// or blocks of each procedure's inline copies.
class MeasureCode {
 public:
  MeasureCode(SweepMeasure measure, const std::vector<Procedure>& procedures) {
    if (measure == SweepMeasure::CALL) {
      calls_ = std::make_unique<PlacedCode>(procedures, DefaultGrid());
      if (calls_->ok()) calls_->Write(procedures);
      ok_ = calls_->ok() && calls_->MakeExecutable();
      error_ = calls_->error();
      grid_ = DefaultGrid();
    } else {
      blocks_ = std::make_unique<PlacedBlocks>(measure, procedures);
      ok_ = blocks_->ok() && blocks_->MakeExecutable();
      error_ = blocks_->error();
      grid_ = blocks_->grid();
    }
  }
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  const std::vector<Placement>& grid() const { return grid_; }
  PlacedLoop* loop(const Cell& cell) const {
    return calls_ ? calls_->loop(cell.procedure, cell.placement)
                  : blocks_->loop(cell.pass, cell.procedure, cell.placement);
  }

 private:
  std::unique_ptr<PlacedCode> calls_;
  std::unique_ptr<PlacedBlocks> blocks_;
  std::vector<Placement> grid_;
  bool ok_ = false;
  std::string error_;
};

// ns per call averaged over the procedures at their first placement, each the fastest of three.
double CalibrateNsPerCall(const MeasureCode& code, size_t procedures, uint32_t calls) {
  double total_ns = 0;
  for (size_t procedure = 0; procedure < procedures; ++procedure) {
    double best_ns = std::numeric_limits<double>::infinity();
    for (int attempt = 0; attempt < 3; ++attempt) {
      const Cell cell{NEGATIVE, procedure, 0};
      best_ns = std::min(best_ns, TimeLoop(code.loop(cell), PASS_OPERANDS[NEGATIVE], calls));
    }
    total_ns += best_ns;
  }
  return total_ns / static_cast<double>(procedures * calls);
}

// The kernels a measure times, as indices into `kernels`; the others are refused with the reason.
std::vector<size_t> KernelsFor(SweepMeasure measure, const std::vector<Procedure>& kernels,
                               std::vector<std::string>& refusals) {
  std::vector<size_t> measured;
  for (size_t kernel = 0; kernel < kernels.size(); ++kernel) {
    if (measure != SweepMeasure::CALL && !kernels[kernel].inline_refusal.empty()) {
      refusals.push_back(kernels[kernel].name + ": " + kernels[kernel].inline_refusal);
    } else {
      measured.push_back(kernel);
    }
  }
  return measured;
}

}  // namespace

SweepResult RunSweep(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                     const std::function<void(size_t, size_t)>& progress) {
  SweepResult result;
  result.kernels = kernels;
  result.settings = settings;
  size_t total = 0;
  for (SweepMeasure measure : settings.measures) {
    MeasureResult& measured = result.measures.emplace_back();
    measured.measure = measure;
    measured.kernels = KernelsFor(measure, kernels, measured.refusals);
    measured.grid = measure == SweepMeasure::CALL ? DefaultGrid() : BlockGrid(measure);
    measured.copies = measure == SweepMeasure::CALL ? 1 : COPIES_PER_BLOCK;
    total += 2 * (measured.kernels.size() + 1) * measured.grid.size() * settings.rounds;
  }

  std::vector<double> clocks;
  size_t done_before = 0;
  for (MeasureResult& measured : result.measures) {
    std::vector<Procedure> procedures;
    for (size_t kernel : measured.kernels) procedures.push_back(kernels[kernel]);
    procedures.push_back(EmptyProcedureCopy());
    const MeasureCode code(measured.measure, procedures);
    if (!code.ok()) {
      result.error = code.error();
      return result;
    }
    RoundsPlan plan;
    plan.procedures = procedures.size();
    plan.placements = measured.grid.size();
    plan.rounds = settings.rounds;
    plan.seed = settings.seed;
    plan.copies = measured.copies;
    const uint32_t calibration_calls = measured.copies == 1 ? 20000 : 2000;
    plan.calls =
        settings.calls != 0
            ? settings.calls
            : CallsForBudget(CalibrateNsPerCall(code, procedures.size(), calibration_calls),
                             CellCount(plan) * plan.rounds, settings.seconds);
    measured.calls = plan.calls;

    Instruments machine;
    machine.time_ns = [&](const Cell& cell, uint32_t calls) {
      return TimeLoop(code.loop(cell), PASS_OPERANDS[cell.pass], calls);
    };
    machine.clock_ghz = [] { return EstimateClockGhz(); };
    machine.stop_requested = [] { return StopSignal() != 0; };
    machine.progress = [&](size_t done, size_t) { progress(done_before + done, total); };
    const RoundsRecord record = MeasureInRounds(plan, machine);
    if (record.stopped) {
      result.stopped = true;
      return result;
    }
    done_before += CellCount(plan) * plan.rounds;
    clocks.insert(clocks.end(), record.clock_ghz.begin(), record.clock_ghz.end());
    measured.samples = NetsFromMinima(plan, record);
    for (SweepSample& sample : measured.samples) sample.kernel = measured.kernels[sample.kernel];
  }
  if (!clocks.empty()) {
    const auto [slowest, fastest] = std::minmax_element(clocks.begin(), clocks.end());
    result.clock_ghz = *fastest;
    result.slowest_clock_ghz = *slowest;
  }
  for (MeasureResult& measured : result.measures) {
    measured.noise_floor_cycles = NoiseFloorCycles(measured.samples, result.clock_ghz);
  }
  return result;
}

Spread DescribeSpread(const std::vector<double>& values) {
  return {Quantile(values, 0.5), Quantile(values, 0.25), Quantile(values, 0.75)};
}

std::vector<double> NetsOf(const MeasureResult& measure, Pass pass, size_t kernel,
                           double SweepSample::*net) {
  std::vector<double> nets;
  for (const SweepSample& sample : measure.samples) {
    if (sample.pass == pass && sample.kernel == kernel) nets.push_back(sample.*net);
  }
  return nets;
}

double LayoutEffectShare(const MeasureResult& measure, double clock_ghz, Pass pass, size_t kernel) {
  return RepeatedShareAway(NetsOf(measure, pass, kernel, &SweepSample::first_half_ms),
                           NetsOf(measure, pass, kernel, &SweepSample::second_half_ms),
                           HalfCycleMs(clock_ghz));
}

const MeasureResult* Find(const SweepResult& result, SweepMeasure measure) {
  for (const MeasureResult& measured : result.measures) {
    if (measured.measure == measure) return &measured;
  }
  return nullptr;
}

}  // namespace stats

#include "stats/sweep/isolation/measuring_process.h"

#include <algorithm>
#include <chrono>

#include "stats/sweep/isolation/beacon.h"
#include "stats/sweep/isolation/cell_alone.h"
#include "stats/sweep/isolation/fp_guard.h"
#include "stats/sweep/isolation/wire_format.h"
#include "stats/system/files.h"
#include "stats/system/processes.h"
#include "stats/system/sandbox.h"

namespace stats {

namespace {

// The measuring process's own exit statuses: it could not write its report, or not close itself
// in. Any other ending is taken for a kernel's doing, until running its cell alone says otherwise.
constexpr int CANNOT_REPORT = 4, CANNOT_SANDBOX = 5;
// Far above the largest report (three measures of a long list of kernels).
constexpr size_t MEASURING_OUTPUT_LIMIT = 64 << 20;

// In the measuring process: the parent reads each measure whole or not at all.
void SendToParent(int fd, const std::string& text) {
  if (WriteAll(fd, text) != 0) ExitAtOnce(CANNOT_REPORT);
}

[[noreturn]] void Measure(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                          const MeasureSweep& measure_sweep, Beacon& beacon, int report) {
  GuardFloatControl(report);
  SweepHooks hooks;
  hooks.progress = [&](size_t done, size_t total, bool waiting) {
    beacon.Count(done, total, waiting);
  };
  hooks.entering = [&](SweepMeasure measure, int kernel, size_t placement) {
    CheckFloatControl();
    beacon.Enter(measure, kernel, placement);
  };
  // The parent ends this process by a signal when it is asked to stop; nothing to ask here.
  hooks.stop_requested = [] { return false; };
  hooks.prepared = [&] {
    const std::string problem = EnterSandbox(MeasuringSandbox(report));
    if (problem.empty()) return;
    WriteAtOnce(STANDARD_ERROR, problem.data(), problem.size());
    ExitAtOnce(CANNOT_SANDBOX);
  };
  hooks.finished = [&](const SweepResult& so_far, size_t measure) {
    SendToParent(report, MeasureLines(so_far, measure));
  };
  const SweepResult measured = measure_sweep(kernels, settings, hooks);
  CheckFloatControl();
  if (!measured.error.empty()) SendToParent(report, ErrorLine(measured.error));
  SendToParent(report, END_LINE);
  ExitAtOnce(0);
}

// Why the measuring process ended without its whole report, for the cell blamed.
std::string WhatHappened(const ChildRun& child, const NamedCell& cell) {
  const std::string where =
      " at placement " + std::to_string(cell.placement) + " of " + MeasureName(cell.measure);
  const std::string call = RefusedSystemCall(child.status, child.report);
  if (child.outcome == ChildRun::ENDED && !call.empty())
    return "it made the system call " + call + where;
  const size_t state = child.report.rfind("state ");
  const Ending ending = EndingOf(child.status);
  if (state != std::string::npos && ending.exit_code == FLOAT_STATE_CHANGED) {
    const size_t end = child.report.find('\n', state);
    return child.report.substr(state + 6, end - state - 6) + where;
  }
  if (child.outcome == ChildRun::WENT_QUIET) {
    return "it ran for " + std::to_string(MEASURING_QUIET_LIMIT_MS / 1000) +
           " s without finishing" + where;
  }
  if (child.outcome == ChildRun::OVERFLOWED) {
    return "it wrote more than " + std::to_string(MEASURING_OUTPUT_LIMIT >> 20) + " MiB" + where;
  }
  if (child.outcome == ChildRun::ENDED)
    return "the measuring process " + DescribeWaitStatus(child.status) + where;
  return "the measuring process failed" + where + ": " + child.failure;
}

// "the measuring process was killed by SIGSEGV (Segmentation fault)"
std::string OwnFailure(const ChildRun& child) {
  if (child.outcome == ChildRun::ENDED) {
    const int exit_code = EndingOf(child.status).exit_code;
    if (exit_code == CANNOT_REPORT) return "the measuring process could not write its report";
    if (exit_code == CANNOT_SANDBOX)
      return "cannot close in the measuring process: " + child.errors;
  }
  return "the measuring process " +
         (child.outcome == ChildRun::ENDED        ? DescribeWaitStatus(child.status)
          : child.outcome == ChildRun::WENT_QUIET ? "went silent"
          : child.outcome == ChildRun::OVERFLOWED ? "wrote more than its output limit"
                                                  : "failed: " + child.failure);
}

// The measures kept so far, without the kernel `left`: its samples and refusals go, and the
// indices above it close up.
void Without(std::vector<MeasureResult>& measures, size_t left, const std::string& name,
             double precision_cycles) {
  for (MeasureResult& measure : measures) {
    measure.kernels.erase(std::remove(measure.kernels.begin(), measure.kernels.end(), left),
                          measure.kernels.end());
    for (size_t& kernel : measure.kernels) kernel -= kernel > left ? 1 : 0;
    measure.samples.erase(std::remove_if(measure.samples.begin(), measure.samples.end(),
                                         [&](const SweepSample& s) { return s.kernel == left; }),
                          measure.samples.end());
    for (SweepSample& sample : measure.samples) sample.kernel -= sample.kernel > left ? 1 : 0;
    const bool shared_core = !measure.figures.empty() && measure.figures.front().shared_core;
    measure.figures = FiguresOf(measure.samples, precision_cycles, shared_core);
    measure.refusals.erase(std::remove_if(measure.refusals.begin(), measure.refusals.end(),
                                          [&](const std::string& refusal) {
                                            return refusal.rfind(name + ": ", 0) == 0;
                                          }),
                           measure.refusals.end());
  }
}

}  // namespace

SweepResult RunSweepInMeasuringProcess(std::vector<Procedure> kernels,
                                       const SweepSettings& settings,
                                       const std::function<void(size_t, size_t, bool)>& progress,
                                       const MeasureSweep& measure_sweep) {
  SweepResult result;
  result.settings = settings;
  std::vector<SweepMeasure> to_come = settings.measures;
  while (true) {
    result.kernels = kernels;
    Beacon beacon;
    if (!beacon.ok()) {
      result.error =
          std::string("cannot share a page with the measuring process: ") + beacon.error();
      return result;
    }
    SweepSettings now = settings;
    now.measures = to_come;
    ChildLimits limits;
    limits.stops_with_us = true;
    limits.output_limit = MEASURING_OUTPUT_LIMIT;
    size_t last_done = 0;
    auto last_change = std::chrono::steady_clock::now();
    limits.still_working = [&] {
      const auto at = std::chrono::steady_clock::now();
      if (beacon.done() != last_done) {
        last_done = beacon.done();
        last_change = at;
        progress(last_done, beacon.total(), beacon.waiting());
      }
      return at - last_change < std::chrono::milliseconds(MEASURING_QUIET_LIMIT_MS);
    };
    const ChildRun child =
        RunChild([&](int report) { Measure(kernels, now, measure_sweep, beacon, report); }, limits);
    if (child.outcome == ChildRun::STOPPED) {
      result.stopped = true;
      return result;
    }
    std::vector<std::string> names;
    for (const Procedure& kernel : kernels) names.push_back(kernel.name);
    const std::vector<MeasureKernels> timed = KernelsMeasured(to_come, kernels);
    const ReportReadBack read =
        ReadReportBack(child.report, {names, timed, settings.precision_cycles});
    // Measures that ended are kept, and never measured again.
    if (!read.measures.empty()) {
      const bool first = result.measures.empty();
      result.slowest_clock_ghz = first ? read.slowest_clock_ghz
                                       : std::min(result.slowest_clock_ghz, read.slowest_clock_ghz);
      result.fastest_clock_ghz = std::max(result.fastest_clock_ghz, read.fastest_clock_ghz);
      if (first) result.median_clock_ghz = read.median_clock_ghz;
      result.measures.insert(result.measures.end(), read.measures.begin(), read.measures.end());
      to_come.erase(to_come.begin(), to_come.begin() + static_cast<long>(read.measures.size()));
    }
    if (!read.problem.empty()) {
      result.error =
          "the measuring process sent a report that cannot be read (" + read.problem + ")";
      return result;
    }
    if (!read.error.empty()) {
      result.error = read.error;
      return result;
    }
    // Whole only with every measure asked for: a kernel may write to the report and end too.
    if (Succeeded(child) && read.complete && to_come.empty()) return result;
    const int exit_code = child.outcome == ChildRun::ENDED ? EndingOf(child.status).exit_code : -1;
    if (exit_code == CANNOT_REPORT || exit_code == CANNOT_SANDBOX) {
      result.error = OwnFailure(child);
      return result;
    }
    // The last cell named, else the one before it (damage that shows later), if it fails again.
    std::optional<NamedCell> blamed;
    for (int back = 0; back < 2 && !blamed; ++back) {
      const std::optional<NamedCell> cell = beacon.Named(back, timed);
      if (!cell || cell->kernel < 0 ||
          kernels[static_cast<size_t>(cell->kernel)].origin != Procedure::Origin::USER)
        continue;
      if (FailsAgainAlone(kernels, *cell, settings)) blamed = cell;
      if (StopSignal() != 0) {
        result.stopped = true;
        return result;
      }
    }
    if (!blamed) {
      result.error = OwnFailure(child) + ", and no kernel's cell failed again alone";
      return result;
    }
    const auto kernel = static_cast<size_t>(blamed->kernel);
    result.left_out.push_back(kernels[kernel].name + ": " + WhatHappened(child, *blamed));
    Without(result.measures, kernel, kernels[kernel].name, settings.precision_cycles);
    kernels.erase(kernels.begin() + static_cast<long>(kernel));
  }
}

}  // namespace stats

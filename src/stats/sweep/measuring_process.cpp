#include "stats/sweep/measuring_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "stats/child_process.h"
#include "stats/file_output.h"
#include "stats/sweep/beacon.h"
#include "stats/sweep/cell_alone.h"
#include "stats/sweep/float_guard.h"
#include "stats/sweep/measurement.h"
#include "stats/sweep/wire_format.h"
#include "stats/system/sandbox.h"

namespace stats {

namespace {

// The measuring process's own exit statuses: it could not write its report, or not close itself
// in. Any other ending is taken for a kernel's doing, until running its cell alone says otherwise.
constexpr int CANNOT_REPORT = 4, CANNOT_SANDBOX = 5;
// Far above the largest report (three measures of a long list of kernels).
constexpr size_t MEASURING_OUTPUT_LIMIT = 64 << 20;

// In the measuring process: the parent reads each measure whole or not at all.
void Report(int fd, const std::string& text) {
  if (WriteAll(fd, text) != 0) _exit(CANNOT_REPORT);
}

[[noreturn]] void Measure(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                          Beacon& beacon, int report) {
  GuardFloatingPoint(report);
  SweepWatch watch;
  watch.progress = [&](size_t done, size_t total) { beacon.Count(done, total); };
  watch.entering = [&](SweepMeasure measure, int kernel, size_t placement) {
    CheckFloatingPoint();
    beacon.Enter(measure, kernel, placement);
  };
  watch.prepared = [&] {
    const std::string problem = EnterSandbox(MeasuringSandbox(report));
    if (problem.empty()) return;
    (void)!write(STDERR_FILENO, problem.data(), problem.size());
    _exit(CANNOT_SANDBOX);
  };
  watch.finished = [&](const SweepResult& so_far, size_t measure) {
    Report(report, MeasureLines(so_far, measure));
  };
  const SweepResult measured = RunSweep(kernels, settings, watch);
  CheckFloatingPoint();
  if (!measured.error.empty()) Report(report, ErrorLine(measured.error));
  Report(report, END_LINE);
  _exit(0);
}

// Why the measuring process ended without its whole report, for the cell blamed.
std::string WhatHappened(const ChildRun& child, const NamedCell& cell) {
  const std::string where = " at placement " + std::to_string(cell.placement) + " of " +
                            MEASURE_NAMES[static_cast<size_t>(cell.measure)];
  const std::string call = RefusedSystemCall(child.status, child.report);
  if (child.outcome == ChildRun::ENDED && !call.empty())
    return "it made the system call " + call + where;
  const size_t state = child.report.rfind("state ");
  if (state != std::string::npos && WIFEXITED(child.status) &&
      WEXITSTATUS(child.status) == FLOAT_STATE_EXIT) {
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
  if (child.outcome == ChildRun::ENDED && WIFSIGNALED(child.status)) {
    const int signal = WTERMSIG(child.status);
    const char* name = sigabbrev_np(signal);
    return std::string("killed by ") + (name ? "SIG" + std::string(name) : std::to_string(signal)) +
           where;
  }
  if (child.outcome == ChildRun::ENDED && WIFEXITED(child.status)) {
    return "it ended the measuring process with exit status " +
           std::to_string(WEXITSTATUS(child.status)) + where;
  }
  return "the measuring process failed" + where + ": " + child.failure;
}

// "the measuring process was killed by signal 11 (Segmentation fault)"
std::string OwnFailure(const ChildRun& child) {
  if (child.outcome == ChildRun::ENDED && WIFEXITED(child.status)) {
    if (WEXITSTATUS(child.status) == CANNOT_REPORT)
      return "the measuring process could not write its report";
    if (WEXITSTATUS(child.status) == CANNOT_SANDBOX)
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
void Without(std::vector<MeasureResult>& measures, size_t left, const std::string& name) {
  for (MeasureResult& measure : measures) {
    measure.kernels.erase(std::remove(measure.kernels.begin(), measure.kernels.end(), left),
                          measure.kernels.end());
    for (size_t& kernel : measure.kernels) kernel -= kernel > left ? 1 : 0;
    measure.samples.erase(std::remove_if(measure.samples.begin(), measure.samples.end(),
                                         [&](const SweepSample& s) { return s.kernel == left; }),
                          measure.samples.end());
    for (SweepSample& sample : measure.samples) sample.kernel -= sample.kernel > left ? 1 : 0;
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
                                       const std::function<void(size_t, size_t)>& progress) {
  SweepResult result;
  result.settings = settings;
  std::vector<SweepMeasure> to_come = settings.measures;
  while (true) {
    result.kernels = kernels;
    Beacon beacon;
    if (!beacon.ok()) {
      result.error =
          std::string("cannot share a page with the measuring process: ") + std::strerror(errno);
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
        progress(last_done, beacon.total());
      }
      return at - last_change < std::chrono::milliseconds(MEASURING_QUIET_LIMIT_MS);
    };
    const ChildRun child =
        RunChild([&](int report) { Measure(kernels, now, beacon, report); }, limits);
    if (child.outcome == ChildRun::STOPPED) {
      result.stopped = true;
      return result;
    }
    std::vector<std::string> names;
    for (const Procedure& kernel : kernels) names.push_back(kernel.name);
    const ReadReport read = ReadReportBack(child.report, {names, to_come});
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
    const bool ended_well = child.outcome == ChildRun::ENDED && WIFEXITED(child.status) &&
                            WEXITSTATUS(child.status) == 0;
    if (ended_well && read.complete) return result;
    if (child.outcome == ChildRun::ENDED && WIFEXITED(child.status) &&
        (WEXITSTATUS(child.status) == CANNOT_REPORT ||
         WEXITSTATUS(child.status) == CANNOT_SANDBOX)) {
      result.error = OwnFailure(child);
      return result;
    }
    // The last cell named, else the one before it (damage that shows later), if it fails again.
    std::optional<NamedCell> blamed;
    for (int back = 0; back < 2 && !blamed; ++back) {
      const std::optional<NamedCell> cell = beacon.Named(back, kernels.size(), settings.measures);
      if (!cell || cell->kernel < 0 || kernels[static_cast<size_t>(cell->kernel)].table_row >= 0)
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
    Without(result.measures, kernel, kernels[kernel].name);
    kernels.erase(kernels.begin() + static_cast<long>(kernel));
  }
}

}  // namespace stats

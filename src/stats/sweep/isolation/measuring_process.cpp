#include "stats/sweep/isolation/measuring_process.h"

#include <chrono>
#include <string>

#include "stats/sweep/isolation/beacon.h"
#include "stats/sweep/isolation/fp_guard.h"
#include "stats/sweep/isolation/wire_format.h"
#include "stats/system/files.h"
#include "stats/system/processes.h"

namespace stats {

namespace {

// The measuring process's own exit status when its report cannot be written.
constexpr int CANNOT_REPORT = 4;

// Why the measuring process ended without a result, for the cell it last named.
std::string WhatHappened(const ChildRun& child, const std::string& measure_name, size_t placement) {
  const std::string where = " at placement " + std::to_string(placement) + " of " + measure_name;
  const size_t state = child.report.rfind("state ");
  if (state != std::string::npos) {
    const size_t end = child.report.find('\n', state);
    return child.report.substr(state + 6, end - state - 6) + where;
  }
  if (child.outcome == ChildRun::WENT_QUIET) {
    return "it ran for " + std::to_string(MEASURING_QUIET_LIMIT_MS / 1000) +
           " s without finishing" + where;
  }
  const Ending ending = EndingOf(child.status);
  if (child.outcome == ChildRun::ENDED && ending.signal != 0) {
    return "killed by " + SignalName(ending.signal) + where;
  }
  if (child.outcome == ChildRun::ENDED && ending.exit_code >= 0) {
    return "it ended the measuring process with exit status " + std::to_string(ending.exit_code) +
           where;
  }
  return "the measuring process failed" + where + ": " + child.failure;
}

}  // namespace

SweepResult RunSweepInMeasuringProcess(std::vector<Procedure> kernels,
                                       const SweepSettings& settings,
                                       const std::function<void(size_t, size_t)>& progress,
                                       const MeasureSweep& measure_sweep) {
  std::vector<std::string> left_out;
  while (true) {
    SweepResult result;
    result.kernels = kernels;
    result.settings = settings;
    result.left_out = left_out;
    Beacon beacon;
    if (!beacon.ok()) {
      result.error =
          std::string("cannot share a page with the measuring process: ") + beacon.error();
      return result;
    }
    ChildLimits limits;
    limits.stops_with_us = true;
    size_t last_done = 0;
    auto last_change = std::chrono::steady_clock::now();
    limits.still_working = [&] {
      const auto now = std::chrono::steady_clock::now();
      if (beacon.done() != last_done) {
        last_done = beacon.done();
        last_change = now;
        progress(last_done, beacon.total());
      }
      return now - last_change < std::chrono::milliseconds(MEASURING_QUIET_LIMIT_MS);
    };
    const ChildRun child = RunChild(
        [&](int report) {
          GuardFloatControl(report);
          SweepHooks hooks;
          hooks.progress = [&](size_t done, size_t total) { beacon.Count(done, total); };
          hooks.entering = [&](SweepMeasure measure, int kernel, size_t placement) {
            CheckFloatControl();
            beacon.Enter(measure, kernel, placement);
          };
          hooks.stop_requested = [] { return StopSignal() != 0; };
          const SweepResult measured = measure_sweep(kernels, settings, hooks);
          CheckFloatControl();
          ExitAtOnce(WriteAll(report, SerializedResult(measured)) == 0 ? 0 : CANNOT_REPORT);
        },
        limits);
    if (child.outcome == ChildRun::STOPPED) {
      result.stopped = true;
      return result;
    }
    if (Succeeded(child) && ReadBackResult(child.report, result)) {
      return result;
    }
    int measure = 0, kernel = -1;
    size_t placement = 0;
    const bool named = beacon.LastCell(measure, kernel, placement);
    if (!named || kernel < 0 ||
        kernels[static_cast<size_t>(kernel)].origin != Procedure::Origin::USER) {
      // Only a user's kernel can be left out; anything else is this program's own failure.
      result.error = "the measuring process " +
                     (child.outcome == ChildRun::ENDED        ? DescribeWaitStatus(child.status)
                      : child.outcome == ChildRun::WENT_QUIET ? "went silent"
                                                              : "failed: " + child.failure);
      return result;
    }
    const std::string& name = kernels[static_cast<size_t>(kernel)].name;
    left_out.push_back(
        name + ": " +
        WhatHappened(child, MeasureName(static_cast<SweepMeasure>(measure)), placement));
    kernels.erase(kernels.begin() + kernel);
  }
}

}  // namespace stats

#include "stats/sweep/isolation/blame.h"

#include <algorithm>

#include "stats/sweep/isolation/cell_alone.h"
#include "stats/sweep/isolation/fault_place.h"
#include "stats/sweep/isolation/fp_guard.h"
#include "stats/sweep/isolation/measuring_process.h"
#include "stats/system/sandbox.h"

namespace stats {

namespace {

// The report's last line when it is whole and starts with `mark`, without the mark; else empty.
std::string LastLineAfter(const std::string& report, const std::string& mark) {
  if (report.empty() || report.back() != '\n') return "";
  const size_t start = report.rfind('\n', report.size() - 2);
  const std::string line = report.substr(start == std::string::npos ? 0 : start + 1);
  if (line.rfind(mark, 0) != 0) return "";
  return line.substr(mark.size(), line.size() - mark.size() - 1);
}

// Where in the cell's code a fault that ended the measuring process was, when it left word.
std::string FaultPlaceIn(const ChildRun& child, const Beacon& beacon, const NamedCell& cell) {
  const std::optional<uint64_t> address = beacon.FaultAddress();
  if (child.outcome != ChildRun::ENDED || child.ending.fault.empty() || !address) return "";
  std::vector<CodeRegion> regions;
  if (const std::optional<PlacedCopies> copies = beacon.CopiesOf(cell))
    regions.push_back({"the kernel", *copies});
  return FaultPlace(*address, regions);
}

// Why the measuring process ended without its whole report, for the cell blamed.
std::string WhatHappened(const ChildRun& child, const std::string& report_problem,
                         const Beacon& beacon, const NamedCell& cell) {
  const std::string where =
      " at placement " + std::to_string(cell.placement) + " of " + MeasureName(cell.measure);
  const std::string call = RefusedSystemCall(child);
  if (child.outcome == ChildRun::ENDED && !call.empty())
    return "it made the system call " + call + where;
  const std::string state = LastLineAfter(child.report, "state ");
  if (child.outcome == ChildRun::ENDED && child.ending.exit_code == STATE_CHANGED && !state.empty())
    return state + where;
  if (child.outcome == ChildRun::WENT_QUIET) {
    return "it ran for " + std::to_string(MEASURING_QUIET_LIMIT_MS / 1000) +
           " s without finishing" + where;
  }
  if (child.outcome == ChildRun::TIMED_OUT)
    return "it kept the measuring process going past its deadline" + where;
  if (child.outcome == ChildRun::OVERFLOWED) {
    return "it wrote more than " + std::to_string(MEASURING_OUTPUT_LIMIT >> 20) + " MiB" + where;
  }
  if (child.outcome == ChildRun::ENDED && child.ending.fault.empty() && !report_problem.empty())
    return "it wrote to the measuring process's report (" + report_problem + ")" + where;
  if (child.outcome == ChildRun::ENDED)
    return "the measuring process " + child.ending.words + FaultPlaceIn(child, beacon, cell) +
           where;
  return "the measuring process failed" + where + ": " + child.failure;
}

// "the measuring process was killed by SIGSEGV (Segmentation fault)"
std::string OwnFailure(const ChildRun& child, const std::string& report_problem) {
  if (child.outcome == ChildRun::ENDED) {
    const int exit_code = child.ending.exit_code;
    if (exit_code == CANNOT_REPORT) return "the measuring process could not write its report";
    if (exit_code == CANNOT_SHARE)
      return "the measuring process could not open the page it shares with this one";
    if (exit_code == CANNOT_SANDBOX)
      return "cannot close in the measuring process: " + child.errors;
    if (exit_code == 0 && !report_problem.empty())
      return "the measuring process sent a report that cannot be read (" + report_problem + ")";
    const std::string state = LastLineAfter(child.report, "state ");
    if (exit_code == STATE_CHANGED && !state.empty())
      return "in the measuring process a cell's code said " + state;
  }
  return "the measuring process " +
         (child.outcome == ChildRun::ENDED        ? child.ending.words
          : child.outcome == ChildRun::WENT_QUIET ? "went silent"
          : child.outcome == ChildRun::TIMED_OUT  ? "went on past its deadline"
          : child.outcome == ChildRun::OVERFLOWED ? "wrote more than its output limit"
                                                  : "failed: " + child.failure);
}

}  // namespace

Blame ConfirmBlame(const ChildRun& child, const std::string& report_problem, const Beacon& beacon,
                   const std::vector<Procedure>& kernels, const std::vector<MeasureKernels>& timed,
                   const SweepSettings& settings) {
  auto users = [&](const NamedCell& cell) {
    return cell.kernel >= 0 &&
           kernels[static_cast<size_t>(cell.kernel)].origin == Procedure::Origin::USER;
  };
  std::vector<NamedCell> suspects;
  for (int back = 0; back < 2; ++back) {
    if (const std::optional<NamedCell> cell = beacon.Named(back, timed); cell && users(*cell))
      suspects.push_back(*cell);
  }
  const std::optional<NamedCell> last = beacon.Named(0, timed);
  if (last && (!report_problem.empty() || child.outcome == ChildRun::OVERFLOWED)) {
    const auto measure = std::find_if(timed.begin(), timed.end(), [&](const MeasureKernels& m) {
      return m.measure == last->measure;
    });
    for (size_t kernel : measure->kernels) {
      const NamedCell cell{last->measure, static_cast<int>(kernel), last->placement};
      const bool named = std::any_of(suspects.begin(), suspects.end(), [&](const NamedCell& s) {
        return s.measure == cell.measure && s.kernel == cell.kernel &&
               s.placement == cell.placement;
      });
      if (users(cell) && !named) suspects.push_back(cell);
    }
  }
  Blame blame;
  for (const NamedCell& cell : suspects) {
    if (FailsAgainAlone(kernels, cell, settings)) {
      blame.kernel = static_cast<size_t>(cell.kernel);
      blame.what = WhatHappened(child, report_problem, beacon, cell);
      return blame;
    }
    if (StopRequested() != StopRequest::NONE) {
      blame.stopped = true;
      return blame;
    }
  }
  // One that faults only after many calls does not fail again alone, but a fault among a
  // suspect's own bytes names it all the same, and spares the user's other kernels.
  for (const NamedCell& cell : suspects) {
    if (FaultPlaceIn(child, beacon, cell).rfind(" at byte ", 0) == 0) {
      blame.kernel = static_cast<size_t>(cell.kernel);
      blame.what = WhatHappened(child, report_problem, beacon, cell);
      return blame;
    }
  }
  blame.what = OwnFailure(child, report_problem) +
               (suspects.empty() ? "" : ", and no kernel's cell failed again alone");
  return blame;
}

}  // namespace stats

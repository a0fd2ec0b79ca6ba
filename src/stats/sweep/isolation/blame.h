// Who took a measuring process down, confirmed before anyone is named: the cells suspected run
// again alone, and only a kernel whose cell fails again there, or whose own bytes faulted, is left
// out. When none is, the failure is the measuring process's own and names no kernel.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "stats/sweep/estimate/procedure.h"
#include "stats/sweep/isolation/beacon.h"
#include "stats/sweep/isolation/child_exits.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/system/processes.h"

namespace stats {

// Far above the largest report (three measures of a long list of kernels).
constexpr size_t MEASURING_OUTPUT_LIMIT = 64 << 20;

struct Blame {
  std::optional<size_t> kernel;  // the kernel to leave out, an index into the sweep's kernels
  std::string what;              // with a kernel, what it did and where; else the sweep's error
  bool stopped = false;          // a stop came while the cells ran alone
};

// For a measuring process that did not send its whole report (`report_problem`: what makes it
// unreadable, or empty), the suspects in turn: the last cell the shared page names, then the one
// before it (damage that shows later); for what shows only when the report is read (bytes written
// to it, or too many), every user's kernel the last cell's measure times, at its placement. Table
// kernels and the empty procedure are never suspected.
Blame ConfirmBlame(const ChildRun& child, const std::string& report_problem, const Beacon& beacon,
                   const std::vector<Procedure>& kernels, const std::vector<MeasureKernels>& timed,
                   const SweepSettings& settings);

}  // namespace stats

// Blame that is confirmed: before a kernel is left out, the cell suspected of taking its measuring
// process down runs again alone, in a fresh sandbox, followed by the empty procedure at the same
// placement, so that damage which shows only in the code after it shows there too.
#pragma once

#include <vector>

#include "stats/sweep/estimate/procedure.h"
#include "stats/sweep/estimate/results.h"
#include "stats/sweep/isolation/beacon.h"
#include "stats/system/child_roles.h"
#include "stats/system/sandbox.h"

namespace stats {

// The room of every process that measures: it writes its report, ends and reads the clock, with
// its code placed before and `heap_bytes` to allocate from.
SandboxRules MeasuringSandbox(ReportChannel report, size_t heap_bytes);

// Whether `cell` (of a kernel of `kernels`, not the empty procedure) fails again when it runs
// alone; false too when a stop came first.
bool FailsAgainAlone(const std::vector<Procedure>& kernels, const NamedCell& cell,
                     const SweepSettings& settings);

// The child that runs the cell alone.
constexpr const char* CELL_ALONE_ROLE = "cell-alone";
void PlayCellAlone(const std::string& input, const RoleContext& context);

}  // namespace stats

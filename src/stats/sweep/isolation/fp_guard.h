// The floating-point control state (MXCSR and the x87 control word) that every kernel must leave
// as it found it. A change is caught after the cell that made it, or at the next division when
// it unmasked an exception, and ends the measuring process with its description on the report.
#pragma once

#include <cstdint>
#include <string>

#include "stats/sweep/isolation/child_exits.h"
#include "stats/system/processes.h"

namespace stats {

// Records the state as it is now, to hold every cell to, and catches floating-point faults.
void GuardFloatControl(ReportChannel report);

// Ends the process with the change said on the report when the state differs from the recorded.
void CheckFloatControl();

// Ends the process with what a kernel's chunk broke said on the report, as a change above is.
[[noreturn]] void EndForBrokenChunk(const std::string& what);

}  // namespace stats

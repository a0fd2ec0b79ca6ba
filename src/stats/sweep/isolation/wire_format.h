// How the measuring process sends its result to the process that reports: lines of words, one
// reason to a line, read back whole or not at all.
#pragma once

#include <string>

#include "stats/sweep/estimate/results.h"

namespace stats {

std::string SerializedResult(const SweepResult& result);

// The result the child sent, into `result`; false when it did not send a whole one.
bool ReadBackResult(const std::string& report, SweepResult& result);

}  // namespace stats

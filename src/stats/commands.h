// The commands, each returning the exit code. The sweep is built only where its machine code
// runs; elsewhere a stand-in says so.
#pragma once

#include <iostream>
#include <string>

#include "stats/options.h"

namespace stats {

constexpr int EXIT_USAGE = 2;

int RunSummaryCommand(const SummaryOptions& options);
int RunSweepCommand(const SweepOptions& options);
int RunCompareCommand(const CompareOptions& options);

// "absbench-stats: <problem>" on standard error, and the exit code for a failure.
inline int Failure(const std::string& problem, int exit_code = 1) {
  std::cerr << "absbench-stats: " << problem << "\n";
  return exit_code;
}

}  // namespace stats

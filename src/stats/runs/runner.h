// The runs to summarise: the benchmark run as a child process, or saved reports read back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "stats/runs/figures.h"

namespace stats {

// A report is under 1 KiB and a run's standard error one line; past this a source is not a report,
// and is not read further.
constexpr size_t REPORT_BOUND = 64 * 1024;

struct CapturedRun {
  enum Outcome { COMPLETED, FAILED, STOPPED } outcome = FAILED;
  std::string output;
  std::string errors;   // what the benchmark wrote to standard error
  std::string failure;  // for FAILED: what went wrong, in words, with the benchmark's last words
};

// Runs `benchmark` once with standard input from /dev/null, so that its prompt ends it at once.
// `waiting` is called about once a second while it runs. One that writes more than REPORT_BOUND
// is stopped there.
CapturedRun CaptureOneRun(const std::string& benchmark, const std::function<void()>& waiting);

// The runs, or why there are none, with the exit code that says so: 1 for a failed run or a
// report that is not one, 128 + the signal for a stop.
struct CollectedRuns {
  RunSet runs;
  int exit_code = 0;
  std::string problem;
};

// `count` runs one after another, with a progress line on a terminal.
CollectedRuns CollectRuns(const std::string& benchmark, int count);
CollectedRuns ReadSavedReports(const std::vector<std::string>& paths);

// The absbench in the folder of this program.
std::string BenchmarkBesideThisProgram();

}  // namespace stats

// Runs the benchmark as a child process, captures its report, and stops it on Ctrl-C or SIGTERM.
#pragma once

#include <functional>
#include <string>

namespace stats {

// From here on SIGINT and SIGTERM no longer end the process; they are recorded for the runner.
void InstallStopHandlers();
// The signal that asked us to stop, or 0.
int StopSignal();

struct CapturedRun {
  enum Outcome { COMPLETED, FAILED, STOPPED } outcome = FAILED;
  std::string output;
  std::string errors;   // what the benchmark wrote to standard error
  std::string failure;  // for FAILED: what went wrong, in words, with the benchmark's last words
};

// Runs `benchmark` once with standard input from /dev/null, so that its prompt ends it at once.
// `waiting` is called about once a second while it runs.
CapturedRun CaptureOneRun(const std::string& benchmark, const std::function<void()>& waiting);

}  // namespace stats

// How absbench-stats runs another program in a child process (the benchmark, the assembler and
// the model's tools) and what it learns of how a child ended, and how Ctrl-C and SIGTERM reach it.
// Children that play a role of this program's own are started by child_roles.h, within the same
// limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stats/system/stop_requests.h"

namespace stats {

// Where a child of this program's own reports to its parent. What it is only the system layer
// knows; a child may write to it from anywhere, its signal handlers included.
class ReportChannel {
 public:
  ReportChannel() = default;
  explicit ReportChannel(intptr_t handle) : handle_(handle) {}
  intptr_t handle() const { return handle_; }

 private:
  intptr_t handle_ = -1;
};

struct ChildLimits {
  int time_limit_ms = -1;         // killed after this long; -1: no limit
  size_t output_limit = 1 << 20;  // killed once its streams together pass this many bytes
  bool stops_with_us = false;     // a recorded stop signal ends it with SIGTERM
  std::function<void()> waiting;  // called about once a second while it runs
  size_t file_size_limit = 0;     // bytes any file it writes may hold; 0: no limit
  size_t memory_limit = 0;        // bytes of address space; 0: no limit
  // Asked about once a second while it runs; false kills it, as WENT_QUIET.
  std::function<bool()> still_working;
  // For a child that cannot see this process's clock: where the nanoseconds it has been stopped
  // with this process (Ctrl-Z) are written, each time before it goes on. Time limits and the
  // still_working watch count only time this process was not stopped.
  int64_t* stopped_ns = nullptr;
};

// How a child that ENDED by itself ended, in this program's own terms on every system.
struct ChildEnding {
  int exit_code = -1;           // the code it exited with; -1 when a fault ended it
  std::string fault;            // what ended it otherwise: "SIGSEGV (Segmentation fault)"
  bool past_file_size = false;  // ended for writing a file past its size limit
  std::string words;            // as every message says it: "exited with status 3", "was killed
                                // by SIGKILL (Killed)"
};

struct ChildRun {
  // It ENDED by itself; was killed by us at a limit of time, quiet or output; STOPPED with this
  // program; or FAILED on this side, with `failure`.
  enum Outcome { ENDED, TIMED_OUT, WENT_QUIET, OVERFLOWED, STOPPED, FAILED } outcome = FAILED;
  ChildEnding ending;          // how it ended, once it did
  std::string output, errors;  // its standard output and standard error
  std::string report;          // what it wrote to the descriptor it was given
  std::string failure;         // for FAILED: what went wrong on this side, in words
};

// Runs a program (`words`: its path or, with `search_path`, a name to look up in PATH, then its
// arguments) with standard input from /dev/null, standard output and error collected as they come
// (so that none fills up and stalls it) up to the output limit, then reaps it. It leads a process
// group of its own, ended whole when the call returns; should this process end first, the system
// kills the child itself, but not the rest of its group. One that cannot be started is FAILED,
// "cannot start NAME: reason". This program itself starts again as a child through RunRole.
ChildRun RunProgram(std::vector<std::string> words, const ChildLimits& limits, bool search_path);

// Whether the child ended by exiting with 0.
bool Succeeded(const ChildRun& run);

// For a child and its signal handlers: a write to its report that may be cut short; every byte of
// `bytes`, again after interruptions and partial writes (false when that failed); a line on
// standard error; and the end of the process without its exit handlers.
void ReportBytes(ReportChannel channel, const void* bytes, size_t length);
bool ReportAll(ReportChannel channel, const std::string& bytes);
void SayOnStandardError(const std::string& line);
[[noreturn]] void ExitAtOnce(int code);

}  // namespace stats

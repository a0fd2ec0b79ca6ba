// A child process started on Windows: in a job of its own that ends with this process, given
// exactly the handles listed and no other, and watched within its limits.
#pragma once

#include <string>
#include <vector>

#include "stats/system/processes.h"
#include "stats/system/windows/handles.h"

namespace stats {

// What a child gets beside its words.
struct ChildSetup {
  HANDLE input = nullptr;         // its standard input; NUL when none
  std::vector<HANDLE> inherited;  // further inheritable handles it gets, and no other
  // A child of this program's own: a job of one process with its memory and processor time bound,
  // a restricted low-integrity token and mitigation policies where the system grants them.
  bool walled = false;
  std::string named;  // what a failure to start it calls it; its path when empty
};

struct StartedChild {
  OwnedHandle process;
  OwnedHandle job;     // kills every process in it when closed
  OwnedHandle output;  // the read ends of its standard output and standard error
  OwnedHandle errors;
  OwnedHandle report;   // the read end of its report, when it has one
  std::string failure;  // empty once it runs
};

// A pipe whose write end a child inherits and whose read end stays here.
bool MakePipe(OwnedHandle& read_end, OwnedHandle& write_end, DWORD size = 0);

// Starts `words` (its path, or with `search_path` a name the system looks up, then the arguments)
// suspended until it is in its job, in a process group of its own, its output and errors into
// pipes. `limits.memory_limit` bytes of committed memory at most when not 0.
StartedChild StartChild(const std::vector<std::string>& words, bool search_path,
                        const ChildLimits& limits, const ChildSetup& setup);

// Collects the child's output, errors and report as they come, within `limits`, then ends
// whatever is left of its job.
ChildRun WatchChild(StartedChild& child, const ChildLimits& limits);

// A ChildEnding in this program's words from a process's exit code: an exception's code
// (0xC0000005, 0x80000003) is a fault, anything else the status it exited with, named when it is
// that of a refused Linux system call.
ChildEnding EndingOfExitCode(DWORD code);

}  // namespace stats

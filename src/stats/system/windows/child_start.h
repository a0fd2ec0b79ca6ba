// A child process started on Windows: in a job of its own that ends with this process, given
// exactly the handles listed and no other.
#pragma once

#include <string>
#include <vector>

#include "stats/system/processes.h"
#include "stats/system/windows/handles.h"

namespace stats {

struct StartedChild {
  OwnedHandle process;
  OwnedHandle job;     // kills every process in it when closed
  OwnedHandle output;  // the read ends of its standard output and standard error
  OwnedHandle errors;
  std::string failure;  // empty once it runs
};

// Starts `words` (its path, or with `search_path` a name the system looks up, then the arguments)
// with standard input from NUL and its output and errors into pipes. `memory_limit` bytes of
// committed memory at most when not 0.
StartedChild StartChild(const std::vector<std::string>& words, bool search_path,
                        size_t memory_limit);

// A ChildEnding in this program's words from a process's exit code: an exception's code
// (0xC0000005) is a fault, anything else the status it exited with.
ChildEnding EndingOfExitCode(DWORD code);

}  // namespace stats

// The closed room in which a child runs user bytes: after its setup, a system-call filter lets
// through only the calls the measuring itself makes, and any other call ends the child in a way
// the parent can name.
#pragma once

#include <cstddef>
#include <string>

#include "stats/system/processes.h"

namespace stats {

// No rule lets a call map, protect or free memory: what the child runs is placed before, and its
// allocations are served from a heap grown to `heap_bytes` before the filter, never given back.
struct SandboxRules {
  ReportChannel report;            // the one channel it may write to
  size_t heap_bytes = 16 << 20;    // what it may allocate once closed in
  size_t address_room = 64 << 20;  // bytes of address space its stack may add to what it holds
  bool steps_through = false;      // may set signal handlers, their stack, mask, a timer: to trace
};

// The exit status of a child the filter ended; its report then ends with "system call N\n".
constexpr int SANDBOX_EXIT = 124;

// In the child, once its setup is done: no new privileges, no core dump, no file written, the
// address space bounded, and the filter on. Signal handlers marked SA_ONSTACK run on a stack of
// the sandbox's own from here on. Empty, or why the room could not be closed.
std::string EnterSandbox(const SandboxRules& rules);

// Whether this process is closed in: its pages stay mapped until it ends, as no call unmaps them.
bool ClosedIn();

// In the parent, from how the child ended and its report: "kill (62)" when the filter ended it,
// otherwise empty.
std::string RefusedSystemCall(const ChildRun& child);

}  // namespace stats

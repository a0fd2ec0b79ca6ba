// The fork behind every child on Linux: the child's setup (its own group, killed with this
// process, input, outputs, signals at their defaults, limits), then `body`, which must exec or
// end the process. Only exec follows: no code of this program runs in a copy of its memory.
#pragma once

#include <functional>

#include "stats/system/processes.h"

namespace stats {

// `body` gets the report descriptor, which closes on exec; `input` becomes its standard input
// (/dev/null when -1). Collects all three streams as they come, then reaps it.
ChildRun RunChild(const std::function<void(int report)>& body, const ChildLimits& limits,
                  int input = -1);

// A wait status as this program's own ending.
ChildEnding EndingOfStatus(int status);
// "SIGSEGV (Segmentation fault)", or "signal 70 (Unknown signal 70)" when the system has no name.
std::string DescribeSignal(int signal);

}  // namespace stats

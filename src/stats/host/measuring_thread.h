// The thread that measures: held to one processor and raised in priority, as the benchmark's is.
#pragma once

#include <string>

namespace stats {

// Pins the calling thread to `cpu`, then raises its priority (refused silently without
// privilege); empty, or why it could not be pinned.
std::string PinAndRaisePriority(int cpu);

}  // namespace stats

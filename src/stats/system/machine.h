// The processor this runs on and the priority it runs at, as the system sees them.
#pragma once

#include <string>

namespace stats {

// The highest processor number the system can pin to.
int MostCpuNumber();

// The processor this thread runs on; when the system cannot say, the first one it may run on;
// -1 when neither is known.
int CurrentCpu();

// Pins the calling thread to `cpu`: empty, or why it could not be pinned.
std::string PinThread(int cpu);

// Asks for nice -10, as the benchmark does; false when the system refuses.
bool RaisePriority();
// Whether RaisePriority would be granted here (root, CAP_SYS_NICE or a permissive RLIMIT_NICE),
// tried and undone in this process, which needs no child.
bool PriorityRaiseGranted();

// The system's name, release and architecture ("Linux 6.1.0 x86_64"), or "unknown system"; and
// the release alone, or empty.
std::string SystemName();
std::string KernelRelease();

// The processors online, or 0 when the system cannot say.
int LogicalCpus();

// The processor's name as the system gives it, or "unknown processor".
std::string SystemProcessorName();

// "2025-01-31T12:00:00Z", now.
std::string UtcNow();

// Whether standard error is a terminal, where a progress line can be rewritten in place.
bool StandardErrorIsTerminal();

}  // namespace stats

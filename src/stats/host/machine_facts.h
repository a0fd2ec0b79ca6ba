// What the figures say about the machine they were made on, and the one place that pins the
// measuring thread and asks for priority.
#pragma once

#include <istream>
#include <string>

namespace stats {

struct MachineFacts {
  std::string processor;  // the model name the kernel reports
  std::string system;     // name, release and architecture
  bool priority_raise_allowed = false;
};

MachineFacts ReadMachineFacts();

// The first "model name" of a /proc/cpuinfo text, or "unknown processor".
std::string ProcessorModelIn(std::istream& cpuinfo);

// Pins the calling thread to `cpu`, then raises its priority (refused silently without
// privilege, as the benchmark's is); empty, or why it could not be pinned.
std::string PinAndRaisePriority(int cpu);

}  // namespace stats

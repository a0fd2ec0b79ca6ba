// What the summary says about the machine it was made on.
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

// Whether the benchmark's raise to nice -10 would be granted here (root, CAP_SYS_NICE, or an
// RLIMIT_NICE that allows it): a child process tries it.
bool PriorityRaiseAllowed();

}  // namespace stats

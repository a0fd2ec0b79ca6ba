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

}  // namespace stats

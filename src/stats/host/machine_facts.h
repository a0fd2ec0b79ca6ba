// What the figures say about the machine they were made on, and the one place that pins the
// measuring thread and asks for priority.
#pragma once

#include <string>

namespace stats {

struct MachineFacts {
  std::string processor;  // the model name the kernel reports
  std::string system;     // name, release and architecture
  bool priority_raise_allowed = false;
};

MachineFacts ReadMachineFacts();

}  // namespace stats

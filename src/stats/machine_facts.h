// What the summary says about the machine it was made on.
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

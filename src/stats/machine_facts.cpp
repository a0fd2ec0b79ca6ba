#include "stats/machine_facts.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>

namespace stats {

namespace {

std::string ProcessorModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) != 0) continue;
    const size_t colon = line.find(':');
    if (colon != std::string::npos) return line.substr(line.find_first_not_of(" \t", colon + 1));
  }
  return "unknown processor";
}

}  // namespace

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  facts.processor = ProcessorModel();
  utsname names;
  facts.system = uname(&names) == 0
                     ? std::string(names.sysname) + " " + names.release + " " + names.machine
                     : "unknown system";
  // The benchmark asks for nice -10, which only a privileged user is granted.
  facts.priority_raise_allowed = geteuid() == 0;
  return facts;
}

}  // namespace stats

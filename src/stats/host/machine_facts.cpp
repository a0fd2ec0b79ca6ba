#include "stats/host/machine_facts.h"

#include <sstream>

#include "stats/system/machine.h"

namespace stats {

std::string ProcessorModelIn(std::istream& cpuinfo) {
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) != 0) continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t value = line.find_first_not_of(" \t", colon + 1);
    if (value != std::string::npos) return line.substr(value);
  }
  return "unknown processor";
}

std::string PinAndRaisePriority(int cpu) {
  if (std::string problem = PinThread(cpu); !problem.empty()) return problem;
  RaisePriority();
  return "";
}

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  std::istringstream cpuinfo(SystemFileText("/proc/cpuinfo"));
  facts.processor = ProcessorModelIn(cpuinfo);
  facts.system = SystemName();
  facts.priority_raise_allowed = PriorityRaiseGranted();
  return facts;
}

}  // namespace stats

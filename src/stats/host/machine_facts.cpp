#include "stats/host/machine_facts.h"

#include <sstream>

#include "stats/host/processor_facts.h"
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

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  // The name the record carries too: CPUID's brand string, which the system's own text repeats
  // where the processor has one.
  facts.processor = ReadProcessorFacts().brand;
  if (facts.processor.empty()) {
    std::istringstream cpuinfo(SystemFileText("/proc/cpuinfo"));
    facts.processor = ProcessorModelIn(cpuinfo);
  }
  facts.system = SystemName();
  facts.priority_raise_allowed = PriorityRaiseGranted();
  return facts;
}

}  // namespace stats

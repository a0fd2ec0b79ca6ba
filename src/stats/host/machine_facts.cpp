#include "stats/host/machine_facts.h"

#include "stats/host/processor_facts.h"
#include "stats/system/machine.h"

namespace stats {

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  // The name the record carries too: CPUID's brand string, which the system's own text repeats
  // where the processor has one.
  facts.processor = ReadProcessorFacts().brand;
  if (facts.processor.empty()) facts.processor = SystemProcessorName();
  facts.system = SystemName();
  facts.priority_raise_allowed = PriorityRaiseGranted();
  return facts;
}

}  // namespace stats

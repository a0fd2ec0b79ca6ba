#include "stats/host/processor_facts.h"

#include <cpuid.h>

#include <cstring>

#include "stats/system/machine.h"

namespace stats {

void DecodeSignature(uint32_t eax, int& family, int& model, int& stepping) {
  const int base_family = static_cast<int>((eax >> 8) & 0xf);
  const int base_model = static_cast<int>((eax >> 4) & 0xf);
  stepping = static_cast<int>(eax & 0xf);
  family = base_family == 0xf ? base_family + static_cast<int>((eax >> 20) & 0xff) : base_family;
  model = base_family == 0x6 || base_family == 0xf
              ? base_model + (static_cast<int>((eax >> 16) & 0xf) << 4)
              : base_model;
}

ProcessorFacts ReadProcessorFacts() {
  ProcessorFacts facts;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(0, &a, &b, &c, &d) != 0) {
    char vendor[13] = {};
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    facts.vendor = vendor;
  }
  if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
    DecodeSignature(a, facts.family, facts.model, facts.stepping);
    facts.hypervisor = (c >> 31) & 1;
  }
  if (__get_cpuid(0x80000000, &a, &b, &c, &d) != 0 && a >= 0x80000004) {
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
      unsigned words[4] = {};
      __get_cpuid(0x80000002 + leaf, &words[0], &words[1], &words[2], &words[3]);
      std::memcpy(brand + 16 * leaf, words, 16);
    }
    facts.brand = brand;
    const size_t first = facts.brand.find_first_not_of(' ');
    const size_t last = facts.brand.find_last_not_of(' ');
    facts.brand = first == std::string::npos ? "" : facts.brand.substr(first, last + 1 - first);
  }
  facts.microarchitecture = MicroarchitectureOf(facts.vendor, facts.family, facts.model);
  facts.logical_cpus = LogicalCpus();
  facts.kernel_release = KernelRelease();
  return facts;
}

}  // namespace stats

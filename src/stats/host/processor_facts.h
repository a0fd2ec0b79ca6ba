// What the processor says of itself through CPUID, and the few system facts a result record
// carries beside it, so that a record names its machine without the reader's help.
#pragma once

#include <cstdint>
#include <string>

namespace stats {

struct ProcessorFacts {
  std::string vendor;                       // "AuthenticAMD", "GenuineIntel"
  int family = 0, model = 0, stepping = 0;  // with the extended fields folded in
  std::string brand;                        // trimmed
  std::string microarchitecture;            // empty when not known
  bool hypervisor = false;
  int logical_cpus = 0;
  std::string kernel_release;
};

ProcessorFacts ReadProcessorFacts();

// Family, model and stepping from CPUID leaf 1's EAX, the extended fields folded in as both
// vendors define them.
void DecodeSignature(uint32_t eax, int& family, int& model, int& stepping);

// "Zen 4", "Raptor Lake", ...; empty for a processor this table does not know.
std::string MicroarchitectureOf(const std::string& vendor, int family, int model);
// The name LLVM gives the Intel family 6 processor of `model` ("sapphirerapids"), or empty where
// the model number alone does not tell it.
std::string IntelLlvmName(int model);
// The Zen generation of an AMD family and model (1 to 5, 6 for a later family), or 0.
int ZenGeneration(int family, int model);

}  // namespace stats

#include "stats/sweep/prediction/model_host.h"

#include <cstdlib>

#include "stats/host/processor_facts.h"

namespace stats {

namespace {

// The newest LLVM a Debian package brings, for the advice.
constexpr int NEWER_LLVM_VERSION = 19;

// The year each Intel processor LLVM 19 names came out: a model LLVM gives a host is older when
// it came out in an earlier year. Which model numbers a name stands for is the microarchitecture
// table's (IntelLlvmName).
struct IntelYear {
  const char* name;
  int year;
};
constexpr IntelYear INTEL_YEARS[] = {
    {"core2", 2006},
    {"penryn", 2007},
    {"nehalem", 2008},
    {"bonnell", 2008},
    {"westmere", 2010},
    {"sandybridge", 2011},
    {"ivybridge", 2012},
    {"haswell", 2013},
    {"silvermont", 2013},
    {"broadwell", 2014},
    {"skylake", 2015},
    {"goldmont", 2016},
    {"knl", 2016},
    {"skylake-avx512", 2017},
    {"goldmont-plus", 2017},
    {"knm", 2017},
    {"cannonlake", 2018},
    {"cascadelake", 2019},
    {"icelake-client", 2019},
    {"cooperlake", 2020},
    {"tigerlake", 2020},
    {"tremont", 2020},
    {"icelake-server", 2021},
    {"rocketlake", 2021},
    {"alderlake", 2021},
    {"raptorlake", 2022},
    {"sapphirerapids", 2023},
    {"emeraldrapids", 2023},
    {"meteorlake", 2023},
    {"graniterapids", 2024},
    {"arrowlake", 2024},
    {"lunarlake", 2024},
};

// The year of the processor LLVM names `name`, or 0.
int YearOf(const std::string& name) {
  for (const IntelYear& processor : INTEL_YEARS) {
    if (name == processor.name) return processor.year;
  }
  return 0;
}

// "19" from "Debian LLVM version 19.1.7", or empty.
std::string MajorVersion(const std::string& said) {
  const std::string marker = "LLVM version ";
  const size_t at = said.find(marker);
  if (at == std::string::npos) return "";
  const size_t start = at + marker.size();
  const size_t end = said.find_first_not_of("0123456789", start);
  return said.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

HostProcessor ReadHostProcessor() {
  const ProcessorFacts facts = ReadProcessorFacts();
  return {facts.vendor, facts.family, facts.model};
}

std::string DescribeHost(const HostProcessor& host) {
  const std::string vendor = host.vendor == "AuthenticAMD"   ? "AMD"
                             : host.vendor == "GenuineIntel" ? "Intel"
                                                             : host.vendor;
  return vendor + " family " + std::to_string(host.family) + " model " + std::to_string(host.model);
}

std::string OlderModelNote(const HostProcessor& host, const std::string& cpu,
                           const std::string& llvm_version) {
  std::string older;  // what this LLVM did, after its name
  const std::string own =
      host.vendor == "GenuineIntel" && host.family == 6 ? IntelLlvmName(host.model) : "";
  const int own_year = YearOf(own), modelled_year = YearOf(cpu);
  if (host.vendor == "AuthenticAMD" && cpu.size() == 6 && cpu.rfind("znver", 0) == 0 &&
      cpu[5] - '0' >= 1 && cpu[5] - '0' < ZenGeneration(host.family, host.model)) {
    older = " knows no model newer than " + cpu;
  } else if (own_year != 0 && modelled_year != 0 && modelled_year < own_year) {
    older = " takes this host (" + own + ") for the older " + cpu;
  }
  if (older.empty()) return "";
  const std::string major = MajorVersion(llvm_version);
  const std::string note = (major.empty() ? std::string("this LLVM") : "LLVM " + major) + older;
  return std::atoi(major.c_str()) >= NEWER_LLVM_VERSION ? note : note + "; install llvm-19";
}

}  // namespace stats

#include "stats/sweep/prediction/model_host.h"

#include <cpuid.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace stats {

namespace {

constexpr int ZEN_FAMILY = 0x17, ZEN3_FAMILY = 0x19, ZEN5_FAMILY = 0x1A;
// The newest LLVM a Debian package brings, for the advice.
constexpr int NEWER_LLVM_VERSION = 19;

// Intel's processors by the name LLVM 19 gives their family 6 models, and the year each came
// out: a model LLVM gives a host is older when it came out in an earlier year. Models whose name
// depends on more than the model number, or which LLVM names after an older processor of the same
// design (Raptor Lake, Meteor Lake), are left out, and such a host gets no note.
struct IntelProcessor {
  const char* name;
  int year;
  std::array<int, 6> models;  // 0 for none
};
constexpr IntelProcessor INTEL[] = {
    {"core2", 2006, {}},
    {"penryn", 2007, {}},
    {"nehalem", 2008, {}},
    {"bonnell", 2008, {}},
    {"westmere", 2010, {}},
    {"sandybridge", 2011, {0x2A, 0x2D}},
    {"ivybridge", 2012, {0x3A, 0x3E}},
    {"haswell", 2013, {0x3C, 0x3F, 0x45, 0x46}},
    {"silvermont", 2013, {}},
    {"broadwell", 2014, {0x3D, 0x47, 0x4F, 0x56}},
    {"skylake", 2015, {0x4E, 0x5E, 0x8E, 0x9E, 0xA5, 0xA6}},
    {"goldmont", 2016, {0x5C, 0x5F}},
    {"knl", 2016, {}},
    {"skylake-avx512", 2017, {0x55}},  // and Cascade Lake and Cooper Lake, told by stepping
    {"goldmont-plus", 2017, {0x7A}},
    {"knm", 2017, {}},
    {"cannonlake", 2018, {0x66}},
    {"cascadelake", 2019, {}},
    {"icelake-client", 2019, {0x7D, 0x7E}},
    {"cooperlake", 2020, {}},
    {"tigerlake", 2020, {0x8C, 0x8D}},
    {"tremont", 2020, {0x86, 0x8A, 0x96, 0x9C}},
    {"icelake-server", 2021, {0x6A, 0x6C}},
    {"rocketlake", 2021, {0xA7}},
    {"alderlake", 2021, {0x97, 0x9A}},
    {"raptorlake", 2022, {}},
    {"sapphirerapids", 2023, {0x8F}},
    {"emeraldrapids", 2023, {0xCF}},
    {"meteorlake", 2023, {}},
    {"graniterapids", 2024, {0xAD}},
    {"arrowlake", 2024, {0xB5, 0xC5}},
    {"lunarlake", 2024, {0xBD}},
};

const IntelProcessor* IntelNamed(const std::string& name) {
  for (const IntelProcessor& processor : INTEL) {
    if (name == processor.name) return &processor;
  }
  return nullptr;
}

const IntelProcessor* IntelHost(const HostProcessor& host) {
  if (host.vendor != "GenuineIntel" || host.family != 6 || host.model == 0) return nullptr;
  for (const IntelProcessor& processor : INTEL) {
    for (int model : processor.models) {
      if (model == host.model) return &processor;
    }
  }
  return nullptr;
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
  HostProcessor host;
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return host;
  char vendor[13] = {};
  std::memcpy(vendor, &ebx, 4);
  std::memcpy(vendor + 4, &edx, 4);
  std::memcpy(vendor + 8, &ecx, 4);
  host.vendor = vendor;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return host;
  const int base_family = (eax >> 8) & 0xF;
  host.family = base_family == 0xF ? base_family + ((eax >> 20) & 0xFF) : base_family;
  host.model = static_cast<int>((eax >> 4) & 0xF);
  if (base_family == 0xF || base_family == 0x6) host.model |= ((eax >> 16) & 0xF) << 4;
  return host;
}

std::string DescribeHost(const HostProcessor& host) {
  const std::string vendor = host.vendor == "AuthenticAMD"   ? "AMD"
                             : host.vendor == "GenuineIntel" ? "Intel"
                                                             : host.vendor;
  return vendor + " family " + std::to_string(host.family) + " model " + std::to_string(host.model);
}

int ZenGeneration(int family, int model) {
  if (family == ZEN_FAMILY) return model < 0x30 ? 1 : 2;
  if (family == ZEN3_FAMILY) {
    const bool zen4 = (model >= 0x10 && model <= 0x1F) || (model >= 0x60 && model <= 0x7F) ||
                      (model >= 0xA0 && model <= 0xAF);
    return zen4 ? 4 : 3;
  }
  if (family == ZEN5_FAMILY) return 5;
  return family > ZEN5_FAMILY ? 6 : 0;
}

std::string OlderModelNote(const HostProcessor& host, const std::string& cpu,
                           const std::string& llvm_version) {
  std::string older;  // what this LLVM did, after its name
  const IntelProcessor* own = IntelHost(host);
  const IntelProcessor* modelled = IntelNamed(cpu);
  if (host.vendor == "AuthenticAMD" && cpu.size() == 6 && cpu.rfind("znver", 0) == 0 &&
      cpu[5] - '0' >= 1 && cpu[5] - '0' < ZenGeneration(host.family, host.model)) {
    older = " knows no model newer than " + cpu;
  } else if (own != nullptr && modelled != nullptr && modelled->year < own->year) {
    older = " takes this host (" + std::string(own->name) + ") for the older " + cpu;
  }
  if (older.empty()) return "";
  const std::string major = MajorVersion(llvm_version);
  const std::string note = (major.empty() ? std::string("this LLVM") : "LLVM " + major) + older;
  return std::atoi(major.c_str()) >= NEWER_LLVM_VERSION ? note : note + "; install llvm-19";
}

}  // namespace stats

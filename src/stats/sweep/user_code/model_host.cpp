#include "stats/sweep/user_code/model_host.h"

#include <cpuid.h>

#include <cstdlib>
#include <cstring>

namespace stats {

namespace {

constexpr int ZEN_FAMILY = 0x17, ZEN3_FAMILY = 0x19, ZEN5_FAMILY = 0x1A;
// The newest LLVM a Debian package brings, for the advice.
constexpr int NEWER_LLVM_VERSION = 19;

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
  if (host.vendor != "AuthenticAMD" || cpu.size() != 6 || cpu.rfind("znver", 0) != 0) return "";
  const int modelled = cpu[5] - '0';
  if (modelled < 1 || modelled >= ZenGeneration(host.family, host.model)) return "";
  const std::string major = MajorVersion(llvm_version);
  const std::string note = (major.empty() ? std::string("this LLVM") : "LLVM " + major) +
                           " knows no model newer than " + cpu;
  return std::atoi(major.c_str()) >= NEWER_LLVM_VERSION ? note : note + "; install llvm-19";
}

}  // namespace stats

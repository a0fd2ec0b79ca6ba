// The processor the model is set beside: this host's, as CPUID names it, and whether the model
// LLVM picked for it ("native") is an older one of the same vendor.
#pragma once

#include <string>

namespace stats {

struct HostProcessor {
  std::string vendor;         // "AuthenticAMD"
  int family = 0, model = 0;  // as /proc/cpuinfo counts them: extended fields included
};

HostProcessor ReadHostProcessor();

// "AMD family 25 model 17"
std::string DescribeHost(const HostProcessor& host);

// For the model `cpu` that "native" gave on `host`, when it is an older processor of the same
// vendor: "LLVM 14 knows no model newer than znver3; install llvm-19" for AMD's, "LLVM 14 takes
// this host (sapphirerapids) for the older icelake-server; install llvm-19" for Intel's whose
// model number tells them. Else empty. `llvm_version` is what llvm-mca --version says.
std::string OlderModelNote(const HostProcessor& host, const std::string& cpu,
                           const std::string& llvm_version);

}  // namespace stats

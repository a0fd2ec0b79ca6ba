// Stand-ins while the sweep's Windows side is built; each goes as its real one arrives.
#include <windows.h>

#include "stats/system/child_roles.h"
#include "stats/system/containment.h"
#include "stats/system/float_fault.h"
#include "stats/system/path_recorder.h"
#include "stats/system/sandbox.h"
#include "stats/system/shared_page.h"

namespace stats {

Containment ChildContainment() { return {}; }
std::string DescribeFault(uint32_t fault) { return "exception " + std::to_string(fault); }
std::string EnterSandbox(const SandboxRules&) { return "pending"; }
bool ClosedIn() { return false; }
void OnFloatingPointFault(FloatFaultHandler) {}
RecordedPath RecordPath(const uint8_t*, size_t, int32_t) { return {}; }
std::string RefusedSystemCall(const ChildRun&) { return ""; }
void ReportBytes(ReportChannel, const void*, size_t) {}
bool ReportAll(ReportChannel, const std::string&) { return false; }
ChildRun RunRole(const std::string&, const std::string&, const ChildLimits&, const SharedPage*) {
  ChildRun run;
  run.failure = "pending";
  return run;
}
std::string WhyThisProgramCannotStartItself() { return "pending"; }

}  // namespace stats

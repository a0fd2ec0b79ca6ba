// Stand-ins while the sweep's Windows side is built; each goes as its real one arrives.
#include <windows.h>

#include "stats/system/child_roles.h"
#include "stats/system/code_arena.h"
#include "stats/system/containment.h"
#include "stats/system/files.h"
#include "stats/system/guarded_pages.h"
#include "stats/system/machine.h"
#include "stats/system/sandbox.h"
#include "stats/system/scratch_folder.h"
#include "stats/system/shared_page.h"
#include "stats/system/stop_requests.h"
#include "stats/system/tool_walls.h"

namespace stats {

Containment ChildContainment() { return {}; }
CodeArena::CodeArena(size_t) { error_ = "pending"; }
CodeArena::~CodeArena() {}
bool CodeArena::MakeExecutable() { return false; }
int CurrentCpu() { return -1; }
std::string EnterSandbox(const SandboxRules&) { return "pending"; }
bool ClosedIn() { return false; }
std::string EnvironmentValue(const char*) { return ""; }
long long FileSize(const std::string&, std::string& problem) {
  problem = "pending";
  return -1;
}
std::vector<std::string> FolderEntries(const std::string&) { return {}; }
GuardedPages::GuardedPages(size_t) { error_ = "pending"; }
GuardedPages::~GuardedPages() {}
bool IsExecutable(const std::string&) { return false; }
std::string RefusedSystemCall(const ChildRun&) { return ""; }
void ReportBytes(ReportChannel, const void*, size_t) {}
bool ReportAll(ReportChannel, const std::string&) { return false; }
ChildRun RunRole(const std::string&, const std::string&, const ChildLimits&, const SharedPage*) {
  ChildRun run;
  run.failure = "pending";
  return run;
}
ChildRun RunWalledProgram(std::vector<std::string> words, const ChildLimits& limits,
                          bool search_path, const std::string&) {
  return RunProgram(words, limits, search_path);
}
bool ToolsWalledIn() { return false; }
double RunningSeconds() { return GetTickCount64() / 1000.0; }
ScratchFolder::ScratchFolder(std::vector<std::string> files) : files_(files) {}
ScratchFolder::~ScratchFolder() {}
std::string ScratchFolder::Problem(const std::string& purpose) const { return purpose; }
SharedPage::SharedPage(size_t) {}
SharedPage::SharedPage(Handle, size_t) {}
SharedPage::~SharedPage() {}
std::string UtcNow() { return "2026-01-01T00:00:00Z"; }
std::string WhyThisProgramCannotStartItself() { return "pending"; }
std::string WriteNewFile(const std::string&, const std::string&) { return "pending"; }

}  // namespace stats

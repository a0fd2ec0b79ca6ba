#include "stats/machine_facts.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "stats/child_process.h"

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

bool RaisePriority() { return setpriority(PRIO_PROCESS, 0, -10) == 0; }

bool PriorityRaiseAllowed() {
  const ChildRun tried = RunChild([](int) { _exit(RaisePriority() ? 0 : 1); }, {});
  return tried.outcome == ChildRun::ENDED && WIFEXITED(tried.status) &&
         WEXITSTATUS(tried.status) == 0;
}

int CurrentCpu() {
  const int cpu = sched_getcpu();
  if (cpu >= 0) return cpu;
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  for (int candidate = 0; candidate < CPU_SETSIZE; ++candidate) {
    if (CPU_ISSET(candidate, &allowed)) return candidate;
  }
  return -1;
}

std::string PinAndRaisePriority(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  if (sched_setaffinity(0, sizeof set, &set) != 0) {
    return "cannot pin to CPU " + std::to_string(cpu) + ": " + std::strerror(errno);
  }
  RaisePriority();
  return "";
}

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  std::ifstream cpuinfo("/proc/cpuinfo");
  facts.processor = ProcessorModelIn(cpuinfo);
  utsname names;
  facts.system = uname(&names) == 0
                     ? std::string(names.sysname) + " " + names.release + " " + names.machine
                     : "unknown system";
  facts.priority_raise_allowed = PriorityRaiseAllowed();
  return facts;
}

}  // namespace stats

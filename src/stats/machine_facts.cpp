#include "stats/machine_facts.h"

#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace stats {

namespace {

constexpr int BENCHMARK_NICE = -10;

}  // namespace

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

// Only the system knows (user id, capabilities, limits), so a child asks it and reports back.
bool PriorityRaiseAllowed() {
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) _exit(setpriority(PRIO_PROCESS, 0, BENCHMARK_NICE) == 0 ? 0 : 1);
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
